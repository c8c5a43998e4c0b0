// Every row of the chip tables, programmed end to end on a simulated chip that is built from
// the simulator's own description of the part: a row whose signature, memory sizes or page
// size differ from the part's fails here. Each chip is programmed twice with different images,
// so the second run finds a chip that is not blank: without a working chip erase, programming
// only clears bits and the second image does not arrive whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "devices/chip_table.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::SetImageLength;
namespace {

using test::SimRig;

void FillRandom(IspProgrammer& e, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> flash(kFlashImageSize);
    std::vector<std::uint8_t> eeprom(kEepromImageSize);
    for (auto& b : flash) b = static_cast<std::uint8_t>(random());
    for (auto& b : eeprom) b = static_cast<std::uint8_t>(random());
    e.SetImage(ImageKind::kFlash, flash, kFlashImageSize, {});
    e.SetImage(ImageKind::kEeprom, eeprom, kEepromImageSize, {});
}

bool Holds(const std::vector<std::uint8_t>& memory, const std::uint8_t* image) {
    return std::equal(memory.begin(), memory.end(), image);
}

class AvrRow : public testing::TestWithParam<std::uint32_t> {};
class At89Row : public testing::TestWithParam<std::uint32_t> {};

TEST_P(AvrRow, ErasesWritesAndVerifiesTheWholeChipTwice) {
    const std::uint32_t row = GetParam();
    const char* name = ChipTable[row].name;
    SimRig rig({.chip = name});
    ASSERT_NE(rig.bench->Avr(), nullptr) << "the simulator has no description of this part";
    IspProgrammer& e = rig.engine;
    Edit(e)->targetFamily = kFamilyAvr;
    Edit(e)->chipIndex = row;
    Edit(e)->commands.checkId = 1;
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    Edit(e)->commands.writeEeprom = 1;
    // The first image is only written; the second is written and verified.
    FillRandom(e, row + 1000);
    ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
    FillRandom(e, row);
    Edit(e)->commands.verify = 1;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
    EXPECT_EQ(e.LastEepromResult(), 0) << e.LogText();
    const sim::AvrChip& chip = *rig.bench->Avr();
    EXPECT_TRUE(Holds(chip.Flash(), e.FlashImage().data()));
    EXPECT_TRUE(Holds(chip.Eeprom(), e.EepromImage().data()));
    EXPECT_EQ(chip.RewriteCount(), 0u) << "flash programmed twice without an erase";
    EXPECT_EQ(chip.InterruptedCount(), 0u) << "reset while the part was still busy";
}

TEST_P(At89Row, ErasesWritesAndVerifiesTheWholeChipTwice) {
    const std::uint32_t row = GetParam();
    const At89ChipRecord& r = At89ChipTable[row];
    SimRig rig({.chip = r.name});
    ASSERT_NE(rig.bench->At89(), nullptr) << "the simulator has no description of this part";
    IspProgrammer& e = rig.engine;
    Edit(e)->targetFamily = kFamily89S5x;
    Edit(e)->chipIndex = row;
    // The three-byte parts have no signature instruction to check.
    Edit(e)->commands.checkId = r.commandFormat == 4 ? 1 : 0;
    Edit(e)->commands.erase = 1;
    Edit(e)->commands.writeFlash = 1;
    FillRandom(e, 1100 + row);
    ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
    FillRandom(e, 100 + row);
    Edit(e)->commands.verify = 1;
    EXPECT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
    EXPECT_TRUE(Holds(rig.bench->At89()->Flash(), e.FlashImage().data()));
}

// A row named for two parts ("mega164P/164PA") gives the test name "mega164P_164PA".
std::string TestName(const char* rowName) {
    std::string name(rowName);
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryChipRow, AvrRow, testing::Range<std::uint32_t>(0, kLockedChipRow),
                         [](const auto& info) { return TestName(ChipTable[info.param].name); });
INSTANTIATE_TEST_SUITE_P(EveryChipRow, At89Row,
                         testing::Range<std::uint32_t>(0, kAt89ChipTableRows - 1),
                         [](const auto& info) {
                             return std::string(At89ChipTable[info.param].name);
                         });

}  // namespace
}  // namespace velkor
