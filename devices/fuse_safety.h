// Fuse values that can lock the programmer out of a chip for good, checked before any fuse
// write. Both front ends ask the same question: the command line refuses such a write unless
// told to force it, the window asks the user to confirm it. Toolkit-free.
//
// A write sends, for each fuse byte whose changeable-bit mask is nonzero, the byte AND that
// mask. So a bit inside the mask is written as the user's value says, and only those bits are
// judged here: a bit outside the mask is not the user's to choose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/fuse_panel.h"
#include "messages/log_messages.h"

namespace velkor {

struct ChipRecord;  // chip_table.h

enum class FuseHazardKind {
    kResetDisabled,   // RSTDISBL (RSTDSBL on some parts) programmed: the RESET pin becomes an
                      // I/O pin, ending serial programming
    kDebugWireOn,     // DWEN programmed: RESET becomes the debugWIRE line, ending serial
                      // programming while it is on
    kSerialDisabled,  // SPIEN unprogrammed: the serial programming interface is switched off
};

struct FuseHazard {
    FuseHazardKind kind;
    int byte = 0;              // 0 low, 1 high, 2 extended
    int bit = 0;               // 0..7
    std::string name;          // the chip's own name of the bit: "RSTDISBL", "DWEN", ...
    std::uint8_t written = 0;  // the byte as the write would send it (value AND mask)
};

// Every bit of `fuses` that a fuse write on `chip` would set to a dangerous state, in byte and
// bit order; empty when the write is safe. Bits are found by the chip's own fuse bit names, so
// a chip whose layout has no such bit never reports it.
std::vector<FuseHazard> FindFuseHazards(const FuseBytes& fuses, const ChipRecord& chip);

// One line naming the bit and what writing it does, ending in "\r\n", and its Chinese text.
// The window shows it in its confirmation; the command line logs it when it refuses.
LogLine FuseHazardMessage(const FuseHazard& hazard);
std::string FuseHazardLine(const FuseHazard& hazard);

// The same in English, without a line end, for the command line's error stream.
std::string FuseHazardLineEnglish(const FuseHazard& hazard);

}  // namespace velkor
