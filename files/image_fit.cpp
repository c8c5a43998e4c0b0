#include "files/image_fit.h"

#include "devices/chip_table.h"
#include "devices/programmer_settings.h"
#include "files/image_loader.h"

namespace velkor {

ImageFit CheckImageFits(const HexDataExtent& extent, std::uint64_t memorySize) {
    ImageFit fit;
    fit.firstAddress = extent.firstDropped;
    fit.beyond = extent.droppedBytes;
    // Addresses kept in the image all lie below those it dropped, so the first one found above
    // the memory's end is the lowest of all.
    bool first = true;
    for (std::uint64_t a = memorySize; a < extent.stored.size(); ++a) {
        if (!extent.stored[a]) continue;
        if (first) fit.firstAddress = a;
        first = false;
        ++fit.beyond;
    }
    return fit;
}

LogLine ImageFitMessage(bool flash, const ImageFit& fit, const std::string& chipName,
                        std::uint64_t memorySize) {
    const std::string memory = flash ? "Flash" : "EEPROM";
    return {Msg::kImageBeyondChip,
            {memory, Num(fit.beyond), chipName, memory, Num(memorySize), Num(fit.firstAddress)}};
}

std::string ImageFitLines(const ProgrammerSettings& settings, const HexFile& flashFile,
                          const HexFile& eepromFile, Language language) {
    std::string text;
    for (const LogLine& line : ImageFitMessages(settings, flashFile, eepromFile)) {
        text += Render(line, language);
    }
    return text;
}

std::vector<LogLine> ImageFitMessages(const ProgrammerSettings& settings, const HexFile& flashFile,
                                      const HexFile& eepromFile) {
    std::string name;
    std::uint64_t flashSize = 0;
    std::uint64_t eepromSize = 0;
    if (settings.targetFamily == kFamilyAvr) {
        const ChipRecord& chip = settings.AvrRecord();
        name = chip.name != nullptr ? chip.name : "";
        flashSize = chip.flashSize;
        eepromSize = chip.eepromSize;
    } else {
        const At89ChipRecord& chip = settings.At89Record();
        name = chip.name != nullptr ? chip.name : "";
        flashSize = chip.flashSize;
    }
    std::vector<LogLine> lines;
    if (flashFile.IsOpen()) {
        if (const ImageFit fit = CheckImageFits(flashFile.Extent(), flashSize); !fit.Fits())
            lines.push_back(ImageFitMessage(true, fit, name, flashSize));
    }
    if (eepromFile.IsOpen()) {
        if (const ImageFit fit = CheckImageFits(eepromFile.Extent(), eepromSize); !fit.Fits())
            lines.push_back(ImageFitMessage(false, fit, name, eepromSize));
    }
    return lines;
}

}  // namespace velkor
