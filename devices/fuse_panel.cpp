#include "devices/fuse_panel.h"

#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"
#include "devices/fuse_wizard.h"

namespace velkor {

namespace {

// The captions the boxes carry in the dialog resource: LF0..LF7, HF0..HF7, EF0..EF7.
std::string ResourceCaption(std::size_t k, std::size_t i) {
    static constexpr const char* kPrefix[3] = {"LF", "HF", "EF"};
    return kPrefix[k] + std::to_string(i);
}

}  // namespace

FuseBoxes RefreshFuseBoxes(const FuseBytes& fuses, const FuseBitNames& names,
                           const std::uint8_t (&mask)[3]) {
    FuseBoxes boxes;
    for (std::size_t k = 0; k < 3; ++k) {
        for (std::size_t i = 0; i < 8; ++i) {
            FuseBoxState& box = boxes[8 * k + i];
            box.controlId = kFirstFuseBoxId + static_cast<int>(8 * k + i);
            const bool bitSet = (fuses[k] >> i & 1) != 0;
            const char* name = FuseBitName(names, k, i);
            box.visible = name != nullptr && *name != '\0';
            box.caption =
                box.visible ? std::string(name) + (bitSet ? "=1" : "=0") : ResourceCaption(k, i);
            box.checked = box.visible && !bitSet;
            // The mask decides alone: a named bit outside it is shown but cannot be clicked.
            box.enabled = (mask[k] >> i & 1) != 0;
        }
    }
    return boxes;
}

FuseBoxes RefreshFuseBoxes(const FuseBytes& fuses, const ChipRecord& chip) {
    return RefreshFuseBoxes(fuses, *chip.fuseNames, chip.fuseMask);
}

FuseBoxes HiddenFuseBoxes() {
    return RefreshFuseBoxes(FuseBytes{}, FuseNamesNone, {0, 0, 0});
}

const ChipRecord& FusePanelChip(std::uint32_t chipIndex) {
    return ChipTable[chipIndex < kChipTableRows ? chipIndex : kNoChipRow];
}

FuseToggle ToggleFuseBit(int controlId, FuseBytes& fuses, const ChipRecord& chip,
                         WizardLists& wizard) {
    FuseToggle result;
    const int n = controlId - kFirstFuseBoxId;
    if (n >= 0 && n < kFuseBoxCount) {
        const FuseBoxState before = RefreshFuseBoxes(fuses, chip)[n];
        if (before.visible && before.enabled) {
            const std::size_t k = static_cast<std::size_t>(n) / 8;
            fuses[k] ^= static_cast<std::uint8_t>(1u << (n % 8));
            result.changed = true;
            // Only the low byte holds clock and start-up bits, so only it moves the wizard.
            if (k == 0) {
                result.message = SyncWizardFromFuses(*chip.fuseNames->wizard, fuses.low, wizard);
                result.wizardSynced = true;
            }
        }
    }
    result.boxes = RefreshFuseBoxes(fuses, chip);
    return result;
}

void LoadFuseDefaults(const ChipRecord& chip, FuseBytes& fuses) {
    fuses = {chip.fuseDefault[0], chip.fuseDefault[1], chip.fuseDefault[2]};
}

}  // namespace velkor
