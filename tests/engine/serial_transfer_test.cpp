#include <gtest/gtest.h>

#include "engine/isp_programmer.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
namespace {

using test::SimRig;

// An engine whose cable is in use, with tracing of the data register on. Its waits are
// port reads, so that each shows in the trace where the sequence has it.
std::unique_ptr<SimRig> Ready(const char* cable, std::uint32_t family, std::uint16_t delay = 1,
                              const char* chip = "") {
    auto rig = std::make_unique<SimRig>(SimBenchOptions{.chip = chip, .cable = cable});
    Edit(rig->engine)->targetFamily = family;
    Edit(rig->engine)->timedPortWaits = false;
    rig->engine.OpenPort();
    rig->engine.SetDelayCount(delay);
    rig->Machine().EnableTrace(true);
    rig->Machine().ClearTrace();
    rig->Machine().ResetCounters();
    return rig;
}

TEST(SerialTransfer, SendByteOnStk200WritesSeventeenValuesEachFollowedByOneWait) {
    auto rig = Ready("stk200", kFamilyAvr);
    rig->engine.SendByte(0xAC);
    const std::vector<std::uint8_t> expected = {0x20, 0x30, 0x00, 0x10, 0x20, 0x30,
                                                0x00, 0x10, 0x20, 0x30, 0x20, 0x30,
                                                0x00, 0x10, 0x00, 0x10, 0x00};
    std::vector<std::uint8_t> seen;
    const auto& trace = rig->Machine().Trace();
    for (std::size_t i = 0; i < trace.size(); ++i) {
        if (!trace[i].write) continue;
        seen.push_back(trace[i].value);
        ASSERT_LT(i + 1, trace.size());
        EXPECT_FALSE(trace[i + 1].write) << "no wait after write " << seen.size();
        EXPECT_EQ(trace[i + 1].address, 0x378);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(rig->Machine().Counters().portReads, 17u);
}

TEST(SerialTransfer, DelayCountZeroWritesBackToBack) {
    auto rig = Ready("stk200", kFamilyAvr, 0);
    rig->engine.SendByte(0x5A);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 17u);
    EXPECT_EQ(rig->Machine().Counters().portReads, 0u);
}

// Line values per pair: SCK low with MOSI 1, SCK low with MOSI 0, the SCK bit, and the
// ExtraClock pair, as the cables are wired.
TEST(SerialTransfer, LineValuesForEveryPairWithARow) {
    struct Case {
        const char* cable;
        std::uint32_t family;
        std::uint8_t one, zero, sck;
        std::uint8_t extraHigh, extraLow;
    };
    const Case cases[] = {
        {"plain", kFamilyAvr, 0x0A, 0x08, 0x01, 0x09, 0x08},
        {"stk200", kFamilyAvr, 0x20, 0x00, 0x10, 0x10, 0x00},
        {"xilinx", kFamilyAvr, 0x11, 0x10, 0x02, 0x12, 0x10},
        {"lattice", kFamilyAvr, 0x01, 0x00, 0x02, 0x02, 0x00},
        {"byteblaster", kFamilyAvr, 0x40, 0x00, 0x01, 0x01, 0x00},
        {"stk200", kFamily89S5x, 0xA0, 0x80, 0x10, 0x90, 0x80},
        {"byteblaster", kFamily89S5x, 0x42, 0x02, 0x01, 0x03, 0x02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cable) + " family " + std::to_string(c.family));
        auto rig = Ready(c.cable, c.family);
        rig->engine.SendByte(0x80);
        std::vector<std::uint8_t> expected = {c.one, static_cast<std::uint8_t>(c.one | c.sck)};
        for (int i = 0; i < 7; ++i) {
            expected.push_back(c.zero);
            expected.push_back(static_cast<std::uint8_t>(c.zero | c.sck));
        }
        expected.push_back(c.zero);
        EXPECT_EQ(rig->DataWrites(), expected);

        rig->Machine().ClearTrace();
        rig->engine.ExtraClock();
        EXPECT_EQ(rig->DataWrites(), (std::vector<std::uint8_t>{c.extraHigh, c.extraLow}));

        rig->Machine().ClearTrace();
        rig->engine.ReceiveByte();
        EXPECT_EQ(rig->DataWrites().size(), 17u);
        EXPECT_EQ(rig->DataWrites().front(), c.zero);
    }
}

