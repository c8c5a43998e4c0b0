#include <gtest/gtest.h>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

using test::SimRig;

constexpr std::uint64_t kInstructionWrites = 4 * 17;

// An engine in programming mode with the chip on the bench selected; its waits are port
// reads, counted below, unless `timed`.
std::unique_ptr<SimRig> InProgramming(SimBenchOptions options, bool timed = false) {
    auto rig = std::make_unique<SimRig>(options);
    IspProgrammer& e = rig->engine;
    Edit(e)->timedPortWaits = timed;
    Edit(e)->targetFamily = rig->bench->ChipFamily();
    Edit(e)->chipIndex = static_cast<std::uint32_t>(rig->bench->ChipRow());
    EXPECT_EQ(e.OpenPort(), 0);
    e.SetDelayCount(1);
    EXPECT_EQ(e.EnterProgramming(), 0);
    e.AppendLog(nullptr);
    rig->Machine().ResetCounters();
    return rig;
}

TEST(MemoryOperations, FlashFFIsSkippedUnlessForced) {
    auto rig = InProgramming({.chip = "90S2313"});
    EXPECT_EQ(rig->engine.WriteMemoryByte(kMemFlash, 5, 0xFF), 0);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    // The forced write is sent; its poll reads "FlashForced", which answers 0xFF without a
    // transfer, so it is confirmed at once.
    EXPECT_EQ(rig->engine.WriteMemoryByte(kMemFlashForced, 5, 0xFF), 0);
    EXPECT_EQ(rig->Machine().Counters().portWrites, kInstructionWrites);
    EXPECT_EQ(rig->engine.ReadMemoryByte(kMemFlashForced, 5), 0xFF);
}

// Values a location reads while it is being written cannot be confirmed by polling, so the
// fixed wait is used for them; every other value is polled.
TEST(MemoryOperations, PollValueAndItsComplementWaitInsteadOfPolling) {
    struct Case {
        const char* chip;
        std::uint8_t kind;
        std::uint8_t value;
        bool waits;
        unsigned waitMs;
    };
    const Case cases[] = {
        {"90S2313", kMemFlash, 0x7F, true, 11},  {"90S2313", kMemFlash, 0x80, false, 0},
        {"90S2313", kMemEeprom, 0x80, true, 11}, {"90S2313", kMemEeprom, 0x7F, true, 11},
        {"90S2313", kMemEeprom, 0x12, false, 0}, {"mega8", kMemEeprom, 0x00, true, 11},
        {"mega8", kMemEeprom, 0xFF, true, 11},   {"mega8", kMemEeprom, 0x55, false, 0},
        {"90S1200", kMemFlash, 0x12, true, 11},  {"90S1200", kMemEeprom, 0x34, true, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + " kind " + std::to_string(c.kind) + " value " +
                     std::to_string(c.value));
        auto rig = InProgramming({.chip = c.chip});
        const std::uint64_t start = rig->Machine().NowNs();
        EXPECT_EQ(rig->engine.WriteMemoryByte(c.kind, 3, c.value), 0);
        const auto& counters = rig->Machine().Counters();
        if (c.waits) {
            EXPECT_EQ(counters.portWrites, kInstructionWrites);  // no read instruction
            EXPECT_GE(rig->Machine().NowNs() - start, c.waitMs * 1'000'000ull);
        } else {
            EXPECT_GT(counters.portWrites, kInstructionWrites);
            EXPECT_EQ(counters.counterReads, 0u);
        }
        rig->Machine().AdvanceNs(20'000'000);
        const std::uint8_t kind = c.kind == kMemEeprom ? kMemEeprom : kMemFlash;
        EXPECT_EQ(rig->engine.ReadMemoryByte(kind, 3), c.value);
    }
}

TEST(MemoryOperations, ABytewriteThatNeverReadsBackTimesOutAfter200Reads) {
    // Flash bits can only be cleared: without an erase 0x00 can never become 0x55.
    auto rig = InProgramming({.chip = "90S2313"});
    rig->bench->Avr()->Flash()[7] = 0x00;
    EXPECT_EQ(rig->engine.WriteMemoryByte(kMemFlash, 7, 0x55), 1);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 201 * kInstructionWrites);
}

