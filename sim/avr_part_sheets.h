// The simulator's own description of each AVR part, typed in from the parts' data sheets:
// what the chip is, not what the programmer believes about it. The programmer's chip table
// is checked against these rows by programming simulated chips built from them, so the two
// must stay independent: nothing here comes from the program's tables.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "sim/avr_chip.h"

namespace velkor::sim {

// What a location reads while it is being written.
enum class AvrBusyReads : std::uint8_t {
    kFF,         // flash and EEPROM read 0xFF until the write is done
    kFlash7F,    // AT90S2313/4414/8515: flash 0x7F; EEPROM 0x80 while the cell erases, then 0x7F
    kEeprom00,   // the other AT90S parts: flash 0xFF; EEPROM 0x00 while the cell erases, then 0xFF
    kNoPolling,  // AT90S1200: no data polling, a location shows its new value at once
};

struct AvrPartSheet {
    std::string_view name;  // as the parts are named without the "AT" prefix: "mega8", "90S2313"
    std::uint8_t signature[3];
    std::uint32_t flashBytes;
    std::uint32_t flashPageBytes;  // 0: flash is programmed byte by byte
    std::uint32_t eepromBytes;
    std::uint32_t eepromPageBytes;  // 0: no EEPROM page buffer
    // Longest self-timed write at 5 V (tWD_FLASH per page or byte, tWD_EEPROM, tWD_ERASE).
    std::uint32_t flashWriteUs;
    std::uint32_t eepromWriteUs;
    std::uint32_t eraseUs;
    AvrFuseSet fuseSet;
    std::uint8_t fuseBits[3];     // bits the part has in fuse low, high, extended
    std::uint8_t spienBit[3];     // SPIEN: always programmed on a part in serial mode
    std::uint8_t fuseDefault[3];  // factory values; bits the part lacks read 1
    std::uint8_t calibrationBytes;
    AvrBusyReads busyReads;
};

std::span<const AvrPartSheet> AvrPartSheets();
// The sheet of the part with this name, or null.
const AvrPartSheet* FindAvrPartSheet(std::string_view name);
// The chip model's traits for a part: sizes, fuse layout, write times and busy reads.
AvrChipTraits AvrTraitsFromSheet(const AvrPartSheet& sheet);
// A chip built from the named part's sheet, or null when there is no sheet for it.
std::unique_ptr<AvrChip> MakeAvrPart(std::string_view name, AvrChipFaults faults = {});

}  // namespace velkor::sim
