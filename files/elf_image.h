// Reads the ELF files avr-gcc links (the program as the linker left it, before objcopy) into
// the memories they describe. avr-gcc places each memory in its own address range: flash from
// 0, EEPROM from 0x810000, the fuse bytes from 0x820000 and the lock byte at 0x830000; RAM
// (0x800000) and the signature ranges are not programmed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/raw_image.h"

namespace velkor {

enum class ElfProblem {
    kNone,
    kNotElf,        // no ELF header at all
    kOtherMachine,  // an ELF file, but for another processor (`machine` says which)
    kDamaged,       // the header or a section cannot be read; `detail` says what
    kNoElfSupport,  // this build has no ELF library
};

struct ElfImage {
    ElfProblem problem = ElfProblem::kNone;
    unsigned machine = 0;  // the file's e_machine, for kOtherMachine
    std::string detail;    // English: what is wrong, for kDamaged and kNoElfSupport
    // Loadable sections by their load address (a program's initialised data is stored after
    // its code and copied to RAM at start-up, so it is programmed where it is loaded from).
    MemoryImage flash;
    MemoryImage eeprom;
    std::vector<std::uint8_t> fuses;  // the .fuse section: low, high, extended; empty: none
    std::optional<std::uint8_t> lock;

    bool Ok() const { return problem == ElfProblem::kNone; }
};

// The file starts with the ELF magic number, so it is meant as one.
bool LooksLikeElf(std::span<const std::uint8_t> file);

// Reads the whole file held in `file`. The images are `flashImageSize` and `eepromImageSize`
// bytes long; data beyond them is counted as dropped. An ELF file for a processor other than
// the AVR, or one the library cannot read, gives a problem and no data.
ElfImage ReadElfImage(std::span<const std::uint8_t> file, std::size_t flashImageSize,
                      std::size_t eepromImageSize);

// One English line for a problem: "<path>: ...".
std::string ElfProblemLine(const ElfImage& image, const std::string& path);

}  // namespace velkor
