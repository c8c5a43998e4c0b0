// Reads Intel HEX and Motorola S-record text into a memory image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

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
//
// `extent`, when given, is filled with where the data went (see HexDataExtent); it is reset at
// the start of the call.
struct HexDataExtent;
int ReadHexImage(std::FILE* file, std::span<std::uint8_t> image, std::uint32_t& loadedLength,
                 HexDataExtent* extent = nullptr);

// The same over a file's text already in memory, taken in the same pieces as the stream reader
// takes them (at most 599 characters, or up to and including a line end).
int ReadHexText(std::string_view text, std::span<std::uint8_t> image, std::uint32_t& loadedLength,
                HexDataExtent* extent = nullptr);

// Where a read put its data bytes: which addresses of the image were written, and how many
// bytes lay at or beyond the image's end and were dropped. It lets a caller tell a file that
// holds no data at all from one that holds only FF bytes, and count the bytes that a chip
// smaller than the image cannot take.
struct HexDataExtent {
    std::vector<bool> stored;        // one flag per image address
    std::uint64_t dataBytes = 0;     // data bytes read, stored or dropped
    std::uint64_t droppedBytes = 0;  // at or beyond the image's end
    std::uint64_t firstDropped = std::numeric_limits<std::uint64_t>::max();
    // Lines with text that are no record (a record starting with a blank, a lower-case 's',
    // notes): skipped as ever, but counted, since a record mangled that way is data lost.
    std::uint64_t otherLines = 0;
    int firstOtherLine = 0;

    void Reset(std::size_t imageSize) {
        stored.assign(imageSize, false);
        dataBytes = droppedBytes = 0;
        firstDropped = std::numeric_limits<std::uint64_t>::max();
        otherLines = 0;
        firstOtherLine = 0;
    }
};

}  // namespace velkor
