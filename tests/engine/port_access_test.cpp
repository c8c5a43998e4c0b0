#include <gtest/gtest.h>

#include "engine/isp_programmer.h"
#include "hosting/sim_bench.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
namespace {

using test::SimRig;

TEST(PortAccess, EachCableIsIdentifiedWithItsDeviceLine) {
    struct Case {
        const char* cable;
        std::uint8_t kind;
        const char* line;
    };
    const Case cases[] = {
        {"stk200", kCableStk200, "设备:STK200/STK300 .\r\n"},
        {"xilinx", kCableXilinx, "设备:Xilinx下载线 .\r\n"},
        {"lattice", kCableLattice, "设备:Lattice下载线.\r\n"},
        {"byteblaster", kCableByteBlaster, "设备:Altera ByteBlasterMV .\r\n"},
        {"plain", kCableUnnamed, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cable);
        SimRig rig({.cable = c.cable});
        EXPECT_EQ(rig.engine.OpenPort(), 0);
        EXPECT_EQ(rig.engine.Cable(), c.kind);
        EXPECT_EQ(rig.engine.PortSearch().cableKind, c.kind);
        EXPECT_EQ(rig.engine.PortSearch().result, kPortReady);
        EXPECT_EQ(rig.engine.LogText(), c.line);
        EXPECT_EQ(rig.engine.PortBase(), 0x378);
        EXPECT_EQ(rig.engine.DelayCount(), 6);  // copied from the request
    }
}

TEST(PortAccess, MissingPowerIsReportedAfterTheDeviceLineExceptOnTheByteBlaster) {
    SimRig stk({.cable = "stk200", .targetPower = false});
    EXPECT_EQ(stk.engine.OpenPort(), 1);
    EXPECT_EQ(stk.engine.PortSearch().result, kPortNoPower);
    EXPECT_EQ(stk.engine.LogText(), "设备:STK200/STK300 .\r\n没有正常供电.\r\n");
    EXPECT_EQ(stk.engine.Cable(), kCableStk200);  // stays set until the release

    SimRig unnamed({.cable = "plain", .targetPower = false});
    EXPECT_EQ(unnamed.engine.OpenPort(), 1);
    EXPECT_EQ(unnamed.engine.LogText(), "没有正常供电.\r\n");

    // The ByteBlasterMV has no supply sense: it is ready as soon as its loopback matches, and
    // its control register holds 0x02 until the release writes 0x00.
    SimRig bb({.cable = "byteblaster", .targetPower = false});
    EXPECT_EQ(bb.engine.OpenPort(), 0);
    EXPECT_EQ(bb.Machine().CablePort()->Control(), 0x02);
    bb.engine.ReleasePort();
    EXPECT_EQ(bb.Machine().CablePort()->Control(), 0x00);
    EXPECT_EQ(bb.engine.Cable(), 0);
    EXPECT_EQ(bb.engine.PortSearch().cableKind, kCableByteBlaster);
}

TEST(PortAccess, XilinxLoopbackWinsOverLatticeBecauseItIsTestedFirst) {
    // Both cables loop D6 to PAPER END; only the Xilinx cable also loops it to BUSY.
    SimRig xilinx({.cable = "xilinx"});
    xilinx.engine.OpenPort();
    EXPECT_EQ(xilinx.engine.Cable(), kCableXilinx);
    SimRig lattice({.cable = "lattice"});
    lattice.engine.OpenPort();
    EXPECT_EQ(lattice.engine.Cable(), kCableLattice);
}

TEST(PortAccess, SearchGoesRoundFromTheRememberedPortAndNamesTheLastOneTried) {
    SimRig rig({.cable = "", .base = 0});
    rig.engine.SetPortSearchStart(2);  // LPT3
    rig.Machine().EnableTrace(true);
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.LogText(), " LPT2(0x278) 端口不存在\n");
    EXPECT_EQ(rig.engine.PortSearch().result, kPortMissing);
    EXPECT_EQ(rig.engine.PortSearch().lptIndex, 1);
    std::vector<std::uint16_t> controlWrites;
    for (const auto& e : rig.Machine().Trace()) {
        if (e.write && (e.address & 0xF) == 0xA) controlWrites.push_back(e.address);
        if (e.write && e.address == 0x3BE) controlWrites.push_back(e.address);
    }
    EXPECT_EQ(controlWrites, (std::vector<std::uint16_t>{0x3BE, 0x37A, 0x27A}));
}

