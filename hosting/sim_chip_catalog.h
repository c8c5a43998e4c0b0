// Simulated chips for the rows of the chip tables, so that every supported part can be
// put on the simulated bench by its name.
#pragma once

#include <memory>
#include <string>

#include "sim/at89_chip.h"
#include "sim/avr_chip.h"

namespace velkor {

// The AVR model for a ChipTable row (rows 0..42), or null for another row.
std::unique_ptr<sim::AvrChip> MakeSimAvrChip(unsigned row, sim::AvrChipFaults faults = {});
// The 89S5x model for an At89ChipTable row (rows 0..3), or null.
std::unique_ptr<sim::At89Chip> MakeSimAt89Chip(unsigned row);

}  // namespace velkor
