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
    sim::AvrChipSpec spec;
    spec.name = r.name;
    std::copy(r.signature, r.signature + 3, spec.signature);
    spec.flashSize = r.flashSize;
    spec.pageSize = r.pageSize;
    spec.eepromSize = r.eepromSize;
    spec.flashBusyValue = r.pollValue;
    // The AT90S generation (byte-programmed flash, fuses in the old instruction forms) reads
    // P1 while an EEPROM cell auto-erases and P2 while it is written: 80/7F on the parts
    // whose flash polls as 7F, 00/FF on the others. Later parts read FF throughout.
    spec.eepromBusyValue = r.pollValue == 0x7F ? 0x7F : 0xFF;
    spec.eepromErasePhase = r.pageSize == 0 && r.fuseKind <= 2;
    spec.fuseSet = FuseSetOf(r.fuseKind);
    const bool hasDefaults = r.fuseDefault[0] | r.fuseDefault[1] | r.fuseDefault[2];
    spec.fuseLow = hasDefaults ? r.fuseDefault[0] : 0xFF;
    // Fuse bytes a part does not have read as unprogrammed bits.
    spec.fuseHigh = hasDefaults && r.fuseKind >= 5 ? r.fuseDefault[1] : 0xFF;
    spec.fuseExtended = hasDefaults && r.fuseKind >= 6 ? r.fuseDefault[2] : 0xFF;
    spec.lock = 0xFF;
    // Bits outside the changeable mask (SPIEN, bits a part lacks) keep their value.
    std::copy(r.fuseMask, r.fuseMask + 3, spec.fuseMask);
    spec.calibrationCount = r.calibrationCount;
    for (unsigned i = 0; i < 4; ++i) spec.calibration[i] = static_cast<std::uint8_t>(0xA1 + 0x11 * i);
    spec.flashWriteNs = WriteNs(r.flashWaitMs, 4'500'000);
    spec.eepromWriteNs = WriteNs(r.eepromWaitMs, 3'600'000);
    spec.eraseNs = 9'000'000;
    return std::make_unique<sim::AvrChip>(spec, faults);
}

std::unique_ptr<sim::At89Chip> MakeSimAt89Chip(unsigned row) {
    if (row + 1 >= kAt89ChipTableRows) return nullptr;
    const At89ChipRecord& r = At89ChipTable[row];
    sim::At89ChipSpec spec;
    spec.name = r.name;
    std::copy(r.signature, r.signature + 3, spec.signature);
    spec.flashSize = r.flashSize;
    spec.threeByteFormat = r.commandFormat == 3;
    return std::make_unique<sim::At89Chip>(spec);
}

}  // namespace velkor
