// Writes the simulated chip's memories and configuration bytes to a folder, so that scripts
// and tests can compare what the chip holds after a run, and reads such a folder back into a
// fresh chip.
#pragma once

#include <string>

#include "hosting/sim_bench.h"

namespace velkor {

// DIR/flash.bin, DIR/eeprom.bin (whole memories) and DIR/state.txt (fuse_low, fuse_high,
// fuse_ext, lock as key=value with two hex digits). Returns an error message or "".
std::string DumpSimChip(const SimBench& bench, const std::string& dir);

// Whether the dump can be written there, checked before a run so that a run is never made
// only to find its record cannot be kept: creates DIR if needed and writes and removes a probe
// file in it. Returns an error message or "".
std::string CheckSimDumpDir(const std::string& dir);

// Gives the bench's chip what DumpSimChip wrote into DIR, so that a simulated chip keeps its
// memories and configuration bytes from one run to the next. Each memory file must hold
// exactly the chip's memory size (a dump of another chip is refused, not cut or padded), and
// state.txt must give every byte the dump writes. Returns an error message or "", and changes
// nothing unless everything was read.
std::string LoadSimChip(SimBench& bench, const std::string& dir);

}  // namespace velkor
