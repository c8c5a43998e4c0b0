// The program's side of the driver: the request buffers its wrappers build, and whole
// programming runs that go through the protocol to the driver's own serial engine.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "app/speed_dialog_presenter.h"
#include "devices/chip_table.h"
#include "driverclient/channel_driver_access.h"
#include "driverclient/driver_wrappers.h"
#include "driverclient/in_process_channel.h"
#include "hosting/sim_port.h"
#include "protocol/tarnel_protocol.h"
#include "tests/support/sim_rig.h"

namespace velkor {
using test::Edit;
using test::PokeImage;
using test::SetImageLength;
namespace {

// Records each request and answers with a scripted buffer change and result.
class ScriptedChannel : public DriverChannel {
  public:
    struct Request {
        std::uint32_t code;
        std::vector<std::uint8_t> buffer;
    };
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override {
        requests.push_back({code, std::vector<std::uint8_t>(buffer, buffer + length)});
        if (answer) answer(buffer, length);
        *bytesReturned = succeed ? length : 0;
        return succeed;
    }
    std::vector<Request> requests;
    std::function<void(std::uint8_t*, std::uint32_t)> answer;
    bool succeed = true;
};

TEST(DriverClient, WrappersLayTheirFieldsOutLittleEndian) {
    ScriptedChannel channel;
    DriverSetParams(channel, 11, 0x278, 7, 128, 1);
    DriverWriteByte(channel, 2, 0x12345, 0xA5);
    const std::uint8_t page[4] = {1, 2, 3, 4};
    DriverWritePage(channel, 0x100, page, 4);
    ASSERT_EQ(channel.requests.size(), 3u);
    EXPECT_EQ(channel.requests[0].code, 0xF0003C08u);
    EXPECT_EQ(channel.requests[0].buffer,
              (std::vector<std::uint8_t>{11,  0, 0, 0, 0x78, 2, 0, 0, 7,   0, 0, 0,
                                         128, 0, 0, 0, 1,    0, 0, 0, 100, 0, 0, 0}));
    EXPECT_EQ(channel.requests[1].buffer,
              (std::vector<std::uint8_t>{2, 0, 0, 0, 0x45, 0x23, 1, 0, 0xA5, 0, 0, 0}));
    EXPECT_EQ(channel.requests[2].code, 0xF0003C10u);
    EXPECT_EQ(channel.requests[2].buffer, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 2, 3, 4}));
}

TEST(DriverClient, ReadsTakeTheLowByteAndAFailedReadGivesTheUndrivenBus) {
    ScriptedChannel channel;
    channel.answer = [](std::uint8_t* b, std::uint32_t) { TarnelPutU32(b, 4, 0xFFFFFF80u); };
    EXPECT_EQ(DriverReadPort(channel, 0x379), 0x80);
    channel.answer = nullptr;
    channel.succeed = false;
    EXPECT_EQ(DriverReadPort(channel, 0x379), 0xFF);
    EXPECT_EQ(DriverReadByte(channel, 0, 10), 0xFF);
}

TEST(DriverClient, OnlyASuccessfulPageReadIsCopied) {
    ScriptedChannel channel;
    channel.answer = [](std::uint8_t* b, std::uint32_t n) { std::memset(b + 4, 0x5A, n - 4); };
    std::vector<std::uint8_t> page(256, 0x00);
    EXPECT_TRUE(DriverReadPage(channel, 0x200, page.data(), 256));
    EXPECT_EQ(channel.requests[0].buffer.size(), 260u);
    EXPECT_EQ(page[255], 0x5A);
    channel.succeed = false;
    std::vector<std::uint8_t> untouched(256, 0x11);
    EXPECT_FALSE(DriverReadPage(channel, 0x200, untouched.data(), 256));
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(256, 0x11));
}

// A simulated bench whose engine reaches the port only through the driver protocol.
struct DriverRig {
    explicit DriverRig(SimBenchOptions options)
        : rig(options), io(rig.Machine()), channel(io), access(channel) {
        rig.engine.Backend().BindDriver(&access);
        rig.engine.SetUseDriver(true);
        Edit(rig.engine)->targetFamily = rig.bench->ChipFamily();
        Edit(rig.engine)->chipIndex = static_cast<std::uint32_t>(std::max(rig.bench->ChipRow(), 0));
    }
    std::uint64_t Calls(std::uint32_t code) const {
        return channel.CallsByCode()[(code - IOCTL_TARNEL_READ_PORT) / 4];
    }
    test::SimRig rig;
    SimPortIo io;
    InProcessChannel channel;
    ChannelDriverAccess access;
};

