#include "files/raw_image.h"

#include <algorithm>

namespace velkor {

std::uint32_t MemoryImage::Length() const {
    const auto last = std::find(extent.stored.rbegin(), extent.stored.rend(), true);
    return static_cast<std::uint32_t>(extent.stored.rend() - last);
}

MemoryImage EmptyMemoryImage(std::size_t imageSize) {
    MemoryImage image;
    image.bytes.assign(imageSize, 0xFF);
    image.extent.Reset(imageSize);
    return image;
}

void StoreBytes(MemoryImage& image, std::uint64_t address, std::span<const std::uint8_t> data) {
    const std::uint64_t size = image.bytes.size();
    HexDataExtent& extent = image.extent;
    extent.dataBytes += data.size();
    const std::uint64_t kept =
        address >= size ? 0 : std::min<std::uint64_t>(data.size(), size - address);
    if (kept != 0) {
        std::copy_n(data.begin(), kept, image.bytes.begin() + static_cast<std::ptrdiff_t>(address));
        std::fill_n(extent.stored.begin() + static_cast<std::ptrdiff_t>(address), kept, true);
    }
    if (kept < data.size()) {
        extent.droppedBytes += data.size() - kept;
        extent.firstDropped = std::min(extent.firstDropped, address + kept);
    }
}

MemoryImage ReadRawImage(std::span<const std::uint8_t> file, std::size_t imageSize) {
    MemoryImage image = EmptyMemoryImage(imageSize);
    StoreBytes(image, 0, file);
    return image;
}

}  // namespace velkor
