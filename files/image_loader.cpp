#include "files/image_loader.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "devices/programmer_settings.h"
#include "files/safe_file.h"

namespace velkor {

bool HexFile::Open(const std::string& path) {
    if (path.empty()) return false;
    path_ = path;
    loaded_ = false;
    return true;
}

void HexFile::Loaded(HexDataExtent extent) {
    loaded_ = true;
    extent_ = std::move(extent);
}

LoadedImage ReadImageFile(const std::string& path, bool flash, std::uint32_t loadedLength) {
    LoadedImage image;
    if (path.empty()) return image;
    std::string text;
    std::string error;
    switch (ReadWholeFile(path, text, error, kMaxHexFileBytes)) {
        case FileReadStatus::kRead:
            return ReadImageText(path, text, flash, loadedLength);
        case FileReadStatus::kMissing:
        case FileReadStatus::kFailed:
            image.lines.push_back({Msg::kHexOpenFailed, {std::string(path)}});
            break;
        case FileReadStatus::kNotRegular:
            image.lines.push_back({Msg::kHexNotRegular, {std::string(path)}});
            break;
        case FileReadStatus::kTooLarge:
            image.lines.push_back(
                {Msg::kHexTooLarge,
                 {std::string(path), Num(static_cast<unsigned>(kMaxHexFileBytes))}});
            break;
    }
    image.result = kHexLoadOpenFailed;
    return image;
}

LoadedImage ReadImageText(const std::string& path, std::string_view text, bool flash,
                          std::uint32_t loadedLength) {
    LoadedImage image;
    if (path.empty()) return image;
    // Read into a copy first: a file without any data (a binary, a text, an empty file, or one
    // caught half-written by a build tool) must not replace the image with an erased one.
    std::vector<std::uint8_t> scratch(flash ? kFlashImageSize : kEepromImageSize, 0xFF);
    std::uint32_t length = loadedLength;
    HexDataExtent extent;
    const int faultyLine = ReadHexText(text, scratch, length, &extent);
    if (extent.dataBytes == 0) {
        if (faultyLine != 0) {
            image.lines.push_back({Msg::kHexFaultyNoData, {std::string(path), Num(faultyLine)}});
            image.result = faultyLine;
        } else {
            image.lines.push_back({Msg::kHexNoDataRecord, {std::string(path)}});
            image.result = kHexLoadNoData;
        }
        return image;
    }
    image.result = faultyLine;
    image.bytes = std::move(scratch);
    image.length = length;
    image.extent = std::move(extent);
    // The image keeps what was read before the fault, as it always has; the line makes sure
    // a damaged file is never programmed without the user being told.
    if (faultyLine != 0) {
        image.lines.push_back({Msg::kHexFaultyStopped, {std::string(path), Num(faultyLine)}});
    }
    return image;
}

LoadedImage LoadedFromMemory(const MemoryImage& memory, bool flash, std::uint32_t loadedLength) {
    LoadedImage image;
    if (!memory.HasData()) {
        image.result = kHexLoadNoData;
        return image;
    }
    const std::size_t size = flash ? kFlashImageSize : kEepromImageSize;
    image.result = 0;
    image.bytes.assign(size, 0xFF);
    std::copy_n(memory.bytes.begin(), std::min(size, memory.bytes.size()), image.bytes.begin());
    image.extent = memory.extent;
    image.extent.stored.resize(size, false);
    image.length = std::min<std::uint32_t>(std::max(loadedLength, memory.Length()),
                                           static_cast<std::uint32_t>(size));
    return image;
}

}  // namespace velkor
