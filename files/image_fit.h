// Whether a loaded image fits the chosen chip. The images are as large as the largest chip's
// memories, so a file meant for a bigger chip loads without complaint; a run would then write
// only the part that fits. Both front ends count the bytes beyond the chip before a run and show
// the same line: the command line refuses the run, the window warns. Toolkit-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/hex_reader.h"
#include "messages/log_messages.h"

namespace velkor {

struct ProgrammerSettings;
class HexFile;

struct ImageFit {
    std::uint64_t beyond = 0;        // data bytes at or above the memory's size
    std::uint64_t firstAddress = 0;  // the lowest of them; meaningful when beyond > 0
    bool Fits() const { return beyond == 0; }
};

// Counts the data bytes of a load that lie at or beyond `memorySize` bytes: those stored in the
// image above it and those the image itself could not take.
ImageFit CheckImageFits(const HexDataExtent& extent, std::uint64_t memorySize);

// The log line for a misfit, ending in "\r\n": how many bytes, from which address, and the
// memory's size. `flash` chooses the memory's name.
LogLine ImageFitMessage(bool flash, const ImageFit& fit, const std::string& chipName,
                        std::uint64_t memorySize);

// Both loaded files against the selected chip (the row at its chip index in its
// family's table): the lines for every misfit; empty when both fit. An image whose file was
// not loaded is not judged.
std::vector<LogLine> ImageFitMessages(const ProgrammerSettings& settings, const HexFile& flashFile,
                                      const HexFile& eepromFile);
// The same lines' text in the language, concatenated.
std::string ImageFitLines(const ProgrammerSettings& settings, const HexFile& flashFile,
                          const HexFile& eepromFile, Language language = Language::kZh);

}  // namespace velkor
