// libFuzzer target for the HEX / S-record reader: any bytes, read as a file, must neither crash
// it nor make it write outside the image, and its results must stay within their ranges.
#include <stdio.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "files/hex_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The image is a heap block of exactly its limit, so the sanitizer sees any write past it.
    // The first byte picks the limit, from nothing at all up to the flash image's size.
    static constexpr std::size_t kLimits[] = {0, 1, 0x40, 0x1000, 0x20000};
    const std::size_t limit = size == 0 ? 0x1000 : kLimits[data[0] % std::size(kLimits)];
    std::vector<std::uint8_t> image(limit, 0xFF);

    // fmemopen refuses an empty buffer on some C libraries; an empty stream reads the same.
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.empty()) bytes.push_back('\n');
    FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
    if (file == nullptr) return 0;

    std::uint32_t loadedLength = 0;
    const int result = velkor::ReadHexImage(file, image, loadedLength);
    fclose(file);

    // A faulty line number cannot exceed the pieces the input could be cut into.
    if (result < 0 || static_cast<std::size_t>(result) > size + 1) std::abort();
    if (loadedLength > limit) std::abort();
    // Nothing is stored at or past the loaded length: it is one past the highest byte stored.
    for (std::size_t i = loadedLength; i < limit; ++i) {
        if (image[i] != 0xFF) std::abort();
    }
    return 0;
}
