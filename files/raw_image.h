// Reads raw binary files (the bytes of a memory from address 0, as objcopy -O binary and
// avrdude's format r write them) into a memory image, and the value both binary readers return.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "files/hex_reader.h"

namespace velkor {

// One memory's contents as a file gave them: `bytes` from address 0, 0xFF where the file gave
// nothing, as long as the image it was read for; `extent` says which addresses the file gave
// and how many of its bytes lay beyond the image (dropped), as a HEX read reports them, so the
// same out-of-chip checks apply.
struct MemoryImage {
    std::vector<std::uint8_t> bytes;
    HexDataExtent extent;

    bool HasData() const { return extent.dataBytes != 0; }
    // One past the highest address stored; 0 without data.
    std::uint32_t Length() const;
};

// An empty image of `imageSize` bytes: all 0xFF, no data.
MemoryImage EmptyMemoryImage(std::size_t imageSize);

// Stores `data` at `address` onwards in `image`: bytes at or beyond the image's end are counted
// as dropped. Used by every reader that places blocks of bytes.
void StoreBytes(MemoryImage& image, std::uint64_t address, std::span<const std::uint8_t> data);

// Every byte of `file` is data, the first at address 0.
MemoryImage ReadRawImage(std::span<const std::uint8_t> file, std::size_t imageSize);

}  // namespace velkor
