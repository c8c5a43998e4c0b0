// Windows builds have no ELF library (Debian packages elfutils' libelf for Linux only): an
// ELF file is recognised and refused with a line that says how to convert it.
#include "files/elf_image.h"

namespace velkor {

ElfImage ReadElfImage(std::span<const std::uint8_t> file, std::size_t, std::size_t) {
    ElfImage image;
    image.problem = LooksLikeElf(file) ? ElfProblem::kNoElfSupport : ElfProblem::kNotElf;
    image.detail = "this Windows build reads no ELF files; convert it with avr-objcopy -O ihex";
    return image;
}

}  // namespace velkor