TEST(PortAccess, PortFoundLaterIsRememberedForTheNextSearch) {
    SimRig rig({.cable = "stk200", .base = 0x278});
    EXPECT_EQ(rig.engine.OpenPort(), 0);
    EXPECT_EQ(rig.engine.PortSearch().lptIndex, 1);
    EXPECT_EQ(rig.engine.PortBase(), 0x278);
    rig.Machine().ResetCounters();
    EXPECT_EQ(rig.engine.OpenPort(), 0);
    // Found straight away: one port check (2 reads) plus the cable tests.
    EXPECT_LT(rig.Machine().Counters().portReads, 12u);
}

TEST(PortAccess, AReadBackThatFailsOnlyFor0x40CountsAsNoPort) {
    SimRig rig({.cable = "stk200", .portMode = sim::PortMode::kReadbackFault});
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.LogText(), " LPT3(0x3BC) 端口不存在\n");
}

TEST(PortAccess, PortWithoutCableNamesThePort) {
    SimRig rig({.cable = ""});
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.PortSearch().result, kPortNoCable);
    EXPECT_EQ(rig.engine.PortSearch().cableKind, 0);
    EXPECT_EQ(rig.engine.LogText(), "无法找到适用的ISP下载线 LPT1.\n");
}

TEST(PortAccess, NoCounterStopsBeforeTouchingThePortAndDelaysReturnAtOnce) {
    SimBenchOptions options;
    options.timing.counterFrequency = 0;
    SimRig rig(options);
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.PortSearch().result, kPortNoCounter);
    EXPECT_EQ(rig.engine.LogText(), "不支持精确时钟.\r\n");
    EXPECT_EQ(rig.Machine().Counters().portWrites, 0u);
    rig.engine.DelayMs(30);
    EXPECT_EQ(rig.Machine().Counters().counterReads, 2u);
}

TEST(PortAccess, DelayWaitsOnTheCounterAndZeroReadsItOnceMore) {
    SimRig rig;
    const std::uint64_t before = rig.Machine().NowNs();
    rig.engine.DelayMs(30);
    EXPECT_GE(rig.Machine().NowNs() - before, 30'000'000u);
    EXPECT_LT(rig.Machine().NowNs() - before, 30'010'000u);
    rig.Machine().ResetCounters();
    rig.engine.DelayMs(0);
    EXPECT_EQ(rig.Machine().Counters().counterReads, 2u);  // the start, then one past it
}

TEST(PortAccess, PortWaitIsDelayCountReadsOrTheirTimeOnTheCounter) {
    SimRig reads;
    Edit(reads.engine)->timedPortWaits = false;
    reads.engine.OpenPort();
    reads.engine.SetDelayCount(5);
    reads.Machine().ResetCounters();
    reads.engine.PortWait();
    EXPECT_EQ(reads.Machine().Counters().portReads, 5u);
    reads.engine.SetDelayCount(0);
    reads.engine.PortWait();
    EXPECT_EQ(reads.Machine().Counters().portReads, 5u);

    // Timed: the first wait after a port search measures the reads (four samples of 16), the
    // others only read the counter, and none is shorter than its reads would be.
    SimRig timed;
    auto waitNs = [&] {
        timed.Machine().ResetCounters();
        const std::uint64_t start = timed.Machine().NowNs();
        timed.engine.PortWait();
        EXPECT_EQ(timed.Machine().Counters().portWrites, 0u);
        return timed.Machine().NowNs() - start;
    };
    for (const std::uint64_t readNs : {1000u, 4000u}) {  // a slower port found by a new search
        SCOPED_TRACE(readNs);
        timed.Machine().Timing().portAccessNs = readNs;
        timed.engine.OpenPort();
        timed.engine.SetDelayCount(5);
        waitNs();
        EXPECT_EQ(timed.Machine().Counters().portReads, 64u);
        const std::uint64_t ns = waitNs();
        EXPECT_EQ(timed.Machine().Counters().portReads, 0u);
        EXPECT_GE(ns, 5 * readNs);
        EXPECT_LE(ns, 5 * readNs + 4000);
    }
    timed.engine.SetDelayCount(0);
    EXPECT_EQ(waitNs(), 0u);
}

