#include "cli/fuse_calculator.h"

#include <string>

#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"
#include "devices/fuse_panel.h"
#include "devices/fuse_wizard.h"

namespace velkor::cli {
namespace {

constexpr int kExitUsage = 2;

// A message's line end is dropped: each record is one line.
std::string WithoutLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

int RunFuseCalculator(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.chip.empty()) {
        err << "velkorisp-cli: fuses needs the chip (--chip NAME)\n";
        return kExitUsage;
    }
    const int row = FindChipByName(0, o.chip);
    if (row < 0 || static_cast<std::uint32_t>(row) >= kLockedChipRow) {
        if (FindChipByName(1, o.chip) >= 0) {
            err << "velkorisp-cli: " << o.chip << " is an 89S5x chip: it has no fuse bytes\n";
        } else {
            err << "velkorisp-cli: unknown chip '" << o.chip << "' (see 'velkorisp-cli chips')\n";
        }
        return kExitUsage;
    }
    if (!o.fuseLow || !o.fuseHigh || !o.fuseExtended) {
        err << "velkorisp-cli: fuses needs all three bytes: --fuses LL:HH:EE\n";
        return kExitUsage;
    }
    if (o.startupPosition && !o.clockPosition) {
        err << "velkorisp-cli: --startup chooses within the clock source of --clock\n";
        return kExitUsage;
    }
    const ChipRecord& chip = ChipTable[row];
    const ClockWizard& wizard = *chip.fuseNames->wizard;
    FuseBytes fuses{*o.fuseLow, *o.fuseHigh, *o.fuseExtended};
    WizardLists lists;

    if (o.clockPosition) {
        // The window's lists: shown for the chip, then the user's choices in them.
        ShowWizardForChip(wizard, fuses.low, lists);
        const unsigned clock = *o.clockPosition;
        if (clock >= lists.clock.entries.size()) {
            err << "velkorisp-cli: " << chip.name << "'s clock list has no position " << clock
                << " (it has " << lists.clock.entries.size() << ")\n";
            return kExitUsage;
        }
        ApplyClockOption(wizard, static_cast<int>(clock), lists, fuses.low);
        if (o.startupPosition) {
            const unsigned startup = *o.startupPosition;
            if (startup >= lists.startup.entries.size()) {
                err << "velkorisp-cli: the start-up list of " << chip.name << "'s clock source "
                    << clock << " has no position " << startup << " (it has "
                    << lists.startup.entries.size() << ")\n";
                return kExitUsage;
            }
            ApplyStartupOption(wizard, static_cast<int>(startup), lists, fuses.low);
        }
        char low[3];
        std::snprintf(low, sizeof low, "%02X", fuses.low);
        out << "low\t" << low << "\n";
    }

    // What the window shows for these bytes: its boxes, and its lists as a refresh of the chip
    // view derives them.
    const FuseBoxes boxes = RefreshFuseBoxes(fuses, chip);
    for (int n = 0; n < kFuseBoxCount; ++n) {
        const FuseBoxState& box = boxes[static_cast<std::size_t>(n)];
        if (!box.visible) continue;
        const std::size_t byte = static_cast<std::size_t>(n / 8);
        const int bit = n % 8;
        out << "box\t" << box.controlId << "\t"
            << FuseBitName(*chip.fuseNames, byte, static_cast<std::size_t>(bit)) << "\t"
            << (fuses[byte] >> bit & 1) << "\t" << (box.checked ? "checked" : "unchecked") << "\t"
            << (box.enabled ? "changeable" : "fixed") << "\n";
    }
    WizardLists shown;
    const std::string message = ShowWizardForChip(wizard, fuses.low, shown);
    auto list = [&](const char* kind, const WizardList& l) {
        out << kind << "\t";
        if (l.selection == kNoSelection) {
            out << "-\n";
        } else {
            out << l.selection << "\t" << l.entries[static_cast<std::size_t>(l.selection)] << "\n";
        }
    };
    list("clock", shown.clock);
    list("startup", shown.startup);
    if (!message.empty()) out << "message\t" << WithoutLineEnds(message) << "\n";
    return 0;
}

}  // namespace velkor::cli
