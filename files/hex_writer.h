// Writes a memory image as an Intel HEX file, the form every programmer and tool reads back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "files/safe_file.h"

namespace velkor {

// The Intel HEX text of `bytes`, address 0 first: data records of at most 16 bytes that end at
// 16-byte boundaries, an extended linear address record (type 04) before the first record of
// each 64 KiB block above the first, and the end record. Erased space is left out: 0xFF bytes
// before the first and after the last data byte, and every run of 16 or more 0xFF bytes, which
// parts the data into stretches (a firmware and a boot loader at the top of a large chip stay
// two small stretches). Shorter 0xFF runs inside a stretch are data. So a chip written from a
// file reads back into the same file, unless the file's own data begins or ends a stretch with
// 0xFF. Digits are upper case and lines end in "\r\n".
std::string IntelHexText(std::span<const std::uint8_t> bytes);

// Writes IntelHexText(bytes) to `path` (UTF-8), replacing the file in one step: after a
// failure (a full disk, a folder that cannot be written) the file that was there is kept
// whole. Returns "" or a message.
std::string SaveIntelHexFile(const std::string& path, std::span<const std::uint8_t> bytes,
                             FileOps& ops = SystemFileOps());

}  // namespace velkor