TEST(SerialTransfer, ResetPulsePerPair) {
    struct Case {
        const char* cable;
        std::uint32_t family;
        std::vector<std::uint8_t> writes;
    };
    const Case cases[] = {
        {"plain", kFamilyAvr, {0x08, 0x0C, 0x08}},
        {"stk200", kFamilyAvr, {0x00, 0x80, 0x00}},
        {"xilinx", kFamilyAvr, {0x10, 0x14, 0x10}},
        {"lattice", kFamilyAvr, {0x00, 0x04, 0x00}},
        {"byteblaster", kFamilyAvr, {0x00, 0x02, 0x00}},
        {"stk200", kFamily89S5x, {0x80, 0x00, 0x80}},
        {"byteblaster", kFamily89S5x, {0x02, 0x00, 0x02}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cable) + " family " + std::to_string(c.family));
        auto rig = Ready(c.cable, c.family);
        const std::uint64_t start = rig->Machine().NowNs();
        rig->engine.ResetTarget();
        EXPECT_EQ(rig->DataWrites(), c.writes);
        EXPECT_EQ(rig->Machine().Counters().portReads, 2u);  // two waits inside the pulse
        EXPECT_GE(rig->Machine().NowNs() - start, 40'000'000u);
    }
}

TEST(SerialTransfer, PairsWithoutARowOnlyWait) {
    // An 89S5x target on the Xilinx cable: nothing moves, the reset only waits 30 ms.
    auto rig = Ready("xilinx", kFamily89S5x, 3);
    const std::uint64_t start = rig->Machine().NowNs();
    rig->engine.ResetTarget();
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    EXPECT_GE(rig->Machine().NowNs() - start, 30'000'000u);
    EXPECT_LT(rig->Machine().NowNs() - start, 31'000'000u);
    rig->Machine().ResetCounters();
    rig->engine.SendByte(0xFF);
    EXPECT_EQ(rig->Machine().Counters().portReads, 3u);
    EXPECT_EQ(rig->engine.ReceiveByte(), 0);
    rig->engine.ExtraClock();
    EXPECT_EQ(rig->Machine().Counters().portReads, 9u);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
}

TEST(SerialTransfer, AfterReleaseSendOnlyWaitsAndReceiveGivesZero) {
    auto rig = Ready("stk200", kFamilyAvr, 2, "mega8");
    rig->engine.ReleasePort();
    rig->Machine().ResetCounters();
    rig->engine.SendByte(0xAC);
    EXPECT_EQ(rig->Machine().Counters().portReads, 2u);
    EXPECT_EQ(rig->engine.ReceiveByte(), 0);
    EXPECT_EQ(rig->Machine().Counters().portWrites, 0u);
    EXPECT_EQ(rig->Machine().Counters().portReads, 2u);
}

TEST(SerialTransfer, ByteBlasterReadsFloatingBusyAsAllOnes) {
    // No chip on the cable: BUSY floats high, the port presents status bit 7 as 0, and
    // the inverted MISO rule turns every sample into 1.
    auto rig = Ready("byteblaster", kFamilyAvr);
    EXPECT_EQ(rig->engine.ReceiveByte(), 0xFF);
}

// Whole instructions through every cable into a simulated chip and its answer back.
TEST(SerialTransfer, RoundTripThroughEveryCableIntoAnAvr) {
    for (const char* cable : {"plain", "stk200", "xilinx", "lattice", "byteblaster"}) {
        SCOPED_TRACE(cable);
        auto rig = Ready(cable, kFamilyAvr, 1, "mega8");
        rig->engine.ResetTarget();
        rig->engine.SendByte(0xAC);
        rig->engine.SendByte(0x53);
        EXPECT_EQ(rig->engine.ReceiveByte(), 0x53);
        rig->engine.SendByte(0x00);
        const std::uint8_t expected[3] = {0x1E, 0x93, 0x07};
        for (std::uint8_t i = 0; i < 3; ++i) {
            rig->engine.SendByte(0x30);
            rig->engine.SendByte(0x00);
            rig->engine.SendByte(i);
            EXPECT_EQ(rig->engine.ReceiveByte(), expected[i]);
        }
    }
}

TEST(SerialTransfer, RoundTripThroughBothCablesIntoAn89S52) {
    for (const char* cable : {"stk200", "byteblaster"}) {
        SCOPED_TRACE(cable);
        auto rig = Ready(cable, kFamily89S5x, 10, "89S52");
        rig->engine.ResetTarget();
        rig->engine.SendByte(0xAC);
        rig->engine.SendByte(0x53);
        rig->engine.SendByte(0x00);
        EXPECT_EQ(rig->engine.ReceiveByte(), 0x69);
        rig->engine.SendByte(0x28);
        rig->engine.SendByte(0x01);
        rig->engine.SendByte(0x00);
        EXPECT_EQ(rig->engine.ReceiveByte(), 0x52);
    }
}

}  // namespace
}  // namespace velkor
