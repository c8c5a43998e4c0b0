// The fuse wizard's constant tables: for each wizard the clock sources a chip offers and, for
// each source, the group of start-up times that goes with it. All values are bit patterns of
// the low fuse byte (a 0 bit is programmed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace velkor {

struct StartupOption {
    std::uint32_t value;            // the start-up bits this entry sets inside the group's mask
    const char* description;        // null ends the group's list
    const char* english = nullptr;  // the same in English; null where only Chinese exists
};

struct StartupGroup {
    std::uint32_t mask;  // the low-fuse bits chosen by the start-up list
    const StartupOption* options;
    const char* name;  // "S1" .. "S8", for listings
};

struct ClockOption {
    std::uint32_t value;      // the bits this source sets inside the wizard's clock mask
    const char* description;  // null ends the wizard's list
    const StartupGroup* startup;
    const char* english = nullptr;  // the same in English; null where only Chinese exists
};

// Where the clock mask and a group's start-up mask overlap (CKSEL0 of the crystal sources),
// the bit belongs to the start-up choice.
struct ClockWizard {
    std::uint32_t clockMask;
    const ClockOption* options;
    const char* name;  // "mega8", "tiny13", ... "none", for listings
};

// The lists never show more than this many entries of a table.
constexpr std::size_t kMaxWizardListEntries = 20;

extern const StartupGroup StartupGroupS1;
extern const StartupGroup StartupGroupS2;
extern const StartupGroup StartupGroupS3;
extern const StartupGroup StartupGroupS4;
extern const StartupGroup StartupGroupS5;
extern const StartupGroup StartupGroupS6;
extern const StartupGroup StartupGroupS7;
extern const StartupGroup StartupGroupS8;
extern const StartupGroup StartupGroupS9;

extern const ClockWizard ClockWizardMega8;
extern const ClockWizard ClockWizardMega48;
extern const ClockWizard ClockWizardTiny13;
extern const ClockWizard ClockWizardTiny2313;
extern const ClockWizard ClockWizardTiny26;
extern const ClockWizard ClockWizardMega165;
extern const ClockWizard ClockWizardMega162;
extern const ClockWizard ClockWizardTiny15;
extern const ClockWizard ClockWizardTiny25;
extern const ClockWizard ClockWizardTiny24;
extern const ClockWizard ClockWizardTiny261;
extern const ClockWizard ClockWizardMega32U4;
extern const ClockWizard ClockWizardNone;  // chips without a clock choice: no options at all

// Entries before the terminating null description.
std::size_t ClockOptionCount(const ClockWizard& wizard);
std::size_t StartupOptionCount(const StartupGroup& group);

// Every wizard and every start-up group, in the order declared above.
std::span<const ClockWizard* const> AllClockWizards();
std::span<const StartupGroup* const> AllStartupGroups();

// The wizard with this name, or null.
const ClockWizard* FindClockWizard(std::string_view name);

}  // namespace velkor