TEST(MemoryOperations, BlankPagesCauseNoTransferAndOthersOneLoadPerByte) {
    auto rig = InProgramming({.chip = "tiny13"});  // 32-byte pages
    std::vector<std::uint8_t> page(32, 0xFF);
    rig->engine.WriteFlashPage(0, page.data());
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    EXPECT_EQ(rig->Machine().Counters().counterReads, 0u);
    page[31] = 0x42;
    rig->engine.WriteFlashPage(32, page.data());
    EXPECT_EQ(rig->Machine().Counters().portWrites, 33 * kInstructionWrites);
    EXPECT_EQ(rig->bench->Avr()->Flash()[63], 0x42);
    EXPECT_EQ(rig->bench->Avr()->PageWriteCount(), 1u);
}

TEST(MemoryOperations, At89PagesAreWrittenWithSettlingReadsAndReadBackWhole) {
    auto rig = InProgramming({.chip = "89S52"});
    std::vector<std::uint8_t> page(256);
    for (int i = 0; i < 256; ++i) page[i] = static_cast<std::uint8_t>(i * 7);
    rig->engine.WriteFlashPage(0x300, page.data());
    EXPECT_EQ(rig->Machine().Counters().portWrites, 258 * 17u);
    std::vector<std::uint8_t> read(256);
    EXPECT_EQ(rig->engine.ReadFlashPage(0x300, read.data()), 256);
    EXPECT_EQ(read, page);
}

TEST(MemoryOperations, At89ByteWriteOfAnEqualValueOnlyReads) {
    auto rig = InProgramming({.chip = "89S8252"});
    EXPECT_EQ(rig->engine.WriteMemoryByte(kMemFlash, 0x2345, 0xFF), 0);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 3 * 17u);  // one three-byte read
    EXPECT_EQ(rig->engine.WriteMemoryByte(kMemFlash, 0x2345, 0x3C), 0);
    EXPECT_EQ(rig->bench->At89()->Flash()[0x2345], 0x3C);  // address bit 13 in the opcode
}

TEST(MemoryOperations, EepromImageIsCutToTheChipAndAnEmptyImageStillLogs) {
    auto rig = InProgramming({.chip = "tiny13"});  // 64 bytes of EEPROM
    for (int i = 0; i < 100; ++i)
        PokeImage(rig->engine, ImageKind::kEeprom, i, static_cast<std::uint8_t>(i));
    SetImageLength(rig->engine, ImageKind::kEeprom, 100);
    Edit(rig->engine)->commands.verify = 1;
    EXPECT_EQ(rig->engine.WriteEepromImage(), 0);
    EXPECT_EQ(rig->engine.LogText(), "写入EEPROM: \r\n写入中...\r\n比较中...\r\n完成.\r\n");
    EXPECT_EQ(rig->bench->Avr()->Eeprom()[63], 63);

    auto empty = InProgramming({.chip = "tiny13"});
    EXPECT_EQ(empty->engine.WriteEepromImage(), 0);
    EXPECT_EQ(empty->engine.LogText(), "写入EEPROM: \r\n写入中...\r\n完成.\r\n");
    EXPECT_EQ(empty->Machine().Counters().portWrites, 0u);
}

TEST(MemoryOperations, EepromStepOnTheTerminatingOrLockedRowDoesNothing) {
    for (std::uint32_t row : {kLockedChipRow, kNoChipRow}) {
        auto rig = InProgramming({.chip = "mega8"});
        Edit(rig->engine)->chipIndex = row;
        SetImageLength(rig->engine, ImageKind::kEeprom, 10);
        EXPECT_EQ(rig->engine.WriteEepromImage(), 4);
        EXPECT_EQ(rig->engine.LogText(), "");
        EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    }
}

TEST(MemoryOperations, EepromVerifyMismatchIsReportedWithAddressAndBothValues) {
    auto rig = InProgramming({.chip = "mega8"});
    SetImageLength(rig->engine, ImageKind::kEeprom, 4);
    PokeImage(rig->engine, ImageKind::kEeprom, 2, 0x5A);
    Edit(rig->engine)->commands.verify = 1;
    // A second writer on the bus: after the writes, something else changes the cell.
    struct Spoiler : EngineReports {
        SimRig* rig;
        void OnProgress(int) override {}
        void OnLog() override {
            if (rig->engine.LogText().ends_with("比较中...\r\n")) {
                rig->bench->Avr()->Eeprom()[2] = 0x11;
            }
        }
    } spoiler;
    spoiler.rig = rig.get();
    rig->engine.SetReports(&spoiler);
    EXPECT_EQ(rig->engine.WriteEepromImage(), 1);
    EXPECT_TRUE(rig->engine.LogText().ends_with("在 0002:5A-11校验失败\n"));
}

