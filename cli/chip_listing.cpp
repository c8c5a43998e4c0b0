#include "cli/chip_listing.h"

#include <cstdio>
#include <string>

#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"

namespace velkor::cli {
namespace {

std::string Hex(const std::uint8_t* bytes, int count) {
    std::string text;
    char buffer[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
        if (i != 0) text += ' ';
        text += buffer;
    }
    return text;
}

std::string Hex(std::uint8_t byte) {
    return Hex(&byte, 1);
}

}  // namespace

void PrintChipNames(std::ostream& out) {
    out << "AVR:";
    for (const std::string& name : ChipList(0)) out << ' ' << name;
    out << "\n89S5x (for testing):";
    for (const std::string& name : ChipList(1)) out << ' ' << name;
    out << '\n';
}

void PrintAllChipRows(std::ostream& out) {
    for (std::uint32_t row = 0; row < kChipTableRows; ++row) {
        const ChipRecord& r = ChipTable[row];
        const char* names = r.fuseNames != nullptr && r.fuseNames->name ? r.fuseNames->name : "-";
        const char* wizard = r.fuseNames != nullptr && r.fuseNames->wizard != nullptr &&
                                     r.fuseNames->wizard->name != nullptr
                                 ? r.fuseNames->wizard->name
                                 : "-";
        out << 0 << '\t' << row << '\t' << (r.name ? r.name : "-") << '\t' << int{r.chipCode}
            << '\t' << Hex(r.signature, 3) << '\t' << r.flashSize << '\t' << r.pageSize << '\t'
            << r.eepromSize << '\t' << r.flashWaitMs << '\t' << r.eepromWaitMs << '\t'
            << Hex(r.pollValue) << '\t' << Hex(r.defaultLock) << '\t' << int{r.fuseKind} << '\t'
            << int{r.calibrationCount} << '\t' << Hex(r.fuseMask, 3) << '\t'
            << Hex(r.fuseDefault, 3) << '\t' << names << '\t' << wizard << '\n';
    }
    for (std::uint32_t row = 0; row < kAt89ChipTableRows; ++row) {
        const At89ChipRecord& r = At89ChipTable[row];
        out << 1 << '\t' << row << '\t' << (r.name ? r.name : "-") << '\t' << Hex(r.signature, 3)
            << '\t' << r.flashSize << '\t' << int{r.commandFormat} << '\n';
    }
}

}  // namespace velkor::cli
