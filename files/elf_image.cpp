// What both platforms' ELF readers share.
#include "files/elf_image.h"

#include <cstring>

namespace velkor {

bool LooksLikeElf(std::span<const std::uint8_t> file) {
    return file.size() >= 4 && std::memcmp(file.data(), "\177ELF", 4) == 0;
}

std::string ElfProblemLine(const ElfImage& image, const std::string& path) {
    switch (image.problem) {
        case ElfProblem::kNone:
            return "";
        case ElfProblem::kNotElf:
            return path + ": not an ELF file";
        case ElfProblem::kOtherMachine:
            return path + ": an ELF file for another processor (machine " +
                   std::to_string(image.machine) + "), not for an AVR";
        case ElfProblem::kDamaged:
            return path + ": damaged ELF file (" + image.detail + ")";
        case ElfProblem::kNoElfSupport:
            return path + ": " + image.detail;
    }
    return "";
}

}  // namespace velkor
