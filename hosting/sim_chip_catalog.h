// Simulated chips for the rows of the chip tables, so that every supported part can be
// put on the simulated bench by its name.
#pragma once

#include <memory>
#include <string>

#include "sim/at89_chip.h"
#include "sim/avr_chip.h"

namespace velkor {

// The AVR model for a ChipTable row (rows 0..42), built from the simulator's sheet for the
// part the row names; null for another row or a part the simulator has no sheet for.
std::unique_ptr<sim::AvrChip> MakeSimAvrChip(unsigned row, sim::AvrChipFaults faults = {});
// The 89S5x model for an At89ChipTable row (rows 0..3), likewise, or null.
std::unique_ptr<sim::At89Chip> MakeSimAt89Chip(unsigned row);

}  // namespace velkor
