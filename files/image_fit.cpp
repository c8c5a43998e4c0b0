#include "files/image_fit.h"

#include <cstdio>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
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

std::string ImageFitLine(bool flash, const ImageFit& fit, const std::string& chipName,
                         std::uint64_t memorySize) {
    char text[256];
    std::snprintf(
        text, sizeof text,
        "%s映像有 %llu 字节超出 %s 的%s (%llu 字节), 起始地址 %llX, 这些数据不会写入.\r\n",
        flash ? "Flash" : "EEPROM", static_cast<unsigned long long>(fit.beyond), chipName.c_str(),
        flash ? "Flash" : "EEPROM", static_cast<unsigned long long>(memorySize),
        static_cast<unsigned long long>(fit.firstAddress));
    return text;
}

std::string ImageFitLines(const IspProgrammer& engine, const HexFile& flashFile,
                          const HexFile& eepromFile) {
    std::string name;
    std::uint64_t flashSize = 0;
    std::uint64_t eepromSize = 0;
    if (engine.targetFamily == kFamilyAvr) {
        const ChipRecord& chip = engine.AvrRecord();
        name = chip.name != nullptr ? chip.name : "";
        flashSize = chip.flashSize;
        eepromSize = chip.eepromSize;
    } else {
        const At89ChipRecord& chip = engine.At89Record();
        name = chip.name != nullptr ? chip.name : "";
        flashSize = chip.flashSize;
    }
    std::string lines;
    if (flashFile.IsOpen()) {
        if (const ImageFit fit = CheckImageFits(flashFile.Extent(), flashSize); !fit.Fits())
            lines += ImageFitLine(true, fit, name, flashSize);
    }
    if (eepromFile.IsOpen()) {
        if (const ImageFit fit = CheckImageFits(eepromFile.Extent(), eepromSize); !fit.Fits())
            lines += ImageFitLine(false, fit, name, eepromSize);
    }
    return lines;
}

}  // namespace velkor
