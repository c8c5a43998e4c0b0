#!/usr/bin/env python3
"""The driver image checks must fail on the faults they exist for. Each case damages a copy
of a built driver in one way (fixing the checksum afterwards where the damage is meant to be
caught by another check) and expects exactly that check to complain.

Usage: check_pe_test.py --nm NM [--machine i386|amd64] [--entry SYMBOL] [--signed]
                        [--test-imports A.dll,B.dll] Tarnel.sys TarnelTest.sys
(--signed: the shipped Tarnel.sys carries a signature, as the x64 build's does)
"""

import argparse
import importlib.util
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
sys.path.insert(0, SCRIPTS)

import pe_image  # noqa: E402

_check_pe_source = importlib.util.spec_from_file_location("check_pe", os.path.join(SCRIPTS, "check-pe.py"))
check_pe = importlib.util.module_from_spec(_check_pe_source)
_check_pe_source.loader.exec_module(check_pe)

ARGS = None


class DamagedImages(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.path = os.path.join(self.dir, "Tarnel.sys")
        shutil.copy(ARGS.shipped, self.path)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def problems(self, imports=("ntoskrnl.exe",), path=None, machine=None, signed=False):
        return check_pe.check(path or self.path, ARGS.nm, ARGS.entry, list(imports),
                              machine or ARGS.machine, signed)

    def patch(self, offset, raw, fix_checksum=True):
        with open(self.path, "rb") as f:
            data = bytearray(f.read())
        data[offset:offset + len(raw)] = raw
        if fix_checksum:
            image = pe_image.PeImage(data)
            checksum = pe_image.compute_checksum(data, image.checksum_offset)
            data[image.checksum_offset:image.checksum_offset + 4] = struct.pack("<I", checksum)
        with open(self.path, "wb") as f:
            f.write(data)

    def image(self):
        with open(self.path, "rb") as f:
            return pe_image.PeImage(f.read())

    def assertOnlyProblem(self, words, problems):
        self.assertEqual(len(problems), 1, problems)
        self.assertIn(words, problems[0])

    def test_built_images_pass(self):
        self.assertEqual(self.problems(), [])
        self.assertEqual(self.problems(ARGS.test_imports.split(","), ARGS.test_variant), [])

    def test_any_changed_byte_breaks_the_checksum(self):
        image = self.image()
        _name, _vaddr, _vsize, raw_offset, _raw_size = image.sections[0]
        self.patch(raw_offset + 3, bytes([image.data[raw_offset + 3] ^ 0x01]),
                   fix_checksum=False)
        self.assertOnlyProblem("file sums to", self.problems())

    def test_zero_checksum_fails_until_the_post_link_step_sets_it(self):
        self.patch(self.image().checksum_offset, b"\0\0\0\0", fix_checksum=False)
        self.assertOnlyProblem("checksum field is 0", self.problems())
        subprocess.run([sys.executable, os.path.join(SCRIPTS, "pe-checksum.py"), self.path],
                       check=True, capture_output=True)
        self.assertEqual(self.problems(), [])

    def test_post_link_step_leaves_a_linker_checksum_alone(self):
        self.patch(self.image().checksum_offset, b"\x01\0\0\0", fix_checksum=False)
        subprocess.run([sys.executable, os.path.join(SCRIPTS, "pe-checksum.py"), self.path],
                       check=True, capture_output=True)
        self.assertEqual(self.image().checksum, 1)

    def test_other_machine_is_refused(self):
        other = "i386" if ARGS.machine == "amd64" else "amd64"
        problems = self.problems(machine=other)
        self.assertTrue(any("not " + other in p for p in problems), problems)
        self.assertTrue(any("optional header magic" in p for p in problems), problems)

    def test_signature_is_required_when_asked_for(self):
        if ARGS.signed:
            self.assertEqual(self.problems(signed=True), [])
            # The signature cut off: the directory entry zeroed, as an unsigned image has it.
            self.patch(self.image().directories_offset + 8 * pe_image.DIRECTORY_SECURITY,
                       b"\0" * 8)
        self.assertOnlyProblem("not signed", self.problems(signed=True))

    def test_user_mode_subsystem_is_refused(self):
        self.patch(self.image().optional_offset + 68, struct.pack("<H", 2))
        self.assertOnlyProblem("not native", self.problems())

    def test_entry_point_off_the_entry_routine_is_refused(self):
        # What ld produces when --entry is forgotten: the start of .text.
        image = self.image()
        self.patch(image.optional_offset + 16, struct.pack("<I", image.sections[0][1]))
        self.assertOnlyProblem("entry point", self.problems())

    def test_imports_must_match_exactly(self):
        self.assertOnlyProblem("expected exactly", self.problems(("ntoskrnl.exe", "HAL.dll")))
        self.assertOnlyProblem("expected exactly",
                               self.problems(ARGS.test_imports.split(",") + ["kernel32.dll"],
                                             ARGS.test_variant))

    def test_stripped_relocations_are_refused(self):
        image = self.image()
        self.patch(image.directories_offset + 8 * pe_image.DIRECTORY_BASERELOC + 4,
                   b"\0\0\0\0")
        self.assertOnlyProblem("no base relocations", self.problems())

    def test_not_a_pe_file(self):
        self.patch(0, b"ZM", fix_checksum=False)
        self.assertOnlyProblem("not a PE image", self.problems())


class Checksum(unittest.TestCase):
    def test_odd_length_and_carry_folding(self):
        # The checksum field (offset 0 here) counts as 0; 0xFFFF + 0x0001 folds to 0x0001; the
        # trailing odd byte 0x02 counts as a word of its own; then the length (9) is added.
        data = b"\xAA\xAA\xAA\xAA\xFF\xFF\x01\x00\x02"
        self.assertEqual(pe_image.compute_checksum(data, 0), 0x0001 + 0x0002 + 9)

def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--nm", required=True)
    parser.add_argument("--machine", default="i386")
    parser.add_argument("--entry", default="_DriverEntry@8")
    parser.add_argument("--signed", action="store_true")
    parser.add_argument("--test-imports", default="ntoskrnl.exe,HAL.dll")
    parser.add_argument("shipped")
    parser.add_argument("test_variant")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
