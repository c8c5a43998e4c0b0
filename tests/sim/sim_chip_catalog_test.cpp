#include "hosting/sim_chip_catalog.h"

#include <gtest/gtest.h>

#include "devices/chip_table.h"
#include "sim/avr_part_sheets.h"
#include "tests/sim/pin_driver.h"

namespace velkor {
namespace {

using sim::Level;
using sim::test::PinDriver;

// Every listed AVR part comes up on the bench, answers Programming Enable and gives its
// table row's signature, and its fuse reads match its fuse kind.
TEST(SimChipCatalog, EveryAvrRowAnswersItsSignatureAndFuseReads) {
    for (unsigned row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& r = ChipTable[row];
        SCOPED_TRACE(r.name);
        auto chip = MakeSimAvrChip(row);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->Flash().size(), r.flashSize);
        EXPECT_EQ(chip->Eeprom().size(), r.eepromSize);
        EXPECT_EQ(chip->Traits().flashBusyValue, r.pollValue);
        PinDriver pins(*chip, Level::kLow);
        pins.EnterReset();
        ASSERT_TRUE(pins.AvrEnable());
        for (std::uint8_t i = 0; i < 3; ++i) {
            EXPECT_EQ(pins.Instr(0x30, 0x00, i), r.signature[i]) << "byte " << +i;
        }
        for (std::uint8_t i = 0; i < r.calibrationCount; ++i) {
            EXPECT_EQ(pins.Instr(0x38, 0x00, i), chip->Traits().calibration[i]);
        }
        const std::uint8_t low = pins.Instr(0x50, 0x00, 0x00);
        const std::uint8_t high = pins.Instr(0x58, 0x08, 0x00);
        const std::uint8_t ext = pins.Instr(0x50, 0x08, 0x00);
        if (r.fuseKind >= 2) {
            EXPECT_EQ(low, chip->FuseLow());
        } else {
            EXPECT_EQ(low, 0xFF);
        }
        EXPECT_EQ(high, r.fuseKind >= 5 ? chip->FuseHigh() : 0xFF);
        EXPECT_EQ(ext, r.fuseKind >= 6 ? chip->FuseExtended() : 0xFF);
    }
    EXPECT_EQ(MakeSimAvrChip(kLockedChipRow), nullptr);
    EXPECT_EQ(MakeSimAvrChip(kNoChipRow), nullptr);
}

TEST(SimChipCatalog, EveryAt89RowComesUpInItsInstructionFormat) {
    for (unsigned row = 0; row + 1 < kAt89ChipTableRows; ++row) {
        const At89ChipRecord& r = At89ChipTable[row];
        SCOPED_TRACE(r.name);
        auto chip = MakeSimAt89Chip(row);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->Flash().size(), r.flashSize);
        EXPECT_EQ(chip->Traits().threeByteFormat, r.commandFormat == 3);
        PinDriver pins(*chip, Level::kHigh);
        pins.EnterReset();
        if (r.commandFormat == 4) {
            EXPECT_EQ(pins.Instr(0xAC, 0x53, 0x00), 0x69);
            for (std::uint8_t i = 0; i < 3; ++i) {
                EXPECT_EQ(pins.Instr(0x28, i, 0x00), r.signature[i]);
            }
        } else {
            pins.Frame({0xAC, 0x53, 0x00});
            EXPECT_TRUE(chip->ProgrammingEnabled());
        }
    }
    EXPECT_EQ(MakeSimAt89Chip(kAt89ChipTableRows - 1), nullptr);
}

// EEPROM polling as each generation shows it: the AT90S parts read P1 during the cell's
// auto-erase and P2 during the write, later parts read 0xFF throughout.
TEST(SimChipCatalog, EepromPollingValuesFollowThePartsGeneration) {
    struct Case {
        const char* name;
        std::uint8_t p1, p2;
    };
    const Case cases[] = {{"90S8515", 0x80, 0x7F}, {"90S2313", 0x80, 0x7F}, {"90S8535", 0x00, 0xFF},
                          {"90S4433", 0x00, 0xFF}, {"mega8", 0xFF, 0xFF},   {"tiny13", 0xFF, 0xFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int row = FindChipByName(0, c.name);
        ASSERT_GE(row, 0);
        auto chip = MakeSimAvrChip(static_cast<unsigned>(row));
        PinDriver pins(*chip, Level::kLow);
        pins.EnterReset();
        ASSERT_TRUE(pins.AvrEnable());
        pins.Instr(0xC0, 0x00, 0x05, 0x3C);
        EXPECT_EQ(pins.Instr(0xA0, 0x00, 0x05), c.p1);
        pins.Wait(chip->Traits().eepromWriteNs / 2);
        EXPECT_EQ(pins.Instr(0xA0, 0x00, 0x05), c.p2);
        pins.Wait(chip->Traits().eepromWriteNs);
        EXPECT_EQ(pins.Instr(0xA0, 0x00, 0x05), 0x3C);
    }
}

// Where the programmer waits instead of polling (the poll value itself, 90S1200, every page
// write, the chip erase), the part's longest write time from its data sheet must fit into the
// wait the row gives, or the next instruction reaches a part that is still busy.
TEST(SimChipCatalog, WritesFinishWithinTheTablesWaits) {
    for (unsigned row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& r = ChipTable[row];
        SCOPED_TRACE(r.name);
        const sim::AvrPartSheet* sheet = sim::FindAvrPartSheet(r.name);
        ASSERT_NE(sheet, nullptr);
        EXPECT_LE(sheet->flashWriteUs, r.flashWaitMs * 1000u);
        EXPECT_LE(sheet->eepromWriteUs, r.eepromWaitMs * 1000u);
        EXPECT_LE(sheet->eraseUs, 40'000u);  // the erase wait is the same for every part
    }
}

}  // namespace
}  // namespace velkor
