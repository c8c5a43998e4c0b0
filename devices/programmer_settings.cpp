#include "devices/programmer_settings.h"

#include "devices/chip_table.h"

namespace velkor {

const ChipRecord& ProgrammerSettings::AvrRecord() const {
    return ChipTable[chipIndex < kChipTableRows ? chipIndex : kNoChipRow];
}

const At89ChipRecord& ProgrammerSettings::At89Record() const {
    return At89ChipTable[chipIndex < kAt89ChipTableRows ? chipIndex : kAt89ChipTableRows - 1];
}

bool ProgrammerSettings::ChipIndexValid() const {
    if (targetFamily == kFamilyAvr) return chipIndex < kChipTableRows;
    if (targetFamily == kFamily89S5x) return chipIndex < kAt89ChipTableRows;
    return false;
}

const char* ProgrammerSettings::SelectedChipName() const {
    if (!ChipIndexValid()) return nullptr;
    return targetFamily == kFamily89S5x ? At89Record().name : AvrRecord().name;
}

}  // namespace velkor
