// The driver path when device calls fail part-way (the device goes away, its handle is
// closed): every failure reaches the engine, and the run fails saying how many there were.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "driverclient/channel_driver_access.h"
#include "driverclient/in_process_channel.h"
#include "hosting/sim_port.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

// The in-process driver that stops answering from its Nth call on (counted from 0).
class FailingChannel : public DriverChannel {
  public:
    FailingChannel(DriverChannel& inner, std::uint64_t failFrom)
        : inner_(inner), failFrom_(failFrom) {}
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override {
        if (calls_++ >= failFrom_) {
            *bytesReturned = 0;
            return false;
        }
        return inner_.Control(code, buffer, length, bytesReturned);
    }
    std::uint64_t Calls() const { return calls_; }

  private:
    DriverChannel& inner_;
    std::uint64_t failFrom_;
    std::uint64_t calls_ = 0;
};

struct FailingRig {
    FailingRig(const char* chipName, std::uint64_t failFrom)
        : rig({.chip = chipName}),
          io(rig.Machine()),
          inner(io),
          channel(inner, failFrom),
          access(channel) {
        IspProgrammer& e = rig.engine;
        e.Backend().BindDriver(&access);
        e.SetUseDriver(true);
        Edit(e)->targetFamily = rig.bench->ChipFamily();
        Edit(e)->chipIndex = static_cast<std::uint32_t>(std::max(rig.bench->ChipRow(), 0));
        std::mt19937 random(3);
        for (std::uint32_t i = 0; i < 2000; ++i) {
            PokeImage(e, ImageKind::kFlash, i, static_cast<std::uint8_t>(random()));
        }
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.verify = 1;
    }
    test::SimRig rig;
    SimPortIo io;
    InProcessChannel inner;
    FailingChannel channel;
    ChannelDriverAccess access;
};

TEST(DeviceCallFailure, EachAccessAnswersWithTheChannelsResult) {
    test::SimRig rig({.chip = "mega8"});
    SimPortIo io(rig.Machine());
    InProcessChannel inner(io);
    std::uint8_t value = 0;
    std::uint8_t page[256] = {};
    for (const bool works : {true, false}) {
        SCOPED_TRACE(works);
        FailingChannel channel(inner, works ? 100 : 0);
        ChannelDriverAccess access(channel);
        EXPECT_EQ(access.ReadPort(0x379, &value), works);
        EXPECT_EQ(access.WritePort(0x378, 0), works);
        EXPECT_EQ(access.SetParams(kCableStk200, 0x378, 1, 64, kFamilyAvr), works);
        EXPECT_EQ(access.ReadByte(kMemFlash, 0, &value), works);
        EXPECT_EQ(access.WriteByte(kMemEeprom, 0, 1), works);
        EXPECT_EQ(access.WritePage(0, 64, page), works);
        EXPECT_EQ(access.ReadPage(0, page), works);
    }
}

// Failures from the middle of the flash write on, and from the very last call (the release
// of the cable lines after the sequence has finished): both runs fail and end by saying how
// many calls failed.
TEST(DeviceCallFailure, ARunWithFailedCallsFailsAndCountsThem) {
    std::uint64_t total = 0;
    {
        FailingRig good("mega8", ~0ull);
        ASSERT_EQ(good.rig.engine.ProgramCommand(), kSeqDone) << good.rig.engine.LogText();
        EXPECT_EQ(good.rig.engine.FailedDriverCalls(), 0u);
        total = good.channel.Calls();
    }
    for (const std::uint64_t failFrom : {total / 2, total - 1}) {
        SCOPED_TRACE(failFrom);
        FailingRig cut("mega8", failFrom);
        IspProgrammer& e = cut.rig.engine;
        const int result = e.ProgramCommand();
        EXPECT_NE(result, kSeqDone);
        const std::uint64_t failed = cut.channel.Calls() - failFrom;
        EXPECT_EQ(e.FailedDriverCalls(), failed);
        const std::vector<std::string> lines = cut.rig.LogLines();
        EXPECT_EQ(lines.back(),
                  "有 " + std::to_string(failed) + " 次驱动调用失败, 本次操作结果不可信.\r\n");
        if (failFrom == total - 1) {
            // The steps themselves were done; the release that followed them was not.
            EXPECT_EQ(result, kSeqDriverCallsFailed);
            EXPECT_EQ(failed, 1u);
            EXPECT_EQ(lines.end()[-3], "完成.\r\n");
        } else {
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "完成.\r\n"), 0);
        }
    }
}

// Verify alone on the driver path reads through the driver's byte read (AVR) and page read
// (89S52): a blank chip differs at the first programmed byte.
TEST(DeviceCallFailure, VerifyAloneReadsBackThroughTheDriver) {
    for (const char* chip : {"mega8", "89S52"}) {
        SCOPED_TRACE(chip);
        FailingRig d(chip, ~0ull);
        IspProgrammer& e = d.rig.engine;
        Edit(e)->commands = ProgramCommandSet{};
        Edit(e)->commands.verify = 1;
        SetImageLength(e, ImageKind::kFlash, 2000);
        EXPECT_EQ(e.ProgramCommand(), kSeqFlashFailed);
        const std::string expected =
            e.Settings().targetFamily == kFamily89S5x ? "在 0000:页比较失败\n" : "在 0000:";
        EXPECT_TRUE(d.rig.LogLines().end()[-2].starts_with(expected)) << e.LogText();
        EXPECT_GT(d.inner.CallsByCode()[e.Settings().targetFamily == kFamily89S5x ? 6 : 5], 0u);
    }
}

}  // namespace
}  // namespace velkor
