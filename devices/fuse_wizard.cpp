#include "devices/fuse_wizard.h"

#include <cstddef>

#include "devices/clock_wizard.h"

namespace velkor {

namespace {

bool HasText(const char* description) {
    return description != nullptr && *description != '\0';
}

// How many leading entries of a table a list shows: up to the first empty description, and
// never more than the list can hold.
template <typename Option>
std::size_t ListedCount(const Option* options) {
    std::size_t count = 0;
    while (count < kMaxWizardListEntries && HasText(options[count].description)) ++count;
    return count;
}

template <typename Option>
void FillList(const Option* options, WizardList& list) {
    list.entries.clear();
    list.selection = kNoSelection;
    const std::size_t count = ListedCount(options);
    for (std::size_t i = 0; i < count; ++i) list.entries.emplace_back(options[i].description);
    list.visible = count > 0;
}

// The clock source at a list position, or null when the position shows nothing.
const ClockOption* ClockAt(const ClockWizard& wizard, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= ListedCount(wizard.options)) {
        return nullptr;
    }
    return &wizard.options[position];
}

// The first start-up entry whose bits equal the low byte's bits under the group's mask. Only
// listed entries count: a position the list cannot show cannot be selected either.
int FindStartup(const StartupGroup& group, std::uint8_t fuseLow) {
    const std::size_t count = ListedCount(group.options);
    for (std::size_t i = 0; i < count; ++i) {
        if (group.options[i].value == (fuseLow & group.mask)) return static_cast<int>(i);
    }
    return kNoSelection;
}

// Shows the group of the selected source with the entry matching the low byte selected.
std::string SelectStartupFor(const ClockWizard& wizard, std::uint8_t fuseLow, WizardLists& lists) {
    const ClockOption* option = ClockAt(wizard, lists.clock.selection);
    FillStartupList(wizard, lists.clock, lists.startup);
    if (option == nullptr) return {};
    lists.startup.selection = FindStartup(*option->startup, fuseLow);
    return lists.startup.selection == kNoSelection ? kInvalidStartupMessage : "";
}

}  // namespace

void FillClockList(const ClockWizard& wizard, WizardList& clockList) {
    FillList(wizard.options, clockList);
}

void FillStartupList(const ClockWizard& wizard, const WizardList& clockList,
                     WizardList& startupList) {
    const ClockOption* option = ClockAt(wizard, clockList.selection);
    if (option == nullptr) {
        startupList.entries.clear();
        startupList.selection = kNoSelection;
        startupList.visible = false;
        return;
    }
    FillList(option->startup->options, startupList);
}

std::string ApplyClockOption(const ClockWizard& wizard, int position, WizardLists& lists,
                             std::uint8_t& fuseLow) {
    const ClockOption* option = ClockAt(wizard, position);
    if (option == nullptr) return {};
    lists.clock.selection = position;
    // Where the clock mask and the start-up mask overlap (CKSEL0 of the crystal sources) the
    // bit belongs to the start-up choice, so the source must leave it alone.
    const std::uint32_t sourceBits = wizard.clockMask & ~option->startup->mask;
    fuseLow = static_cast<std::uint8_t>((fuseLow & ~sourceBits) | option->value);
    return SelectStartupFor(wizard, fuseLow, lists);
}

void ApplyStartupOption(const ClockWizard& wizard, int position, WizardLists& lists,
                        std::uint8_t& fuseLow) {
    const ClockOption* option = ClockAt(wizard, lists.clock.selection);
    if (option == nullptr) return;
    const StartupGroup& group = *option->startup;
    if (position < 0 || static_cast<std::size_t>(position) >= ListedCount(group.options)) return;
    lists.startup.selection = position;
    fuseLow = static_cast<std::uint8_t>((fuseLow & ~group.mask) | group.options[position].value);
}

std::string SyncWizardFromFuses(const ClockWizard& wizard, std::uint8_t fuseLow,
                                WizardLists& lists) {
    const std::uint32_t clockBits = fuseLow & wizard.clockMask;
    const std::size_t count = ListedCount(wizard.options);
    for (std::size_t i = 0; i < count; ++i) {
        const ClockOption& option = wizard.options[i];
        // The start-up group's share of the clock mask is ignored: it does not tell sources
        // apart. The first match wins, so of two sources with equal bits only the earlier one
        // is ever selected.
        const std::uint32_t startupShare = wizard.clockMask & option.startup->mask;
        if ((clockBits & ~startupShare) == option.value) {
            lists.clock.selection = static_cast<int>(i);
            return SelectStartupFor(wizard, fuseLow, lists);
        }
    }
    return kInvalidClockMessage;
}

std::string ShowWizardForChip(const ClockWizard& wizard, std::uint8_t fuseLow, WizardLists& lists) {
    FillClockList(wizard, lists.clock);
    lists.startup.entries.clear();
    lists.startup.selection = kNoSelection;
    return SyncWizardFromFuses(wizard, fuseLow, lists);
}

void HideWizard(WizardLists& lists) {
    lists.clock.visible = false;
    lists.startup.visible = false;
}

}  // namespace velkor
