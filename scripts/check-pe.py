#!/usr/bin/env python3
"""Checks that a built .sys is an image the Windows NT kernel will load as our driver:

  - a PE image of the given machine (--machine i386: PE32, amd64: PE32+) for the native
    subsystem;
  - entry point at the entry routine, as the linker's symbol table places it (a driver whose
    entry point is merely the start of .text "starts" without creating its device);
  - imports from exactly the modules given with --imports (a kernel driver cannot resolve a
    user-mode DLL, and the test build must really go through the HAL);
  - base relocations present, so the loader can move the image;
  - a nonzero image checksum that matches the file;
  - with --objdump, no floating-point, MMX or SSE register in its code: the kernel does not
    save those for a driver, so a driver that uses them corrupts whatever thread it interrupts;
  - with --signed, an Authenticode signature (a PKCS#7 entry in the certificate table); that
    it verifies is osslsigncode's to say.

Usage: check-pe.py [--nm NM] [--objdump OBJDUMP] [--machine i386|amd64] [--entry SYMBOL]
                   [--signed] --imports A.dll[,B.dll] IMAGE...
Exits 1 and names every failed check when one fails.
"""

import argparse
import re
import subprocess
import sys

from pe_image import (MACHINES, PE32_MAGIC, PE32_PLUS_MAGIC, SUBSYSTEM_NATIVE,
                      WIN_CERT_TYPE_PKCS_SIGNED_DATA, PeError, PeImage, compute_checksum)


def symbol_address(nm, path, symbol):
    """Address of a defined text symbol, or None when the image does not define it."""
    listing = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[2] == symbol and fields[1] in ("T", "t"):
            return int(fields[0], 16)
    return None


# Operands naming the x87 stack, MMX or SSE/AVX registers, as objdump's AT&T syntax writes them.
FPU_OPERAND = re.compile(r"%(st|mm\d|xmm\d|ymm\d|zmm\d)")


def fpu_instructions(objdump, path):
    """The disassembled lines of the image's code that use a floating-point or vector register."""
    listing = subprocess.run([objdump, "-d", path], check=True, capture_output=True,
                             text=True).stdout
    return [line.strip() for line in listing.splitlines() if FPU_OPERAND.search(line)]


def check(path, nm, entry_symbol, imports, machine="i386", signed=False, objdump=None):
    with open(path, "rb") as f:
        data = f.read()
    try:
        image = PeImage(data)
    except PeError as error:
        return ["not a PE image: %s" % error]
    problems = []
    if image.machine != MACHINES[machine]:
        problems.append("machine 0x%04X, not %s" % (image.machine, machine))
    # A 64-bit kernel loads only PE32+ drivers, a 32-bit one only PE32.
    magic = PE32_PLUS_MAGIC if machine == "amd64" else PE32_MAGIC
    if image.magic != magic:
        problems.append("optional header magic 0x%04X, not 0x%04X" % (image.magic, magic))
    if image.subsystem != SUBSYSTEM_NATIVE:
        problems.append("subsystem %d, not native (1)" % image.subsystem)

    entry = symbol_address(nm, path, entry_symbol)
    if entry is None:
        problems.append("symbol %s not found by %s" % (entry_symbol, nm))
    elif image.image_base + image.entry_rva != entry:
        problems.append("entry point 0x%08X, but %s is at 0x%08X" %
                        (image.image_base + image.entry_rva, entry_symbol, entry))

    try:
        found = image.imported_dlls()
    except (PeError, ValueError, IndexError) as error:
        problems.append("import directory unreadable: %s" % error)
    else:
        if sorted(n.lower() for n in found) != sorted(n.lower() for n in imports):
            problems.append("imports from %s, expected exactly %s" %
                            (", ".join(found) or "nothing", ", ".join(imports)))

    if not image.has_relocations():
        problems.append("no base relocations")

    if objdump:
        found = fpu_instructions(objdump, path)
        if found:
            problems.append("%d instructions use floating-point or vector registers, first: %s" %
                            (len(found), found[0]))

    if signed:
        try:
            kinds = image.certificate_types()
        except PeError as error:
            problems.append("certificate table unreadable: %s" % error)
        else:
            if WIN_CERT_TYPE_PKCS_SIGNED_DATA not in kinds:
                problems.append("not signed: no Authenticode signature in the certificate table")

    computed = compute_checksum(data, image.checksum_offset)
    if image.checksum == 0:
        problems.append("checksum field is 0 (should be 0x%08X)" % computed)
    elif image.checksum != computed:
        problems.append("checksum 0x%08X, file sums to 0x%08X" % (image.checksum, computed))
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description="Check a kernel driver image.")
    parser.add_argument("--nm", default="i686-w64-mingw32-nm")
    parser.add_argument("--entry", default="_DriverEntry@8")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--objdump", help="disassembler for the floating-point check")
    parser.add_argument("--signed", action="store_true",
                        help="the image must carry an Authenticode signature")
    parser.add_argument("--imports", required=True,
                        help="comma-separated modules the image must import from, and no other")
    parser.add_argument("images", nargs="+")
    args = parser.parse_args(argv[1:])
    imports = [name for name in args.imports.split(",") if name]
    failed = False
    for path in args.images:
        problems = check(path, args.nm, args.entry, imports, args.machine, args.signed,
                         args.objdump)
        if problems:
            failed = True
            for problem in problems:
                print("%s: %s" % (path, problem))
        else:
            print("%s: ok (%s, native, entry %s, imports %s, relocations, checksum%s%s)" %
                  (path, args.machine, args.entry, ", ".join(imports),
                   ", no floating point" if args.objdump else "",
                   ", signed" if args.signed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