TEST(MemoryOperations, ConfigWritesUseTheFormOfTheFuseKind) {
    auto legacy = InProgramming({.chip = "tiny15"});  // kind 3: new fuse form, old lock form
    legacy->engine.WriteConfigByte(kFuseLow, 0x50);   // changeable bits: D3
    legacy->engine.WriteConfigByte(kLockBits, 0xF9);
    EXPECT_EQ(legacy->bench->Avr()->FuseLow() & 0xD3, 0x50);
    EXPECT_EQ(legacy->bench->Avr()->Lock(), 0xF9);
    auto modern = InProgramming({.chip = "mega48"});
    modern->engine.WriteConfigByte(kFuseHigh, 0xD7);
    modern->engine.WriteConfigByte(kFuseExtended, 0xFE);  // only bit 0 exists
    modern->engine.WriteConfigByte(kLockBits, 0xFC);
    EXPECT_EQ(modern->bench->Avr()->FuseHigh(), 0xD7);
    EXPECT_EQ(modern->bench->Avr()->FuseExtended(), 0xFE);
    EXPECT_EQ(modern->bench->Avr()->Lock(), 0xFC);
}

TEST(MemoryOperations, EraseThatLosesTheTargetReportsIt) {
    auto rig = InProgramming({.chip = "mega8"});
    rig->Machine().CutPowerAfter(80);  // during the erase instruction's wait
    EXPECT_EQ(rig->engine.EraseChip(), 4);
    EXPECT_EQ(rig->engine.LogText(), "目标芯片连接失败.\r\n");
}

// Lock bits 2..1 travel in the instruction's second byte up to fuse kind 3 and as the fourth
// byte from kind 4 on; 0xFD programs lock bit 1 only, which only the right form keeps apart
// from programming both.
TEST(MemoryOperations, LockFormChangesBetweenFuseKindsThreeAndFour) {
    for (const char* chip : {"tiny15", "mega161"}) {
        SCOPED_TRACE(chip);
        auto rig = InProgramming({.chip = chip});
        rig->engine.WriteConfigByte(kLockBits, 0xFD);
        EXPECT_EQ(rig->bench->Avr()->Lock(), 0xFD);
    }
}

// The reset pulse that follows an erase must not reach a part still erasing: mega161 takes
// longer to erase than the pulse's first 10 ms.
TEST(MemoryOperations, EraseWaitsForThePartBeforeTheNextWrite) {
    auto rig = InProgramming({.chip = "mega161"});
    ASSERT_EQ(rig->engine.EraseChip(), 0);
    EXPECT_EQ(rig->bench->Avr()->InterruptedCount(), 0u);
    std::vector<std::uint8_t> page(128, 0x5A);
    rig->engine.WriteFlashPage(0, page.data());
    EXPECT_EQ(rig->bench->Avr()->Flash()[0], 0x5A);
    EXPECT_EQ(rig->bench->Avr()->LostInstructions(), 0u);
}

// The pause after each data byte of an 89S5x page: 100 data-register reads, not counted in
// the delay count (which is 1 here, one read per half clock period), or their time.
TEST(MemoryOperations, At89PageBytesEachGetTheirSettlingReads) {
    std::vector<std::uint8_t> page(256, 0x3C);
    auto rig = InProgramming({.chip = "89S52"});
    rig->engine.WriteFlashPage(0x100, page.data());
    EXPECT_EQ(rig->Machine().Counters().portReads, 258 * 17 + 256 * 100u);

    auto timed = InProgramming({.chip = "89S52"}, true);
    const std::uint64_t start = timed->Machine().NowNs();
    timed->engine.WriteFlashPage(0x100, page.data());
    EXPECT_EQ(timed->Machine().Counters().portReads, 0u);
    EXPECT_GE(timed->Machine().NowNs() - start, (258 * 17 * 2 + 256 * 100u) * 1000u);
}

TEST(MemoryOperations, Tiny12GetsAForcedFlashWriteBetweenItsTwoErases) {
    auto rig = InProgramming({.chip = "tiny12"});
    const std::uint64_t enablesBefore = rig->bench->Avr()->EnableCount();
    EXPECT_EQ(rig->engine.EraseChip(), 0);
    EXPECT_EQ(rig->bench->Avr()->EnableCount() - enablesBefore, 2u);
    std::vector<std::uint32_t> steps;  // erases and flash writes, in order
    for (std::uint32_t word : rig->bench->Avr()->Executed()) {
        if ((word >> 16) == 0xAC80 || (word >> 24) == 0x40) steps.push_back(word & 0xFFFF00FF);
    }
    EXPECT_EQ(steps, (std::vector<std::uint32_t>{0xAC800000, 0x400000FF, 0xAC800000}));
}

}  // namespace
}  // namespace velkor
