// Reads Intel HEX and Motorola S-record text into a memory image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

namespace velkor {

// Size of the buffer one read fills, terminating zero included: at most 599 characters come
// per read, so a longer line is taken in pieces and every piece counts as a line of its own.
inline constexpr int kHexLineBufferSize = 600;

// Reads `file` from its current position to its end and stores every data byte whose address
// lies inside `image`. Bytes at or beyond image.size() are still parsed and checked, then
// dropped. `loadedLength` is raised to one past the highest address stored, never lowered.
//
// Intel HEX records (types 00 to 02 and 04) and S1/S2/S3 records are accepted; other lines,
// including other S-record types, are skipped. Returns 0 when the end of the file is reached,
// otherwise the 1-based number of the first faulty line. Bytes are stored as they are parsed, so
// everything before the fault stays in the image, earlier bytes of the faulty record included.
int ReadHexImage(std::FILE* file, std::span<std::uint8_t> image, std::uint32_t& loadedLength);

}  // namespace velkor
