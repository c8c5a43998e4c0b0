"""Reads the parts of a 32-bit PE image that decide whether Windows will load it as a kernel
driver: the headers, the section table, the import directory and the image checksum.

Plain standard-library Python, so the checks need nothing beyond the interpreter that CMake
already requires, and they read the file itself rather than trusting a tool's summary of it.
"""

import struct

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
PE32_MAGIC = 0x010B
SUBSYSTEM_NATIVE = 1
DIRECTORY_IMPORT = 1
DIRECTORY_BASERELOC = 5


class PeError(Exception):
    """The file is not a well-formed 32-bit PE image."""


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
        if self.magic != PE32_MAGIC:
            raise PeError("not a PE32 (32-bit) optional header: magic 0x%04X" % self.magic)
        o = self.optional_offset
        self.entry_rva = self._u32(o + 16)
        self.image_base = self._u32(o + 28)
        self.checksum_offset = o + 64
        self.checksum = self._u32(self.checksum_offset)
        self.subsystem = self._u16(o + 68)
        directory_count = self._u32(o + 92)
        self.directories = [
            struct.unpack_from("<II", self.data, o + 96 + 8 * i) for i in range(directory_count)
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
