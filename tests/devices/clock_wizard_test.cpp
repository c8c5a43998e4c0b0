#include "devices/clock_wizard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devices/chip_table.h"
#include "devices/fuse_bit_names.h"

namespace velkor {
namespace {

bool IsClockOrStartupBit(const char* name) {
    return name != nullptr &&
           (std::strncmp(name, "CKSEL", 5) == 0 || std::strncmp(name, "SUT", 3) == 0 ||
            std::strcmp(name, "PLLCK") == 0);
}

TEST(ClockWizard, OptionValuesStayInsideTheirMasksAndListsFit) {
    for (const ClockWizard* wizard : AllClockWizards()) {
        SCOPED_TRACE(wizard->name);
        EXPECT_LE(ClockOptionCount(*wizard), kMaxWizardListEntries);
        for (std::size_t i = 0; i < ClockOptionCount(*wizard); ++i) {
            const ClockOption& option = wizard->options[i];
            EXPECT_EQ(option.value & ~wizard->clockMask, 0u) << i;
            ASSERT_NE(option.startup, nullptr) << i;
            EXPECT_GT(std::strlen(option.description), 0u) << i;
        }
    }
    for (const StartupGroup* group : AllStartupGroups()) {
        SCOPED_TRACE(group->name);
        EXPECT_LE(StartupOptionCount(*group), kMaxWizardListEntries);
        for (std::size_t i = 0; i < StartupOptionCount(*group); ++i) {
            EXPECT_EQ(group->options[i].value & ~group->mask, 0u) << i;
        }
    }
}

// Every bit a chip's wizard may rewrite must be a clock or start-up fuse of that chip and one
// the chip lets the user change; a set linked to the wrong wizard breaks this.
TEST(ClockWizard, WritesOnlyTheChipsWritableClockAndStartupBits) {
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& chip = ChipTable[row];
        const ClockWizard& wizard = *chip.fuseNames->wizard;
        std::uint32_t touched = wizard.clockMask;
        for (std::size_t i = 0; i < ClockOptionCount(wizard); ++i) {
            touched |= wizard.options[i].startup->mask;
        }
        EXPECT_EQ(touched & ~chip.fuseMask[0], 0u) << chip.name;
        for (int bit = 0; bit < 8; ++bit) {
            if (touched >> bit & 1) {
                EXPECT_TRUE(IsClockOrStartupBit(FuseBitName(*chip.fuseNames, 0, bit)))
                    << chip.name << " bit " << bit;
            }
        }
    }
}

TEST(ClockWizard, ChipsWithoutAClockChoiceHaveAnEmptyWizard) {
    EXPECT_EQ(ClockOptionCount(ClockWizardNone), 0u);
    for (const char* name : {"tiny12", "90S2313", "90CAN128", "mega163"}) {
        EXPECT_EQ(ChipTable[FindChipByName(0, name)].fuseNames->wizard, &ClockWizardNone) << name;
    }
    ASSERT_EQ(ClockOptionCount(ClockWizardTiny15), 1u);
    EXPECT_STREQ(ClockWizardTiny15.options[0].description, "内部RC振荡1.6MHz");
    EXPECT_EQ(StartupOptionCount(*ClockWizardTiny15.options[0].startup), 4u);
}

TEST(ClockWizard, DefaultLowFusesSelectAClockAndAStartupEntry) {
    struct Case {
        const char* chip;
        const char* clock;
        const char* startup;
    };
    for (const Case& c :
         {Case{"mega8", "内部RC振荡1MHZ", "电源缓慢上升"},
          Case{"mega48", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"tiny13", "内部可调RC振荡9.6MHZ", "电源缓慢上升"},
          Case{"mega328P", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"mega1284P", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"mega2560", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"tiny85", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"tiny84/84A", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"tiny861/861A", "内部可调RC振荡8MHZ", "电源缓慢上升"},
          Case{"tiny4313", "内部RC振荡8MHZ", "电源缓慢上升"},
          Case{"mega32U4", "低功耗晶振8.0-16.0MHZ", "陶瓷谐振器，电源缓慢上升"},
          Case{"90USB1286/1287", "低功耗晶振8.0-16.0MHZ", "陶瓷谐振器，电源缓慢上升"},
          Case{"90USB162", "低功耗晶振8.0-16.0MHZ", "陶瓷谐振器，电源缓慢上升"}}) {
        const ChipRecord& chip = ChipTable[FindChipByName(0, c.chip)];
        const ClockWizard& wizard = *chip.fuseNames->wizard;
        const std::uint32_t low = chip.fuseDefault[0];
        const ClockOption* clock = nullptr;
        for (std::size_t i = 0; i < ClockOptionCount(wizard) && clock == nullptr; ++i) {
            const std::uint32_t own = wizard.clockMask & ~wizard.options[i].startup->mask;
            if ((low & own) == wizard.options[i].value) clock = &wizard.options[i];
        }
        ASSERT_NE(clock, nullptr) << c.chip;
        EXPECT_STREQ(clock->description, c.clock);
        const StartupGroup& group = *clock->startup;
        const char* startup = nullptr;
        for (std::size_t i = 0; i < StartupOptionCount(group) && startup == nullptr; ++i) {
            if ((low & group.mask) == group.options[i].value)
                startup = group.options[i].description;
        }
        EXPECT_STREQ(startup, c.startup) << c.chip;
    }
}

// The wizards of the parts added after the first 43 are offered in English too: every source
// and start-up entry they lead to has its English text.
TEST(ClockWizard, AddedPartsWizardsHaveEnglishTexts) {
    for (std::uint32_t row = 43; row < kLockedChipRow; ++row) {
        const ClockWizard& wizard = *ChipTable[row].fuseNames->wizard;
        for (std::size_t i = 0; i < ClockOptionCount(wizard); ++i) {
            const ClockOption& option = wizard.options[i];
            EXPECT_NE(option.english, nullptr) << wizard.name << " " << option.description;
            for (std::size_t j = 0; j < StartupOptionCount(*option.startup); ++j) {
                EXPECT_NE(option.startup->options[j].english, nullptr)
                    << option.startup->name << " " << j;
            }
        }
    }
    EXPECT_STREQ(ClockWizardTiny25.options[1].english, "High-frequency PLL clock, 16 MHz");
}

TEST(ClockWizard, ShownTextsKeepTheirTabsAndTrailingBlanks) {
    EXPECT_EQ(std::string(ClockWizardMega8.options[9].description), "外部RC振荡≤0.9MHZ\t");
    EXPECT_EQ(std::string(ClockWizardTiny26.options[11].description), "\t外部RC振荡0.9-3.0MHZ");
    EXPECT_EQ(std::string(ClockWizardMega48.options[4].description),
              "满振幅晶振\t振荡器(0.4-25MHZ)");
    EXPECT_EQ(std::string(StartupGroupS7.options[3].description), "电源缓慢上升 16k CK ");
    EXPECT_EQ(FindClockWizard("mega165"), &ClockWizardMega165);
    EXPECT_EQ(FindClockWizard("S1"), nullptr);
}

}  // namespace
}  // namespace velkor
