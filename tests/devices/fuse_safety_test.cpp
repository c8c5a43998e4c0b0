#include "devices/fuse_safety.h"

#include <gtest/gtest.h>

#include "devices/chip_table.h"

namespace velkor {
namespace {

const ChipRecord& Chip(const char* name) {
    const int row = FindChipByName(0, name);
    EXPECT_GE(row, 0) << name;
    return ChipTable[row];
}

std::vector<std::string> Names(const std::vector<FuseHazard>& hazards) {
    std::vector<std::string> names;
    for (const FuseHazard& h : hazards) names.push_back(h.name);
    return names;
}

TEST(FuseSafety, FactoryDefaultsAreSafeOnEveryChip) {
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& chip = ChipTable[row];
        const FuseBytes defaults{chip.fuseDefault[0], chip.fuseDefault[1], chip.fuseDefault[2]};
        EXPECT_TRUE(FindFuseHazards(defaults, chip).empty()) << chip.name;
    }
}

TEST(FuseSafety, FindsTheDangerousBitsByTheChipsOwnNames) {
    // mega8 high 00: RSTDISBL (bit 7) programmed; SPIEN lies outside the mask and is not judged.
    const auto mega8 = FindFuseHazards({0x00, 0x00, 0x00}, Chip("mega8"));
    ASSERT_EQ(Names(mega8), std::vector<std::string>{"RSTDISBL"});
    EXPECT_EQ(mega8[0].byte, 1);
    EXPECT_EQ(mega8[0].bit, 7);
    EXPECT_EQ(mega8[0].kind, FuseHazardKind::kResetDisabled);
    EXPECT_FALSE(FindFuseHazards({0x00, 0x7F, 0x00}, Chip("mega8")).empty());
    EXPECT_TRUE(FindFuseHazards({0x00, 0x80, 0x00}, Chip("mega8")).empty());
    // mega16 names bit 7 of the high byte OCDEN instead: nothing dangerous there.
    EXPECT_TRUE(FindFuseHazards({0x00, 0x00, 0x00}, Chip("mega16")).empty());
    // tiny13 high: RSTDISBL bit 0, DWEN bit 3.
    EXPECT_EQ(Names(FindFuseHazards({0x6A, 0xF6, 0x00}, Chip("tiny13"))),
              (std::vector<std::string>{"RSTDISBL", "DWEN"}));
    // mega48 high: DWEN bit 6, RSTDISBL bit 7.
    EXPECT_EQ(Names(FindFuseHazards({0x62, 0x9F, 0xFF}, Chip("mega48"))),
              std::vector<std::string>{"DWEN"});
    // tiny12 low byte holds SPIEN (bit 5) inside its mask: unprogramming it is refused.
    const auto tiny12 = FindFuseHazards({0xF2, 0x00, 0x00}, Chip("tiny12"));
    ASSERT_EQ(Names(tiny12), std::vector<std::string>{"SPIEN"});
    EXPECT_EQ(tiny12[0].kind, FuseHazardKind::kSerialDisabled);
    // tiny15 keeps SPIEN (bit 5) outside its mask D3; RSTDISBL (bit 4) is inside.
    EXPECT_TRUE(FindFuseHazards({0x10, 0x00, 0x00}, Chip("tiny15")).empty());
    EXPECT_EQ(Names(FindFuseHazards({0x00, 0x00, 0x00}, Chip("tiny15"))),
              std::vector<std::string>{"RSTDISBL"});
    // mega325's extended byte names RSTDISBL at bit 0.
    EXPECT_EQ(Names(FindFuseHazards({0x62, 0x99, 0xFE}, Chip("mega325"))),
              std::vector<std::string>{"RSTDISBL"});
    // mega165 and mega169 hide their box for extended bit 0, but it is RSTDISBL all the same.
    for (const char* chip : {"mega165", "mega169"}) {
        EXPECT_EQ(Names(FindFuseHazards({0x62, 0x99, 0xFE}, Chip(chip))),
                  std::vector<std::string>{"RSTDISBL"})
            << chip;
    }
}

// Writing every fuse bit programmed on the parts added after the first 43: the bits that end
// serial programming, as each part's data sheet names them.
TEST(FuseSafety, AddedPartsReportTheirResetAndDebugWireBits) {
    const std::vector<std::string> none;
    const std::vector<std::string> debugWireParts{"DWEN", "RSTDISBL"};
    const struct {
        const char* chip;
        std::vector<std::string> names;
    } cases[] = {
        {"mega328P", debugWireParts},
        {"tiny85", debugWireParts},
        {"tiny84/84A", debugWireParts},
        {"tiny861/861A", debugWireParts},
        {"tiny1634", debugWireParts},
        {"90PWM2B/3B", debugWireParts},
        {"tiny4313", {"RSTDISBL", "DWEN"}},
        {"90USB162", {"RSTDSBL", "DWEN"}},  // the USB parts spell it RSTDSBL
        {"mega16U2", {"RSTDISBL", "DWEN"}},
        {"mega329P/329PA", {"RSTDISBL"}},  // in the extended byte
        // JTAG parts have neither: their reset pin cannot be given away.
        {"mega1284P", none},
        {"mega32U4", none},
        {"90USB1286/1287", none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Names(FindFuseHazards({0x00, 0x00, 0x00}, Chip(c.chip))), c.names) << c.chip;
    }
}

TEST(FuseSafety, LinesNameTheBitAndTheWrittenByte) {
    const auto hazards = FindFuseHazards({0xE1, 0x59, 0x00}, Chip("mega8"));
    ASSERT_EQ(hazards.size(), 1u);
    EXPECT_EQ(hazards[0].written, 0x59);
    const std::string line = FuseHazardLine(hazards[0]);
    EXPECT_NE(line.find("RSTDISBL"), std::string::npos);
    EXPECT_NE(line.find("59"), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const std::string english = FuseHazardLineEnglish(hazards[0]);
    EXPECT_NE(english.find("RSTDISBL"), std::string::npos);
    EXPECT_NE(english.find("RESET"), std::string::npos);
}

}  // namespace
}  // namespace velkor