TEST(PortAccess, TimedWaitsReadOnACoarseCounterAndSkipAPreemptedSample) {
    SimBenchOptions coarse;
    coarse.timing.counterFrequency = 100'000;  // 10 us a tick: sixteen reads take one or two
    SimRig rig(coarse);
    rig.engine.OpenPort();
    rig.engine.SetDelayCount(5);
    rig.engine.PortWait();
    rig.Machine().ResetCounters();
    rig.engine.PortWait();
    EXPECT_EQ(rig.Machine().Counters().portReads, 5u);

    // The thread loses 10 ms inside the first sample: the waits keep the time of a read.
    SimRig preempted;
    preempted.engine.OpenPort();
    preempted.engine.SetDelayCount(1);
    preempted.Machine().AfterAccesses(3, [](sim::SimMachine& m) { m.AdvanceNs(10'000'000); });
    preempted.engine.PortWait();
    const std::uint64_t start = preempted.Machine().NowNs();
    preempted.engine.PortWait();
    EXPECT_LT(preempted.Machine().NowNs() - start, 10'000u);
}

TEST(PortAccess, ReleasedStatesPerCableAndFamily) {
    struct Case {
        const char* cable;
        std::uint32_t family;
        std::vector<std::uint8_t> writes;
        std::uint64_t waits;
    };
    const Case cases[] = {
        {"plain", kFamilyAvr, {0x00}, 0},     {"stk200", kFamilyAvr, {0x0C, 0x8C}, 3},
        {"stk200", kFamily89S5x, {0x0C}, 2},  {"xilinx", kFamilyAvr, {0x18}, 0},
        {"lattice", kFamily89S5x, {0x08}, 0}, {"byteblaster", kFamilyAvr, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cable) + " family " + std::to_string(c.family));
        SimRig rig({.cable = c.cable});
        Edit(rig.engine)->timedPortWaits = false;  // each wait one read, counted
        rig.engine.OpenPort();
        Edit(rig.engine)->targetFamily = c.family;
        rig.engine.SetDelayCount(1);
        rig.Machine().EnableTrace(true);
        rig.Machine().ResetCounters();
        rig.engine.ReleasePort();
        EXPECT_EQ(rig.DataWrites(), c.writes);
        EXPECT_EQ(rig.Machine().Counters().portReads, c.waits);
        EXPECT_EQ(rig.engine.Cable(), 0);
    }
}

TEST(PortAccess, DriverPathWithoutADeviceReadsAFixedValueAndFindsNoPort) {
    SimRig rig({.cable = "stk200"});
    rig.engine.SetUseDriver(true);  // no driver bound: every call fails
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.PortSearch().result, kPortMissing);
    EXPECT_EQ(rig.Machine().Counters().portWrites, 0u);
}

class RefusedPorts : public PortIo {
  public:
    std::uint8_t In(std::uint16_t) override { return 0xFF; }
    void Out(std::uint16_t, std::uint8_t) override {}
    LogLine AccessProblem() override { return Msg::kDirectUnsupported; }
};

TEST(PortAccess, RefusedPortAccessIsExplainedBeforePortMissing) {
    SimRig rig;
    RefusedPorts refused;
    rig.engine.Backend().BindDirect(&refused);
    EXPECT_EQ(rig.engine.OpenPort(), 1);
    EXPECT_EQ(rig.engine.LogText(),
              "本平台不支持直接执行端口指令; 请使用 ppdev 或驱动.\r\n LPT3(0x3BC) 端口不存在\n");
}

// The unnamed cable's buffer is enabled by D3 high: the search leaves it enabled.
TEST(PortAccess, TheUnnamedCableIsLeftWithItsBufferEnabled) {
    SimRig rig({.cable = "plain"});
    EXPECT_EQ(rig.engine.OpenPort(), 0);
    EXPECT_EQ(rig.engine.ReadPort(0x378), 0x08);
}

}  // namespace
}  // namespace velkor
