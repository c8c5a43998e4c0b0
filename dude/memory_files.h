// The files of avrdude's -U: reading one for a memory in its format, and writing what a read
// brought back in the format asked for.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "dude/dude_options.h"
#include "files/raw_image.h"

namespace velkor::dude {

// What a -U w or v file holds for its memory.
struct MemoryInput {
    MemoryImage image;                // flash and EEPROM: the bytes by address
    std::vector<std::uint8_t> bytes;  // fuse, lock and signature: the bytes from the first
    std::string error;                // non-empty: one English line, and nothing above counts
};

// Reads `op.file` (or the values themselves for format m) for `op.memory`: flash and EEPROM
// into an image of `imageSize` bytes, the other memories as their bytes. Format a tells ELF,
// Intel HEX and S-record files apart by their first bytes. `fuseIndex` is the byte of an ELF
// file's .fuse section that a fuse memory stands for.
MemoryInput ReadMemoryInput(const MemoryOperation& op, std::size_t imageSize, int fuseIndex);

// The text of `bytes` in an output format: i, s, r (and a), h, d, o, b.
std::string MemoryOutputText(std::span<const std::uint8_t> bytes, char format);

// Writes `bytes` to `path` in `format` ("-": standard output). Returns "" or one English line.
std::string WriteMemoryOutput(const std::string& path, char format,
                              std::span<const std::uint8_t> bytes, std::ostream& standardOutput);

// The values of format m: numbers (0x.. hexadecimal, 0b.. binary, 0.. octal, else decimal)
// separated by commas or spaces, each a byte. Empty error: parsed.
std::string ParseImmediateBytes(const std::string& text, std::vector<std::uint8_t>& bytes);

}  // namespace velkor::dude
