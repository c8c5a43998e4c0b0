"""Reads the parts of a PE image (32-bit PE32 or 64-bit PE32+) that decide whether Windows will
load it as a kernel driver: the headers, the section table, the import directory, the
Authenticode certificate table and the image checksum.

Plain standard-library Python, so the checks need nothing beyond the interpreter that CMake
already requires, and they read the file itself rather than trusting a tool's summary of it.
"""

import struct

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_MACHINE_AMD64 = 0x8664
MACHINES = {"i386": IMAGE_FILE_MACHINE_I386, "amd64": IMAGE_FILE_MACHINE_AMD64}
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
PE32_MAGIC = 0x010B
PE32_PLUS_MAGIC = 0x020B
SUBSYSTEM_NATIVE = 1
DIRECTORY_IMPORT = 1
DIRECTORY_SECURITY = 4
DIRECTORY_BASERELOC = 5
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002


class PeError(Exception):
    """The file is not a well-formed PE image."""


class PeImage:
    def __init__(self, data):
        self.data = bytes(data)
        if len(self.data) < 0x40 or self.data[:2] != b"MZ":
            raise PeError("no MZ header")
        self.pe_offset = self._u32(0x3C)
        if self.data[self.pe_offset:self.pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = self.pe_offset + 4
        (self.machine, section_count, _stamp, _symbols, _symbol_count, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", self.data, coff)
        self.optional_offset = coff + 20
        self.magic = self._u16(self.optional_offset)
        o = self.optional_offset
        # PE32+ widens the image base to 64 bits and drops the data base, so everything from
        # the directory count on sits 16 bytes further.
        if self.magic == PE32_MAGIC:
            self.image_base = self._u32(o + 28)
            directories = o + 92
        elif self.magic == PE32_PLUS_MAGIC:
            self.image_base = struct.unpack_from("<Q", self.data, o + 24)[0]
            directories = o + 108
        else:
            raise PeError("no PE32 or PE32+ optional header: magic 0x%04X" % self.magic)
        self.entry_rva = self._u32(o + 16)
        self.checksum_offset = o + 64
        self.checksum = self._u32(self.checksum_offset)
        self.subsystem = self._u16(o + 68)
        directory_count = self._u32(directories)
        self.directories_offset = directories + 4
        self.directories = [
            struct.unpack_from("<II", self.data, self.directories_offset + 8 * i)
            for i in range(directory_count)
        ]
        self.sections = []
        table = o + optional_size
        for i in range(section_count):
            name, vsize, vaddr, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), vaddr,
                                  max(vsize, raw_size), raw_offset, raw_size))

    def _u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, index):
        """(rva, size) of a data directory; (0, 0) when the header has none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def file_offset(self, rva):
        for _name, vaddr, vsize, raw_offset, raw_size in self.sections:
            if vaddr <= rva < vaddr + vsize:
                if rva - vaddr >= raw_size:
                    raise PeError("RVA 0x%X lies in uninitialised data" % rva)
                return raw_offset + rva - vaddr
        raise PeError("RVA 0x%X lies in no section" % rva)

    def _c_string(self, rva):
        start = self.file_offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def imported_dlls(self):
        """Names of the DLLs the import directory names, in table order."""
        rva, size = self.directory(DIRECTORY_IMPORT)
        if rva == 0 or size == 0:
            return []
        names = []
        offset = self.file_offset(rva)
        while True:
            lookup, _stamp, _chain, name_rva, thunk = struct.unpack_from("<IIIII", self.data,
                                                                          offset)
            if lookup == 0 and name_rva == 0 and thunk == 0:
                return names
            names.append(self._c_string(name_rva))
            offset += 20

    def certificate_types(self):
        """The certificate types of the Authenticode table (a file offset, not an RVA: it lies
        outside the sections, after the image); empty when the image is not signed."""
        offset, size = self.directory(DIRECTORY_SECURITY)
        if offset == 0 or size == 0:
            return []
        if offset + size > len(self.data):
            raise PeError("certificate table runs past the end of the file")
        types = []
        end = offset + size
        while offset + 8 <= end:
            length, _revision, kind = struct.unpack_from("<IHH", self.data, offset)
            if length < 8:
                raise PeError("certificate entry of %d bytes" % length)
            types.append(kind)
            offset += (length + 7) & ~7
        return types

    def has_relocations(self):
        _rva, size = self.directory(DIRECTORY_BASERELOC)
        return size > 0 and not self.characteristics & IMAGE_FILE_RELOCS_STRIPPED


def compute_checksum(data, checksum_offset):
    """The PE image checksum: the file summed as little-endian 16-bit words with the carry
    folded back in, the checksum field itself counted as zero, plus the file's length."""
    blob = bytearray(data)
    blob[checksum_offset:checksum_offset + 4] = b"\0\0\0\0"
    if len(blob) % 2:
        blob.append(0)
    total = 0
    for (word,) in struct.iter_unpack("<H", blob):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF
