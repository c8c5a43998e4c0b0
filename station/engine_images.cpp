#include "station/engine_images.h"

#include <utility>
#include <vector>

namespace velkor {
namespace {

// The addresses the file gave data for, as ranges: what a file-only verify compares.
std::vector<AddressRange> StoredRanges(const std::vector<bool>& stored) {
    std::vector<AddressRange> ranges;
    for (std::uint32_t a = 0; a < stored.size(); ++a) {
        if (!stored[a]) continue;
        if (!ranges.empty() && ranges.back().end == a) {
            ++ranges.back().end;
        } else {
            ranges.push_back({a, a + 1});
        }
    }
    return ranges;
}

std::uint32_t LoadedLength(const IspProgrammer& engine, bool flash) {
    return flash ? engine.FlashImageLength() : engine.EepromImageLength();
}

}  // namespace

int PutImage(IspProgrammer& engine, HexFile& file, const std::string& path, bool flash,
             LoadedImage image) {
    file.Open(path);
    if (image.notAFile) file.NotAFile();
    if (image.HasData()) {
        engine.SetImage(flash ? ImageKind::kFlash : ImageKind::kEeprom, image.bytes, image.length,
                        StoredRanges(image.extent.stored));
        file.Loaded(std::move(image.extent));
    }
    for (LogLine& line : image.lines) engine.Log(std::move(line));
    return image.result;
}

int LoadFlashImage(IspProgrammer& engine, HexFile& file, const std::string& path) {
    return PutImage(engine, file, path, true,
                    ReadImageFile(path, true, LoadedLength(engine, true)));
}

int LoadEepromImage(IspProgrammer& engine, HexFile& file, const std::string& path) {
    return PutImage(engine, file, path, false,
                    ReadImageFile(path, false, LoadedLength(engine, false)));
}

int LoadHexText(IspProgrammer& engine, HexFile& file, const std::string& path,
                std::string_view text, bool flash) {
    return PutImage(engine, file, path, flash,
                    ReadImageText(path, text, flash, LoadedLength(engine, flash)));
}

}  // namespace velkor
