#include "devices/fuse_wizard.h"

#include <gtest/gtest.h>

#include <string>

#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"

namespace velkor {
namespace {

const ClockWizard& WizardOf(const char* chip) {
    const int row = FindChipByName(0, chip);
    EXPECT_GE(row, 0) << chip;
    return *ChipTable[row].fuseNames->wizard;
}

std::string Selected(const WizardList& list) {
    if (list.selection == kNoSelection) return "<none>";
    return list.entries.at(list.selection);
}

TEST(FuseWizard, SyncSelectsTheSourceAndStartupOfTheLowByte) {
    struct Case {
        const char* chip;
        std::uint8_t low;
        const char* clock;
        const char* startup;
    };
    const Case cases[] = {
        {"mega8", 0xE1, "内部RC振荡1MHZ", "电源缓慢上升"},
        {"mega48", 0x62, "内部可调RC振荡8MHZ", "电源缓慢上升"},
        {"tiny13", 0x6A, "内部可调RC振荡9.6MHZ", "电源缓慢上升"},
        // Two sources share CKSEL 1111; the earlier one is the one ever selected.
        {"mega48", 0xFF, "低功耗晶振8.0-16.0MHZ", "石英振荡器，电源慢速上升"},
        // The crystal groups own CKSEL0, so it must not stop the source from matching.
        {"mega8", 0xEF, "石英/陶瓷振荡器(3.0-8.0MHZ)", "石英振荡器，电源快速上升"},
        {"tiny26", 0x51, "PLL时钟", "电源快速上升"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        WizardLists lists;
        EXPECT_EQ(ShowWizardForChip(WizardOf(c.chip), c.low, lists), "");
        EXPECT_EQ(Selected(lists.clock), c.clock);
        EXPECT_EQ(Selected(lists.startup), c.startup);
        EXPECT_TRUE(lists.clock.visible);
        EXPECT_TRUE(lists.startup.visible);
    }
}

TEST(FuseWizard, ReservedStartupBitsSelectTheSourceOnlyAndReportIt) {
    WizardLists lists;
    EXPECT_EQ(ShowWizardForChip(WizardOf("mega8"), 0xF1, lists), "无效的启动时间设置!\r\n");
    EXPECT_EQ(Selected(lists.clock), "内部RC振荡1MHZ");
    EXPECT_EQ(lists.startup.selection, kNoSelection);
    EXPECT_EQ(lists.startup.entries.size(), 3u);  // group S5 is still offered
}

TEST(FuseWizard, UnknownClockBitsKeepTheSelectionsAndReportWithoutLineBreak) {
    WizardLists lists;
    ASSERT_EQ(ShowWizardForChip(WizardOf("mega8"), 0xE1, lists), "");
    const WizardLists before = lists;
    // tiny2313 has no source with CKSEL 0001.
    EXPECT_EQ(SyncWizardFromFuses(WizardOf("tiny2313"), 0xE1, lists), "无效的时钟设置!");
    EXPECT_EQ(lists, before);
}

TEST(FuseWizard, ChipWithoutWizardEmptiesAndHidesTheClockListOnly) {
    WizardLists lists;
    ShowWizardForChip(WizardOf("mega8"), 0xE1, lists);
    EXPECT_EQ(ShowWizardForChip(WizardOf("90S2313"), 0xE1, lists), "无效的时钟设置!");
    EXPECT_TRUE(lists.clock.entries.empty());
    EXPECT_FALSE(lists.clock.visible);
    EXPECT_TRUE(lists.startup.entries.empty());
    EXPECT_TRUE(lists.startup.visible);
}

TEST(FuseWizard, ChoosingACrystalKeepsItsStartupBitAndSelectsTheMatchingEntry) {
    const ClockWizard& mega8 = WizardOf("mega8");
    WizardLists lists;
    std::uint8_t low = 0xE1;
    ShowWizardForChip(mega8, low, lists);
    EXPECT_EQ(ApplyClockOption(mega8, 6, lists, low), "");
    EXPECT_EQ(low, 0xEF);
    EXPECT_EQ(Selected(lists.startup), "石英振荡器，电源快速上升");
    EXPECT_EQ(lists.startup.entries.size(), 8u);
}

TEST(FuseWizard, ChoosingASourceWhoseGroupLacksTheBitsReportsIt) {
    // S2 has no entry for start-up bits 11.
    const ClockWizard& mega8 = WizardOf("mega8");
    WizardLists lists;
    std::uint8_t low = 0xF1;
    ShowWizardForChip(mega8, low, lists);
    EXPECT_EQ(ApplyClockOption(mega8, 7, lists, low), "无效的启动时间设置!\r\n");
    EXPECT_EQ(low, 0xF9);
    EXPECT_EQ(lists.startup.selection, kNoSelection);
}

TEST(FuseWizard, LowFrequencyCrystalWithLongStartupSurvivesASync) {
    const ClockWizard& mega48 = WizardOf("mega48");
    WizardLists lists;
    std::uint8_t low = 0x62;
    ShowWizardForChip(mega48, low, lists);
    ApplyClockOption(mega48, 7, lists, low);
    ApplyStartupOption(mega48, 3, lists, low);
    EXPECT_EQ(low & 0x0F, 0x05);
    EXPECT_EQ(low & 0xC0, 0x40);  // CKOUT and CKDIV8 untouched
    WizardLists fresh;
    EXPECT_EQ(ShowWizardForChip(mega48, low, fresh), "");
    EXPECT_EQ(Selected(fresh.clock), "低频晶振(32.768KHZ)");
    EXPECT_EQ(Selected(fresh.startup), "BOD 使能 32k CK");
}

TEST(FuseWizard, Tiny15OffersOneSourceAndEveryStartupPatternMatches) {
    const ClockWizard& tiny15 = WizardOf("tiny15");
    for (std::uint8_t bits = 0; bits < 4; ++bits) {
        WizardLists lists;
        EXPECT_EQ(ShowWizardForChip(tiny15, 0x5C | bits, lists), "");
        EXPECT_EQ(lists.clock.entries, std::vector<std::string>{"内部RC振荡1.6MHz"});
        EXPECT_EQ(lists.startup.selection, bits);
    }
}

// Every choice of every wizard: a source changes only clock-mask bits, a start-up entry only
// its group's bits, and synchronising afterwards selects the same pair again (for sources with
// equal bits, the first of them). A wrong mask in the tables or the arithmetic breaks one of
// these for some chip.
TEST(FuseWizard, EveryChoiceStaysInItsMaskAndSurvivesASync) {
    for (const ClockWizard* wizard : AllClockWizards()) {
        SCOPED_TRACE(wizard->name);
        for (std::size_t i = 0; i < ClockOptionCount(*wizard); ++i) {
            const StartupGroup& group = *wizard->options[i].startup;
            for (std::size_t j = 0; j < StartupOptionCount(group); ++j) {
                for (const std::uint8_t start : {0x00, 0xFF, 0x5A, 0xA5}) {
                    SCOPED_TRACE(testing::Message() << i << "/" << j << " from " << +start);
                    WizardLists lists;
                    std::uint8_t low = start;
                    ShowWizardForChip(*wizard, low, lists);
                    ApplyClockOption(*wizard, static_cast<int>(i), lists, low);
                    EXPECT_EQ((low ^ start) & ~wizard->clockMask, 0u);
                    const std::uint8_t afterClock = low;
                    ApplyStartupOption(*wizard, static_cast<int>(j), lists, low);
                    EXPECT_EQ((low ^ afterClock) & ~group.mask, 0u);

                    WizardLists fresh;
                    EXPECT_EQ(SyncWizardFromFuses(*wizard, low, fresh), "");
                    ASSERT_NE(fresh.clock.selection, kNoSelection);
                    EXPECT_EQ(wizard->options[fresh.clock.selection].value,
                              wizard->options[i].value);
                    EXPECT_EQ(fresh.startup.selection, static_cast<int>(j));
                }
            }
        }
    }
}

TEST(FuseWizard, ChoicesOutsideTheListsChangeNothing) {
    const ClockWizard& mega8 = WizardOf("mega8");
    WizardLists lists;
    std::uint8_t low = 0xE1;
    ShowWizardForChip(mega8, low, lists);
    const WizardLists before = lists;
    EXPECT_EQ(ApplyClockOption(mega8, 13, lists, low), "");
    ApplyClockOption(mega8, kNoSelection, lists, low);
    ApplyStartupOption(mega8, 3, lists, low);  // S5 has three entries
    EXPECT_EQ(low, 0xE1);
    EXPECT_EQ(lists, before);

    lists.clock.selection = kNoSelection;  // no source chosen: no group to take entries from
    ApplyStartupOption(mega8, 0, lists, low);
    EXPECT_EQ(low, 0xE1);
    FillStartupList(mega8, lists.clock, lists.startup);
    EXPECT_TRUE(lists.startup.entries.empty());
    EXPECT_FALSE(lists.startup.visible);
}

// Tables built here to reach the list limits, which no chip's table does.
constexpr StartupOption kOneStartup[] = {{0x00, "s"}, {0x00, nullptr}};
constexpr StartupGroup kGroup{0x00, kOneStartup, "test"};

TEST(FuseWizard, ListsStopAtTwentyEntriesAndAtTheFirstEmptyDescription) {
    ClockOption many[23];
    for (std::uint32_t i = 0; i < 22; ++i) many[i] = {i + 1, "x", &kGroup};
    many[22] = {0, nullptr, nullptr};
    const ClockWizard big{0x1F, many, "big"};
    WizardList list;
    FillClockList(big, list);
    EXPECT_EQ(list.entries.size(), 20u);
    // Value 21 sits beyond what the list can show, so it cannot be selected.
    WizardLists lists;
    EXPECT_EQ(ShowWizardForChip(big, 21, lists), "无效的时钟设置!");

    const ClockOption gap[] = {
        {1, "a", &kGroup}, {2, "", &kGroup}, {3, "c", &kGroup}, {0, nullptr}};
    const ClockWizard gapped{0x03, gap, "gap"};
    FillClockList(gapped, list);
    EXPECT_EQ(list.entries, std::vector<std::string>{"a"});
    EXPECT_EQ(ShowWizardForChip(gapped, 3, lists), "无效的时钟设置!");
}

}  // namespace
}  // namespace velkor
