#include "hosting/sim_chip_catalog.h"

#include "devices/chip_table.h"
#include "sim/at89_part_sheets.h"
#include "sim/avr_part_sheets.h"

namespace velkor {

// The row's name is the only thing taken from the program's table: the chip itself is
// built from the simulator's own sheet for that part, so a wrong row shows up as a chip
// that does not behave as the row claims.
std::unique_ptr<sim::AvrChip> MakeSimAvrChip(unsigned row, sim::AvrChipFaults faults) {
    if (row >= kLockedChipRow) return nullptr;
    return sim::MakeAvrPart(ChipTable[row].name, faults);
}

std::unique_ptr<sim::At89Chip> MakeSimAt89Chip(unsigned row) {
    if (row + 1 >= kAt89ChipTableRows) return nullptr;
    return sim::MakeAt89Part(At89ChipTable[row].name);
}

}  // namespace velkor
