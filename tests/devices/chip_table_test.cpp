#include "devices/chip_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "devices/fuse_bit_names.h"

namespace velkor {
namespace {

constexpr std::uint32_t kListedChips = 43;

// Fuse bytes a layout code reads and writes: none, low only, low+high, or all three.
int FuseBytesOfKind(std::uint8_t kind) {
    return kind == 0 ? 0 : kind < 5 ? 1 : kind == 5 ? 2 : 3;
}

TEST(ChipTable, SignaturesIdentifyAtMostOneRowAndCodesAreUnique) {
    std::set<std::uint32_t> signatures;
    std::set<int> codes;
    for (std::uint32_t row = 0; row <= kLockedChipRow; ++row) {
        const std::uint8_t* s = ChipTable[row].signature;
        EXPECT_TRUE(signatures.insert(s[0] << 16 | s[1] << 8 | s[2]).second) << "row " << row;
    }
    for (const ChipRecord& chip : ChipTable) {
        EXPECT_TRUE(codes.insert(chip.chipCode).second) << (chip.name ? chip.name : "(end)");
    }
    // The listed chips carry exactly the codes 2..44; 0 and 1 belong to the two special rows.
    for (int code = 0; code <= 44; ++code) EXPECT_EQ(codes.count(code), 1u) << code;
}

TEST(ChipTable, LockedAndTerminatingRowsCloseTheTable) {
    const ChipRecord& locked = ChipTable[kLockedChipRow];
    EXPECT_STREQ(locked.name, "L");
    EXPECT_EQ(locked.chipCode, 1);
    EXPECT_EQ(0, std::memcmp(locked.signature, "\x00\x01\x02", 3));

    const ChipRecord& end = ChipTable[kNoChipRow];
    EXPECT_EQ(end.name, nullptr);
    EXPECT_EQ(end.chipCode, 0);
    const std::uint8_t zeros[3] = {};
    EXPECT_EQ(0, std::memcmp(end.signature, zeros, 3));
    EXPECT_EQ(end.flashSize + end.pageSize + end.eepromSize, 0u);
    EXPECT_EQ(end.fuseKind + end.calibrationCount + end.defaultLock + end.pollValue, 0);
    EXPECT_EQ(0, std::memcmp(end.fuseMask, zeros, 3));
    EXPECT_EQ(0, std::memcmp(end.fuseDefault, zeros, 3));
}

// The second signature byte encodes the flash size as a power of two kilobytes, so a wrong
// size or signature in any row shows up here.
TEST(ChipTable, FlashSizeMatchesTheSignatureAndPagesDivideIt) {
    for (std::uint32_t row = 0; row < kListedChips; ++row) {
        const ChipRecord& chip = ChipTable[row];
        SCOPED_TRACE(chip.name);
        EXPECT_EQ(chip.signature[0], 0x1E);
        EXPECT_EQ(chip.flashSize, 1024u << (chip.signature[1] & 0x0F));
        if (chip.pageSize != 0) {
            EXPECT_EQ(chip.flashSize % chip.pageSize, 0u);
        }
        EXPECT_GT(chip.eepromSize, 0u);
        EXPECT_GT(chip.flashWaitMs, 0);
        EXPECT_GT(chip.eepromWaitMs, 0);
    }
}

TEST(ChipTable, FuseMasksDefaultsAndNamesStayInTheBytesTheLayoutHas) {
    for (std::uint32_t row = 0; row < kListedChips; ++row) {
        const ChipRecord& chip = ChipTable[row];
        SCOPED_TRACE(chip.name);
        ASSERT_LE(chip.fuseKind, 6);
        ASSERT_NE(chip.fuseNames, nullptr);
        const int present = FuseBytesOfKind(chip.fuseKind);
        for (int byte = present; byte < 3; ++byte) {
            EXPECT_EQ(chip.fuseMask[byte], 0) << "byte " << byte;
            EXPECT_EQ(chip.fuseDefault[byte], 0) << "byte " << byte;
            for (int bit = 0; bit < 8; ++bit) {
                EXPECT_EQ(FuseBitName(*chip.fuseNames, byte, bit), nullptr) << byte << "/" << bit;
            }
        }
        // Without fuse bytes no calibration byte is read either.
        if (chip.fuseKind == 0) {
            EXPECT_EQ(chip.calibrationCount, 0);
        }
        EXPECT_TRUE(chip.calibrationCount == 0 || chip.calibrationCount == 1 ||
                    chip.calibrationCount == 4);
        // Layouts 4 and up write the whole lock byte (AC E0 00 v); the older ones carry the
        // lock bits in the instruction byte and use a default of their own.
        EXPECT_EQ(chip.defaultLock, chip.fuseKind >= 4 ? 0xFC : 0xF9);
    }
}

TEST(ChipTable, OnlyTheOldNonPagedChipsPollWith7F) {
    for (std::uint32_t row = 0; row < kListedChips; ++row) {
        const std::string name = ChipTable[row].name;
        const bool old = name == "90S2313" || name == "90S4414" || name == "90S8515";
        EXPECT_EQ(ChipTable[row].pollValue, old ? 0x7F : 0xFF) << name;
    }
}

TEST(ChipTable, RowsOtherPartsSingleOut) {
    const ChipRecord& mega8 = ChipTable[7];
    EXPECT_STREQ(mega8.name, "mega8");
    EXPECT_EQ(mega8.calibrationCount, 4);
    EXPECT_EQ(mega8.fuseDefault[0], 0xE1);
    EXPECT_EQ(mega8.fuseDefault[1], 0xD9);
    EXPECT_EQ(mega8.fuseMask[1], 0xDF);

    const ChipRecord& tiny13 = ChipTable[0];
    EXPECT_STREQ(tiny13.name, "tiny13");
    EXPECT_EQ(tiny13.fuseMask[0], 0x7F);
    EXPECT_EQ(tiny13.fuseMask[1], 0x1F);
    EXPECT_EQ(tiny13.fuseMask[2], 0);

    EXPECT_EQ(ChipTable[FindChipByName(0, "90S2313")].pageSize, 0u);
    EXPECT_EQ(ChipTable[FindChipByName(0, "90S2313")].flashWaitMs, 11);
    EXPECT_EQ(ChipTable[FindChipByName(0, "90S1200")].chipCode, 2);
    EXPECT_EQ(ChipTable[FindChipByName(0, "tiny12")].chipCode, 12);
    EXPECT_EQ(ChipTable[FindChipByName(0, "mega161")].calibrationCount, 0);

    const ChipRecord& mega128 = ChipTable[24];
    EXPECT_STREQ(mega128.name, "mega128");
    EXPECT_EQ(mega128.flashSize, 131072u);
    EXPECT_EQ(mega128.eepromSize, 4096u);
    EXPECT_EQ(mega128.fuseNames, &FuseNamesMega128);
}

TEST(At89ChipTable, FourChipsInTwoCommandFormatsThenTheEndRow) {
    EXPECT_STREQ(At89ChipTable[0].name, "89S51");
    EXPECT_EQ(At89ChipTable[0].flashSize, 4096);
    EXPECT_EQ(At89ChipTable[1].flashSize, 8192);
    EXPECT_EQ(0, std::memcmp(At89ChipTable[1].signature, "\x1E\x52\x06", 3));
    EXPECT_EQ(At89ChipTable[0].commandFormat, 4);
    EXPECT_EQ(At89ChipTable[1].commandFormat, 4);
    EXPECT_EQ(At89ChipTable[2].commandFormat, 3);
    EXPECT_EQ(At89ChipTable[3].commandFormat, 3);
    EXPECT_STREQ(At89ChipTable[4].name, "L");
    EXPECT_EQ(At89ChipTable[4].flashSize, 0);
}

TEST(FindChipBySignature, FindsChipsTheLockedRowOrTheTerminatingRow) {
    const std::uint8_t mega8[3] = {0x1E, 0x93, 0x07};
    const std::uint8_t locked[3] = {0x00, 0x01, 0x02};
    const std::uint8_t unknown[3] = {0x1E, 0x99, 0x99};
    const std::uint8_t noAnswer[3] = {0xFF, 0xFF, 0xFF};
    const std::uint8_t can128[3] = {0x1E, 0x97, 0x81};
    EXPECT_EQ(FindChipBySignature(mega8), 7u);
    EXPECT_EQ(FindChipBySignature(locked), kLockedChipRow);
    EXPECT_EQ(FindChipBySignature(unknown), kNoChipRow);
    EXPECT_EQ(FindChipBySignature(noAnswer), kNoChipRow);
    EXPECT_EQ(FindChipBySignature(can128), 26u);
}

TEST(ChipIdentificationLine, AnnouncesByChipCode) {
    const std::uint8_t mega8[3] = {0x1E, 0x93, 0x07};
    const std::uint8_t unknown[3] = {0x1E, 0x99, 0x09};
    EXPECT_EQ(ChipIdentificationLine(ChipTable[7], mega8), "目标芯片: ATmega8.\n");
    EXPECT_EQ(ChipIdentificationLine(ChipTable[kLockedChipRow], mega8),
              "芯片已经加密或同步失败.\n");
    EXPECT_EQ(ChipIdentificationLine(ChipTable[kNoChipRow], unknown), "未知芯片 (1E-99-09).\n");
}

TEST(ChipList, ListsRowsUpToTheLockedRowSoPositionsAreRowIndices) {
    const std::vector<std::string> avr = ChipList(0);
    ASSERT_EQ(avr.size(), kLockedChipRow);
    EXPECT_EQ(avr.front(), "tiny13");
    EXPECT_EQ(avr[42], "mega103");  // the first 43 rows keep their places
    EXPECT_EQ(avr.back(), ChipTable[kLockedChipRow - 1].name);
    const std::vector<std::string> at89 = ChipList(1);
    ASSERT_EQ(at89.size(), 4u);
    EXPECT_EQ(at89.back(), "89S8252");

    EXPECT_EQ(FindChipByName(0, "mega8"), 7);
    EXPECT_EQ(FindChipByName(1, "89S52"), 1);
    EXPECT_EQ(FindChipByName(0, "L"), -1);
    EXPECT_EQ(FindChipByName(1, "L"), -1);
    EXPECT_EQ(FindChipByName(0, "89S52"), -1);
    EXPECT_EQ(FindChipByName(0, "Mega8"), -1);
}

// Every part a row stands for, and its short form, finds that row and no other, so no two
// rows claim the same name.
TEST(FindChipByName, EveryPartAndShortNameFindsItsOwnRow) {
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        for (const std::string& part : PartNamesOfRow(ChipTable[row].name)) {
            EXPECT_EQ(FindChipByName(0, part), static_cast<int>(row)) << part;
            EXPECT_EQ(FindChipByName(0, ShortPartName(part)), static_cast<int>(row)) << part;
        }
    }
    const struct {
        const char* typed;
        const char* row;
    } cases[] = {
        {"m328p", "mega328P"},

        {"t85", "tiny85"},
        {"m1284p", "mega1284P"},
        {"m32u4", "mega32U4"},
        {"usb1286", "90USB1286/1287"},
        {"usb1287", "90USB1286/1287"},
        {"mega164PA", "mega164P/164PA"},
        {"t2313a", "tiny2313"},
        {"mega8A", "mega8"},
        {"c128", "90CAN128"},
        {"2313", "90S2313"},
        {"pwm3b", "90PWM2B/3B"},
        {"t84a", "tiny84/84A"},
    };
    for (const auto& c : cases) {
        const int row = FindChipByName(0, c.typed);
        ASSERT_GE(row, 0) << c.typed;
        EXPECT_STREQ(ChipTable[row].name, c.row) << c.typed;
    }
    EXPECT_EQ(FindChipByName(0, "m9999"), -1);
    EXPECT_EQ(FindChipByName(1, "89s52"), -1);  // the 89S5x names stay exact
}

}  // namespace
}  // namespace velkor
