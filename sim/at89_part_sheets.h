// The simulator's own description of each AT89S5x part, from the parts' data sheets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "sim/at89_chip.h"

namespace velkor::sim {

struct At89PartSheet {
    std::string_view name;  // "89S51", ...
    // The 89S51/52 answer their signature in serial mode; the 89S53/8252 have no such
    // instruction (their signature is read in parallel mode only) and list none.
    bool serialSignature;
    std::uint8_t signature[3];
    std::uint32_t codeBytes;
    // The 89S8252's data EEPROM, reached by the code-memory instructions with bit 2 of the
    // opcode set, so it follows the code memory in the serial address space.
    std::uint32_t dataBytes;
    bool threeByteInstructions;  // 89S53/8252: address bits in the opcode byte, no page modes
    std::uint32_t writeUs;       // self-timed write of a byte (or a page on the 89S51/52)
    std::uint32_t eraseUs;
};

std::span<const At89PartSheet> At89PartSheets();
const At89PartSheet* FindAt89PartSheet(std::string_view name);
At89ChipTraits At89TraitsFromSheet(const At89PartSheet& sheet);
std::unique_ptr<At89Chip> MakeAt89Part(std::string_view name);

}  // namespace velkor::sim
