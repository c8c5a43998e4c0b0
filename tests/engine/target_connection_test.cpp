#include <gtest/gtest.h>

#include "devices/chip_table.h"
#include "engine/isp_programmer.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
namespace {

using test::SimRig;

// Port writes of the pieces of a conversation on a cable with a pin row.
constexpr std::uint64_t kResetWrites = 3;
constexpr std::uint64_t kByteWrites = 17;
constexpr std::uint64_t kEnableWrites = 4 * kByteWrites;
constexpr std::uint64_t kExtraClockWrites = 2;

std::unique_ptr<SimRig> Connected(SimBenchOptions options) {
    auto rig = std::make_unique<SimRig>(options);
    Edit(rig->engine)->targetFamily = rig->bench->ChipFamily();
    Edit(rig->engine)->chipIndex = static_cast<std::uint32_t>(std::max(rig->bench->ChipRow(), 0));
    EXPECT_EQ(rig->engine.OpenPort(), 0);
    rig->engine.SetDelayCount(1);
    rig->engine.AppendLog(nullptr);
    rig->Machine().ResetCounters();
    return rig;
}

TEST(TargetConnection, AnAnsweringTargetGetsExactlyOneEnableInstruction) {
    auto rig = Connected({.chip = "mega8"});
    EXPECT_EQ(rig->engine.EnterProgramming(), 0);
    EXPECT_EQ(rig->Machine().Counters().portWrites, kResetWrites + kEnableWrites);
    EXPECT_EQ(rig->bench->Avr()->EnableCount(), 1u);
    EXPECT_EQ(rig->engine.LogText(), "");
}

TEST(TargetConnection, ASilentTargetGets34AttemptsAnd32ExtraClocksThenOneFailureLine) {
    auto rig = Connected({.chip = "mega8", .faults = {.neverInStep = true}});
    EXPECT_EQ(rig->engine.EnterProgramming(), 1);
    EXPECT_EQ(rig->Machine().Counters().portWrites,
              kResetWrites + 34 * kEnableWrites + 32 * kExtraClockWrites);
    EXPECT_EQ(rig->engine.LogText(), "目标芯片连接失败.\r\n");
}

TEST(TargetConnection, ExtraClocksBringAnOutOfStepTargetIntoStep) {
    for (unsigned bits : {1u, 2u, 16u, 31u}) {
        SCOPED_TRACE(bits);
        auto rig = Connected({.chip = "mega16", .faults = {.outOfStepBits = bits}});
        EXPECT_EQ(rig->engine.EnterProgramming(), 0);
        EXPECT_TRUE(rig->bench->Avr()->ProgrammingEnabled());
        // Two plain attempts, then pass 3 slips one bit per extra clock until in step.
        const std::uint64_t extra = 32 - bits;
        EXPECT_EQ(rig->Machine().Counters().portWrites,
                  kResetWrites + (3 + extra) * kEnableWrites + extra * kExtraClockWrites);
    }
}

TEST(TargetConnection, FuseBytesReadFollowTheFuseKind) {
    struct Case {
        const char* chip;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"90S1200", {}},                          // kind 0
        {"90S2343", {"读取熔丝低字节 FF \r\n"}},  // kind 1: fuse and lock bits together
        {"mega8", {"读取熔丝低字节 E1 \r\n", "读取熔丝高字节 D9 \r\n"}},  // kind 5
        {"mega48",
         {"读取熔丝低字节 62 \r\n", "读取熔丝高字节 DF \r\n", "读取熔丝扩展字节 FF \r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        auto rig = Connected({.chip = c.chip});
        ASSERT_EQ(rig->engine.EnterProgramming(), 0);
        rig->engine.ReadFuseBytes();
        EXPECT_EQ(rig->LogLines(), c.lines);
    }
}

TEST(TargetConnection, CalibrationBytesAreLoggedOnOneLine) {
    auto rig = Connected({.chip = "mega8"});
    ASSERT_EQ(rig->engine.EnterProgramming(), 0);
    rig->engine.ReadCalibrationBytes();
    EXPECT_EQ(rig->engine.LogText(), "读取校准字节: A1 B2 C3 D4\r\n");
    EXPECT_EQ(rig->engine.CalibrationBytes()[3], 0xD4);
}

TEST(TargetConnection, At89TargetsAreNeverReportedUnconnected) {
    auto s8252 = Connected({.chip = "89S8252"});
    EXPECT_EQ(s8252->engine.EnterProgramming(), 0);
    EXPECT_EQ(s8252->Machine().Counters().portWrites, kResetWrites + 3 * kByteWrites);
    EXPECT_TRUE(s8252->bench->At89()->ProgrammingEnabled());

    auto s52 = Connected({.chip = "89S52"});
    EXPECT_EQ(s52->engine.EnterProgramming(), 0);
    EXPECT_EQ(s52->engine.LogText(), "");

    // Nothing on the cable: the answer floats to FF, which is reported, and the run goes on.
    SimRig none({.chip = "", .cable = "stk200"});
    Edit(none.engine)->targetFamily = kFamily89S5x;
    Edit(none.engine)->chipIndex = 1;
    none.engine.OpenPort();
    none.engine.AppendLog(nullptr);
    EXPECT_EQ(none.engine.EnterProgramming(), 0);
    EXPECT_EQ(none.engine.LogText(), "返回字节不匹配 FF \r\n");
}

TEST(TargetConnection, ExitReleasesTheLinesAndSaysSo) {
    auto rig = Connected({.chip = "mega8"});
    rig->engine.EnterProgramming();
    rig->engine.ExitProgramming();
    EXPECT_EQ(rig->engine.Cable(), 0);
    EXPECT_EQ(rig->engine.LogText(), "退出\r\n");
    EXPECT_FALSE(rig->bench->Avr()->ProgrammingEnabled());  // RESET released: the part runs
}

// Kind 1 parts have no fuse-read instruction of their own: "58 00" answers the lock bits and
// the fuse bit together, so programmed lock bits show in the byte read.
TEST(TargetConnection, Kind1FuseReadIsTheCombinedLockAndFuseRead) {
    auto rig = Connected({.chip = "90S2343"});
    ASSERT_EQ(rig->engine.EnterProgramming(), 0);
    rig->engine.WriteConfigByte(kLockBits, 0xF9);
    rig->engine.AppendLog(nullptr);
    rig->engine.ReadFuseBytes();
    EXPECT_EQ(rig->LogLines(), (std::vector<std::string>{"读取熔丝低字节 F9 \r\n"}));
}

}  // namespace
}  // namespace velkor
