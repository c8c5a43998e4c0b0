#include "files/image_loader.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "devices/programmer_settings.h"
#include "files/elf_image.h"
#include "files/safe_file.h"

namespace velkor {

bool HexFile::Open(const std::string& path) {
    if (path.empty()) return false;
    path_ = path;
    loaded_ = false;
    notAFile_ = false;
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
            image.notAFile = true;
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

namespace {

LoadedImage ReadElfText(const std::string& path, std::span<const std::uint8_t> bytes, bool flash,
                        std::uint32_t loadedLength) {
    const ElfImage elf = ReadElfImage(bytes, kFlashImageSize, kEepromImageSize);
    LoadedImage image;
    image.result = kHexLoadOpenFailed;
    switch (elf.problem) {
        case ElfProblem::kNone:
            break;
        case ElfProblem::kOtherMachine:
            image.lines.push_back({Msg::kElfOtherMachine, {path, Num(elf.machine)}});
            return image;
        case ElfProblem::kNoElfSupport:
            image.lines.push_back({Msg::kElfNotSupported, {path}});
            return image;
        case ElfProblem::kNotElf:
        case ElfProblem::kDamaged:
            image.lines.push_back({Msg::kElfDamaged, {path, elf.detail}});
            return image;
    }
    image = LoadedFromMemory(flash ? elf.flash : elf.eeprom, flash, loadedLength);
    if (!image.HasData()) {
        image.lines.push_back({Msg::kElfNoData, {path, std::string(flash ? "Flash" : "EEPROM")}});
        return image;
    }
    if (flash) {
        if (elf.eeprom.HasData()) {
            image.elfEeprom =
                std::make_shared<const LoadedImage>(LoadedFromMemory(elf.eeprom, false, 0));
        }
        image.elfFuses = elf.fuses;
        image.elfLock = elf.lock;
    }
    return image;
}

}  // namespace

LoadedImage ReadImageText(const std::string& path, std::string_view text, bool flash,
                          std::uint32_t loadedLength) {
    LoadedImage image;
    if (path.empty()) return image;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    if (LooksLikeElf(bytes)) return ReadElfText(path, bytes, flash, loadedLength);
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
    if (extent.otherLines > 0) {
        image.lines.push_back(
            {Msg::kHexOtherLines,
             {std::string(path), Num(extent.otherLines), Num(extent.firstOtherLine)}});
    }
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
