#include "hosting/sim_chip_catalog.h"

#include <algorithm>

#include "devices/chip_table.h"

namespace velkor {
namespace {

sim::AvrFuseSet FuseSetOf(std::uint8_t fuseKind) {
    switch (fuseKind) {
        case 1:
            return sim::AvrFuseSet::kCombinedLegacy;
        case 2:
            return sim::AvrFuseSet::kLegacyLow;
        case 3:
            return sim::AvrFuseSet::kLow;
        case 4:
            return sim::AvrFuseSet::kLowNewLock;
        case 5:
            return sim::AvrFuseSet::kLowHigh;
        case 6:
            return sim::AvrFuseSet::kLowHighExt;
        default:
            return sim::AvrFuseSet::kNone;
    }
}

// A write takes the part's typical time, a little under the fixed wait the programmer
// allows for it, as on real parts.
std::uint64_t WriteNs(std::uint16_t waitMs, std::uint64_t typicalNs) {
    if (waitMs == 0) return typicalNs;
    return std::min<std::uint64_t>(typicalNs, std::uint64_t{waitMs} * 750'000);
}

}  // namespace

std::unique_ptr<sim::AvrChip> MakeSimAvrChip(unsigned row, sim::AvrChipFaults faults) {
    if (row >= kLockedChipRow) return nullptr;
    const ChipRecord& r = ChipTable[row];
    sim::AvrChipTraits traits;
    traits.name = r.name;
    std::copy(r.signature, r.signature + 3, traits.signature);
    traits.flashSize = r.flashSize;
    traits.pageSize = r.pageSize;
    traits.eepromSize = r.eepromSize;
    traits.flashBusyValue = r.pollValue;
    // The AT90S generation (byte-programmed flash, fuses in the old instruction forms) reads
    // P1 while an EEPROM cell auto-erases and P2 while it is written: 80/7F on the parts
    // whose flash polls as 7F, 00/FF on the others. Later parts read FF throughout.
    traits.eepromBusyValue = r.pollValue == 0x7F ? 0x7F : 0xFF;
    traits.eepromErasePhase = r.pageSize == 0 && r.fuseKind <= 2;
    traits.fuseSet = FuseSetOf(r.fuseKind);
    const bool hasDefaults = r.fuseDefault[0] | r.fuseDefault[1] | r.fuseDefault[2];
    traits.fuseLow = hasDefaults ? r.fuseDefault[0] : 0xFF;
    // Fuse bytes a part does not have read as unprogrammed bits.
    traits.fuseHigh = hasDefaults && r.fuseKind >= 5 ? r.fuseDefault[1] : 0xFF;
    traits.fuseExtended = hasDefaults && r.fuseKind >= 6 ? r.fuseDefault[2] : 0xFF;
    traits.lock = 0xFF;
    // Bits outside the changeable mask (SPIEN, bits a part lacks) keep their value.
    std::copy(r.fuseMask, r.fuseMask + 3, traits.fuseMask);
    traits.calibrationCount = r.calibrationCount;
    for (unsigned i = 0; i < 4; ++i)
        traits.calibration[i] = static_cast<std::uint8_t>(0xA1 + 0x11 * i);
    traits.flashWriteNs = WriteNs(r.flashWaitMs, 4'500'000);
    traits.eepromWriteNs = WriteNs(r.eepromWaitMs, 3'600'000);
    traits.eraseNs = 9'000'000;
    return std::make_unique<sim::AvrChip>(traits, faults);
}

std::unique_ptr<sim::At89Chip> MakeSimAt89Chip(unsigned row) {
    if (row + 1 >= kAt89ChipTableRows) return nullptr;
    const At89ChipRecord& r = At89ChipTable[row];
    sim::At89ChipTraits traits;
    traits.name = r.name;
    std::copy(r.signature, r.signature + 3, traits.signature);
    traits.flashSize = r.flashSize;
    traits.threeByteFormat = r.commandFormat == 3;
    return std::make_unique<sim::At89Chip>(traits);
}

}  // namespace velkor
