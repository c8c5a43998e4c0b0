#include "devices/fuse_panel.h"

#include <gtest/gtest.h>

#include "devices/chip_table.h"
#include "devices/fuse_bit_names.h"
#include "devices/fuse_wizard.h"

namespace velkor {
namespace {

const ChipRecord& Chip(const char* name) {
    const int row = FindChipByName(0, name);
    EXPECT_GE(row, 0) << name;
    return ChipTable[row];
}

const FuseBoxState& Box(const FuseBoxes& boxes, int id) {
    return boxes.at(id - kFirstFuseBoxId);
}

TEST(FusePanel, BoxesShowBitNamesValuesAndTheMask) {
    const FuseBoxes boxes = RefreshFuseBoxes({0xE1, 0xD9, 0x00}, Chip("mega8"));
    const char* low[8] = {"CKSEL0=1", "CKSEL1=0", "CKSEL2=0", "CKSEL3=0",
                          "SUT0=0",   "SUT1=1",   "BODEN=1",  "BODLEVEL=1"};
    for (int i = 0; i < 8; ++i) {
        const FuseBoxState& box = Box(boxes, 1100 + i);
        EXPECT_EQ(box.controlId, 1100 + i);
        EXPECT_EQ(box.caption, low[i]);
        EXPECT_TRUE(box.visible);
        EXPECT_TRUE(box.enabled);
        EXPECT_EQ(box.checked, i >= 1 && i <= 4) << i;
    }
    const FuseBoxState& spien = Box(boxes, 1113);
    EXPECT_EQ(spien.caption, "SPIEN=0");
    EXPECT_TRUE(spien.checked);
    EXPECT_FALSE(spien.enabled);
    for (int id = 1116; id <= 1123; ++id) EXPECT_FALSE(Box(boxes, id).visible) << id;
    EXPECT_EQ(Box(boxes, 1116).caption, "EF0");
}

TEST(FusePanel, UnnamedBitInsideTheMaskIsHiddenButKeptInTheByte) {
    FuseBytes fuses{0x62, 0x99, 0xFE};
    const FuseBoxes boxes = RefreshFuseBoxes(fuses, Chip("mega169"));
    EXPECT_FALSE(Box(boxes, 1116).visible);
    EXPECT_TRUE(Box(boxes, 1116).enabled);
    EXPECT_EQ(Box(boxes, 1117).caption, "BODLEVEL0=1");
    WizardLists wizard;
    EXPECT_FALSE(ToggleFuseBit(1116, fuses, Chip("mega169"), wizard).changed);
    EXPECT_EQ(fuses.extended, 0xFE);
}

TEST(FusePanel, ChipWithoutFuseNamesShowsNoBoxAndKeepsTheBytes) {
    FuseBytes fuses{0x12, 0x34, 0x56};
    for (const char* name : {"90S2313", "mega163", "90CAN128"}) {
        const FuseBoxes boxes = RefreshFuseBoxes(fuses, Chip(name));
        for (const FuseBoxState& box : boxes) EXPECT_FALSE(box.visible) << name;
    }
    EXPECT_EQ(fuses, (FuseBytes{0x12, 0x34, 0x56}));
}

TEST(FusePanel, LowBitClickFlipsTheBitAndResynchronisesTheWizard) {
    const ChipRecord& mega8 = Chip("mega8");
    FuseBytes fuses{0xE1, 0xD9, 0x00};
    WizardLists wizard;
    ShowWizardForChip(*mega8.fuseNames->wizard, fuses.low, wizard);

    const FuseToggle click = ToggleFuseBit(1102, fuses, mega8, wizard);
    EXPECT_TRUE(click.changed);
    EXPECT_TRUE(click.wizardSynced);
    EXPECT_EQ(fuses.low, 0xE5);
    EXPECT_EQ(click.message, "");
    EXPECT_EQ(wizard.clock.selection, 9);  // external RC up to 0.9 MHz
    EXPECT_EQ(Box(click.boxes, 1102).caption, "CKSEL2=1");
    EXPECT_FALSE(Box(click.boxes, 1102).checked);
}

TEST(FusePanel, HighAndExtendedClicksLeaveTheWizardAlone) {
    const ChipRecord& mega88 = Chip("mega88");
    FuseBytes fuses{0xE1, 0xDF, 0xF9};  // a low byte the wizard would report as invalid
    WizardLists wizard;
    wizard.clock.selection = 4;
    const WizardLists before = wizard;
    const FuseToggle high = ToggleFuseBit(1108, fuses, mega88, wizard);
    const FuseToggle extended = ToggleFuseBit(1116, fuses, mega88, wizard);
    EXPECT_TRUE(high.changed && extended.changed);
    EXPECT_FALSE(high.wizardSynced || extended.wizardSynced);
    EXPECT_EQ(high.message + extended.message, "");
    EXPECT_EQ(fuses, (FuseBytes{0xE1, 0xDE, 0xF8}));
    EXPECT_EQ(wizard, before);
}

TEST(FusePanel, ClicksOnDisabledOrForeignBoxesChangeNothing) {
    const ChipRecord& mega8 = Chip("mega8");
    FuseBytes fuses{0xE1, 0xD9, 0x00};
    WizardLists wizard;
    for (int id : {1113 /* SPIEN */, 1116 /* no extended byte */, 1099, 1124}) {
        const FuseToggle click = ToggleFuseBit(id, fuses, mega8, wizard);
        EXPECT_FALSE(click.changed) << id;
        EXPECT_EQ(click.boxes, RefreshFuseBoxes(fuses, mega8));
    }
    EXPECT_EQ(fuses, (FuseBytes{0xE1, 0xD9, 0x00}));
}

TEST(FusePanel, DefaultsAndOutOfRangeChipIndex) {
    FuseBytes fuses{1, 2, 3};
    LoadFuseDefaults(Chip("tiny13"), fuses);
    EXPECT_EQ(fuses, (FuseBytes{0x6A, 0xFF, 0x00}));
    LoadFuseDefaults(Chip("90CAN128"), fuses);
    EXPECT_EQ(fuses, (FuseBytes{0x00, 0x00, 0x00}));

    EXPECT_EQ(&FusePanelChip(7), &ChipTable[7]);
    EXPECT_EQ(&FusePanelChip(kNoChipRow), &ChipTable[kNoChipRow]);
    EXPECT_EQ(&FusePanelChip(4000000000u), &ChipTable[kNoChipRow]);
    for (const FuseBoxState& box : HiddenFuseBoxes()) EXPECT_FALSE(box.visible);
}

}  // namespace
}  // namespace velkor
