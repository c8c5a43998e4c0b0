#include "files/image_loader.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/isp_programmer.h"
#include "files/safe_file.h"

namespace velkor {

bool HexFile::Open(const std::string& path) {
    if (path.empty()) return false;
    path_ = path;
    loaded_ = false;
    return true;
}

namespace {

// Hands the image to the engine with the addresses the file gave data for, as ranges: what a
// file-only verify compares.
void StoreImage(IspProgrammer& programmer, bool flash, std::span<const std::uint8_t> bytes,
                std::uint32_t length, const HexDataExtent& extent) {
    std::vector<AddressRange> ranges;
    for (std::uint32_t a = 0; a < extent.stored.size(); ++a) {
        if (!extent.stored[a]) continue;
        if (!ranges.empty() && ranges.back().end == a) {
            ++ranges.back().end;
        } else {
            ranges.push_back({a, a + 1});
        }
    }
    programmer.SetImage(flash ? ImageKind::kFlash : ImageKind::kEeprom, bytes, length,
                        std::move(ranges));
}

}  // namespace

int LoadHexFile(IspProgrammer& programmer, HexFile& file, const std::string& path, bool flash) {
    if (!file.Open(path)) return kHexLoadNoPath;
    std::string text;
    std::string error;
    switch (ReadWholeFile(path, text, error, kMaxHexFileBytes)) {
        case FileReadStatus::kRead:
            break;
        case FileReadStatus::kMissing:
        case FileReadStatus::kFailed:
            programmer.Log({Msg::kHexOpenFailed, {std::string(path)}});
            return kHexLoadOpenFailed;
        case FileReadStatus::kNotRegular:
            programmer.Log({Msg::kHexNotRegular, {std::string(path)}});
            return kHexLoadOpenFailed;
        case FileReadStatus::kTooLarge:
            programmer.Log({Msg::kHexTooLarge,
                            {std::string(path), Num(static_cast<unsigned>(kMaxHexFileBytes))}});
            return kHexLoadOpenFailed;
    }
    return LoadHexText(programmer, file, path, text, flash);
}

int LoadHexText(IspProgrammer& programmer, HexFile& file, const std::string& path,
                std::string_view text, bool flash) {
    if (!file.Open(path)) return kHexLoadNoPath;
    const std::size_t imageSize = flash ? kFlashImageSize : kEepromImageSize;

    // Read into a copy first: a file without any data (a binary, a text, an empty file, or one
    // caught half-written by a build tool) must not replace the image with an erased one.
    std::vector<std::uint8_t> scratch(imageSize, 0xFF);
    std::uint32_t length = flash ? programmer.FlashImageLength() : programmer.EepromImageLength();
    HexDataExtent extent;
    const int faultyLine = ReadHexText(text, scratch, length, &extent);
    if (extent.dataBytes == 0) {
        if (faultyLine != 0) {
            programmer.Log({Msg::kHexFaultyNoData, {std::string(path), Num(faultyLine)}});
            return faultyLine;
        }
        programmer.Log({Msg::kHexNoDataRecord, {std::string(path)}});
        return kHexLoadNoData;
    }
    StoreImage(programmer, flash, scratch, length, extent);
    file.loaded_ = true;
    file.extent_ = std::move(extent);
    // The image keeps what was read before the fault, as it always has; the log line makes sure
    // a damaged file is never programmed without the user being told.
    if (faultyLine != 0) {
        programmer.Log({Msg::kHexFaultyStopped, {std::string(path), Num(faultyLine)}});
    }
    return faultyLine;
}

int LoadMemoryImage(IspProgrammer& programmer, HexFile& file, const std::string& path,
                    const MemoryImage& image, bool flash) {
    if (!file.Open(path)) return kHexLoadNoPath;
    if (!image.HasData()) return kHexLoadNoData;
    const std::size_t imageSize = flash ? kFlashImageSize : kEepromImageSize;
    // The engine's images are of a fixed size; a reader's image of another size is cut or
    // filled with erased bytes, and its extent follows.
    std::vector<std::uint8_t> bytes(imageSize, 0xFF);
    std::copy_n(image.bytes.begin(), std::min(imageSize, image.bytes.size()), bytes.begin());
    HexDataExtent extent = image.extent;
    extent.stored.resize(imageSize, false);
    const std::uint32_t length = std::max(
        image.Length(), flash ? programmer.FlashImageLength() : programmer.EepromImageLength());
    StoreImage(programmer, flash, bytes, std::min<std::uint32_t>(length, imageSize), extent);
    file.loaded_ = true;
    file.extent_ = std::move(extent);
    return 0;
}

int LoadFlashImage(IspProgrammer& programmer, HexFile& file, const std::string& path) {
    return LoadHexFile(programmer, file, path, true);
}

int LoadEepromImage(IspProgrammer& programmer, HexFile& file, const std::string& path) {
    return LoadHexFile(programmer, file, path, false);
}

}  // namespace velkor
