#include "dude/dude_targets.h"

#include <algorithm>
#include <cctype>

#include "devices/chip_table.h"
#include "engine/engine_types.h"

namespace velkor::dude {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// avrdude's parallel-port programmers, compared pin by pin (reset, sck, sdo, sdi on the
// connector) with the cables' bits in protocol/cable_pins.c: data bit n is pin n + 2, ACK is
// pin 10, BUSY pin 11, SELECT pin 13. The unnamed kind-7 cable (sck 2, sdo 3, reset 4, sdi 11)
// matches no programmer of avrdude's; without -c it is found like the others.
constexpr DudeProgrammer kProgrammers[] = {
    {"stk200", kCableStk200, "stk200", "reset 9, sck 6, sdo 7, sdi 10"},
    {"pony-stk200", kCableStk200, "stk200", "reset 9, sck 6, sdo 7, sdi 10"},
    {"frank-stk200", kCableStk200, "stk200", "reset 9, sck 6, sdo 7, sdi 10"},
    {"xil", kCableXilinx, "xilinx", "reset 4, sck 3, sdo 2, sdi 13"},
    {"abcmini", kCableLattice, "lattice", "reset 4, sck 3, sdo 2, sdi 10"},
    {"blaster", kCableByteBlaster, "byteblaster", "reset 3, sck 2, sdo 8, sdi 11"},
};

const char* CableTitle(std::uint8_t cable) {
    switch (cable) {
        case kCableStk200:
            return "STK200/STK300";
        case kCableXilinx:
            return "Xilinx download cable";
        case kCableLattice:
            return "Lattice download cable";
        case kCableByteBlaster:
            return "Altera ByteBlasterMV";
        default:
            return "?";
    }
}

}  // namespace

std::optional<DudePart> FindDudePart(const std::string& name) {
    const std::string wanted = Lower(name);
    for (std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
        const std::vector<std::string> rows = ChipList(family);
        for (std::uint32_t row = 0; row < rows.size(); ++row) {
            const std::vector<std::string> parts = family == kFamilyAvr
                                                       ? PartNamesOfRow(ChipTable[row].name)
                                                       : std::vector<std::string>{rows[row]};
            for (const std::string& part : parts) {
                const std::string lower = Lower(part);
                if (wanted == lower || wanted == "at" + lower ||
                    (family == kFamilyAvr && wanted == ShortPartName(part))) {
                    return DudePart{family, row, part};
                }
            }
        }
    }
    return std::nullopt;
}

const DudeProgrammer* FindDudeProgrammer(const std::string& name) {
    for (const DudeProgrammer& p : kProgrammers) {
        if (name == p.name) return &p;
    }
    return nullptr;
}

std::string DudeProgrammerNames() {
    std::string names;
    for (const DudeProgrammer& p : kProgrammers) {
        names += (names.empty() ? "" : ", ") + std::string(p.name);
    }
    return names;
}

void PrintDudeProgrammers(std::ostream& out) {
    out << "Valid programmers:\n";
    for (const DudeProgrammer& p : kProgrammers) {
        std::string id = p.name;
        id.resize(std::max<std::size_t>(id.size(), 14), ' ');
        out << "  " << id << " = " << CableTitle(p.cable) << " (" << p.wiring << ")\n";
    }
}

void PrintDudeParts(std::ostream& out) {
    out << "Valid parts:\n";
    for (std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
        const std::vector<std::string> rows = ChipList(family);
        for (std::uint32_t row = 0; row < rows.size(); ++row) {
            const std::vector<std::string> parts = family == kFamilyAvr
                                                       ? PartNamesOfRow(ChipTable[row].name)
                                                       : std::vector<std::string>{rows[row]};
            for (const std::string& part : parts) {
                std::string id = family == kFamilyAvr ? ShortPartName(part) : Lower(part);
                id.resize(std::max<std::size_t>(id.size(), 10), ' ');
                out << "  " << id << " = AT" << part << "\n";
            }
        }
    }
}

}  // namespace velkor::dude