TEST(DriverClient, WholeRunsGoThroughTheProtocolAndLeaveTheImageInTheChip) {
    for (const char* chip : {"mega8", "90S2313", "89S52", "tiny13"}) {
        SCOPED_TRACE(chip);
        DriverRig d({.chip = chip});
        IspProgrammer& e = d.rig.engine;
        const bool at89 = e.Settings().targetFamily == kFamily89S5x;
        const std::uint32_t size = at89 ? e.At89Record().flashSize : e.AvrRecord().flashSize;
        std::mt19937 random(5);
        for (std::uint32_t i = 0; i < size; ++i)
            PokeImage(e, ImageKind::kFlash, i, static_cast<std::uint8_t>(random()));
        SetImageLength(e, ImageKind::kEeprom, at89 ? 0 : 32);
        for (int i = 0; i < 32; ++i)
            PokeImage(e, ImageKind::kEeprom, i, static_cast<std::uint8_t>(i * 3));
        Edit(e)->commands.erase = 1;
        Edit(e)->commands.writeFlash = 1;
        Edit(e)->commands.verify = 1;
        Edit(e)->commands.writeEeprom = 1;
        ASSERT_EQ(e.ProgramCommand(), kSeqDone) << e.LogText();
        const auto& flash = at89 ? d.rig.bench->At89()->Flash() : d.rig.bench->Avr()->Flash();
        EXPECT_TRUE(std::equal(flash.begin(), flash.end(), e.FlashImage().begin()));
        EXPECT_EQ(d.Calls(IOCTL_TARNEL_SET_PARAMS), 1u);
        const std::uint32_t page = at89 ? 256 : e.AvrRecord().pageSize;
        if (page != 0) {
            EXPECT_EQ(d.Calls(IOCTL_TARNEL_WRITE_PAGE), size / page);
        } else {
            EXPECT_GT(d.Calls(IOCTL_TARNEL_WRITE_BYTE), 0u);
        }
        if (at89) {
            EXPECT_EQ(d.Calls(IOCTL_TARNEL_READ_PAGE), size / 256);
        } else {
            EXPECT_GE(d.Calls(IOCTL_TARNEL_READ_BYTE), size);
            const auto& eeprom = d.rig.bench->Avr()->Eeprom();
            for (int i = 0; i < 32; ++i) EXPECT_EQ(eeprom[i], i * 3);
        }
        EXPECT_EQ(d.rig.Machine().Target()->LostInstructions(), 0u);
    }
}

TEST(DriverClient, AutomaticSelectionSendsTheNewPageSize) {
    DriverRig d({.chip = "mega128"});
    Edit(d.rig.engine)->chipIndex = 0;  // tiny13, 32-byte pages
    Edit(d.rig.engine)->commands.autoSelchip = 1;
    ASSERT_EQ(d.rig.engine.ProgramCommand(), kSeqDone);
    EXPECT_EQ(d.Calls(IOCTL_TARNEL_SET_PARAMS), 2u);
    EXPECT_EQ(d.channel.Params().page_size, 256);
    EXPECT_EQ(d.channel.Params().cable_kind, kCableStk200);
    EXPECT_EQ(d.channel.Params().port_base, 0x378);
    EXPECT_EQ(d.channel.Params().delay_count, 1);
}

// The slowest setting the speed option offers is served by the driver for either family:
// the driver's bound on waits lies at or above what the program produces.
TEST(DriverClient, TheSlowestSpeedTheOptionOffersIsServed) {
    for (const char* chip : {"mega8", "89S52"}) {
        SCOPED_TRACE(chip);
        DriverRig d({.chip = chip});
        Edit(d.rig.engine)->speedSelection = 1;
        Edit(d.rig.engine)->userPortDelay = kSpeedSliderMaximum;
        Edit(d.rig.engine)->commands.checkId = 1;
        EXPECT_EQ(d.rig.engine.ProgramCommand(), kSeqDone) << d.rig.engine.LogText();
        EXPECT_GE(d.channel.Params().delay_count, kSpeedSliderMaximum);
    }
}

TEST(DriverClient, ADriverPathWithoutADeviceReportsThePortMissing) {
    test::SimRig rig({.chip = "mega8"});
    ScriptedChannel dead;
    dead.succeed = false;
    ChannelDriverAccess access(dead);
    rig.engine.Backend().BindDriver(&access);
    rig.engine.SetUseDriver(true);
    EXPECT_EQ(rig.engine.ProgramCommand(), kSeqPortNotReady);
    EXPECT_EQ(rig.Machine().Counters().portWrites, 0u);
}

}  // namespace
}  // namespace velkor
