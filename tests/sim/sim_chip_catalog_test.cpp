#include "hosting/sim_chip_catalog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "devices/chip_table.h"
#include "devices/fuse_bit_names.h"
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

// The panel's factory values (under the row's mask), the bits a row lets the user change and
// the number of calibration bytes read, held against what the part's own sheet says. The
// 89S5x rows carry none of these. Differences that are known and kept are listed with why;
// any other, or a listed one that has gone, fails.
TEST(SimChipCatalog, FactoryFusesMasksAndCalibrationCountsMatchThePartSheets) {
    const std::set<std::string> kKnown = {
        // The program reads the calibration byte the part loads at reset; the second one
        // (the 4.8 MHz and 4 MHz settings) is not offered.
        "tiny13 calibration",
        "tiny2313 calibration",
        // Rows among the first 43 keep the defaults users have always been offered: tiny15 with
        // BODLEVEL programmed (BODEN is off, so the level does nothing), tiny2313 on the 4 MHz
        // RC oscillator (62; the part ships on the 8 MHz one, 64), mega64/128 with JTAGEN
        // unprogrammed (D9; the parts ship with it programmed, 99).
        "tiny15 low",
        "tiny2313 low",
        "mega64 high",
        "mega128 high",
        // The row reads four calibration bytes, as the mega128 row does; the part has one, so
        // the other three read FF.
        "90CAN128 calibration",
        // SPIEN is in the mask; the part ignores it in serial mode, and the fuse safety check
        // refuses to unprogram it.
        "tiny12 low mask",
    };
    std::set<std::string> found;
    const char* const byteNames[3] = {"low", "high", "extended"};
    for (unsigned row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& r = ChipTable[row];
        const sim::AvrPartSheet* sheet = sim::FindAvrPartSheet(r.name);
        ASSERT_NE(sheet, nullptr) << r.name;
        // Rows without fuse names show no boxes, so the panel has no factory values for them.
        const bool panel = r.fuseNames != &FuseNamesNone;
        for (int k = 0; k < 3; ++k) {
            const std::string field = std::string(r.name) + " " + byteNames[k];
            const auto writable =
                static_cast<std::uint8_t>(sheet->fuseBits[k] & ~sheet->spienBit[k]);
            if (r.fuseMask[k] != writable) found.insert(field + " mask");
            if (!panel) {
                EXPECT_EQ(r.fuseDefault[k], 0) << field;
            } else if (((r.fuseDefault[k] ^ sheet->fuseDefault[k]) & r.fuseMask[k]) != 0) {
                found.insert(field);
            }
        }
        if (r.calibrationCount != sheet->calibrationBytes) {
            found.insert(std::string(r.name) + " calibration");
        }
    }
    for (const std::string& f : found) EXPECT_EQ(kKnown.count(f), 1u) << "differs: " << f;
    for (const std::string& k : kKnown) EXPECT_EQ(found.count(k), 1u) << "no longer differs: " << k;
}

}  // namespace
}  // namespace velkor
