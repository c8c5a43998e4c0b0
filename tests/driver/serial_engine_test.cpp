// The driver's shifting routines against the cable line tables: exact port sequences for
// single bytes, and the instruction bytes that reach the target for each memory command.
#include "driver/serial_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fake_port.h"
#include "protocol/tarnel_protocol.h"

namespace velkor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kBase = 0x378;
constexpr std::uint16_t kStatus = kBase + 1;

DriverParams Params(std::uint8_t cable, std::uint16_t family, std::uint16_t delay = 0) {
    DriverParams p{};
    p.cable_kind = cable;
    p.port_base = kBase;
    p.delay_count = delay;
    p.family = family;
    return p;
}

// One row of the cable line tables, written out as the wiring gives it.
struct LineRow {
    std::uint16_t family;
    std::uint8_t cable;
    std::uint8_t bitOne;   // data value with SCK low sending a 1
    std::uint8_t bitZero;  // data value with SCK low sending a 0 (the rest value)
    std::uint8_t sck;
    std::uint8_t misoBit;
    bool misoInverted;
};

constexpr LineRow kRows[] = {
    {TARNEL_FAMILY_AVR, 7, 0x0A, 0x08, 0x01, 0x80, true},
    {TARNEL_FAMILY_AVR, 8, 0x20, 0x00, 0x10, 0x40, false},
    {TARNEL_FAMILY_AVR, 9, 0x11, 0x10, 0x02, 0x10, false},
    {TARNEL_FAMILY_AVR, 10, 0x01, 0x00, 0x02, 0x40, false},
    {TARNEL_FAMILY_AVR, 11, 0x40, 0x00, 0x01, 0x80, true},
    {TARNEL_FAMILY_AT89S5X, 8, 0xA0, 0x80, 0x10, 0x40, false},
    {TARNEL_FAMILY_AT89S5X, 11, 0x42, 0x02, 0x01, 0x80, true},
};

void PrintTo(const LineRow& row, std::ostream* os) {
    *os << "family " << row.family << " cable " << int{row.cable};
}

Wire WireOf(const LineRow& row) {
    return Wire{kBase, static_cast<std::uint8_t>(row.bitOne ^ row.bitZero), row.sck, row.misoBit,
                row.misoInverted};
}

std::vector<PortAccess> Waits(int count) {
    return std::vector<PortAccess>(static_cast<std::size_t>(count), In(kBase));
}

void Append(std::vector<PortAccess>& to, const std::vector<PortAccess>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// Consecutive accesses of one kind, counted; a read of any port but the data register yields
// no runs at all, so the comparison fails.
struct AccessRun {
    PortAccess::Kind kind;
    int count;
    bool operator==(const AccessRun&) const = default;
};

std::vector<AccessRun> Runs(const std::vector<PortAccess>& log, std::uint16_t dataPort) {
    std::vector<AccessRun> runs;
    for (const PortAccess& a : log) {
        if (a.kind == PortAccess::kIn && a.port != dataPort) return {};
        if (runs.empty() || runs.back().kind != a.kind) runs.push_back({a.kind, 0});
        ++runs.back().count;
    }
    return runs;
}

class LineRowTest : public ::testing::TestWithParam<LineRow> {};

TEST_P(LineRowTest, SendByteWritesEachBitWithAnSckPulseThenSettles) {
    const LineRow row = GetParam();
    const DriverParams params = Params(row.cable, row.family, 2);
    FakePort port;
    const TarnelPortIo io = port.Io();

    TarnelSendByte(&params, &io, 0xA6);  // 1010 0110

    std::vector<PortAccess> expected;
    std::uint8_t low = 0;
    for (int bit = 7; bit >= 0; --bit) {
        low = ((0xA6 >> bit) & 1) ? row.bitOne : row.bitZero;
        expected.push_back(Out(kBase, low));
        Append(expected, Waits(2));
        expected.push_back(Out(kBase, static_cast<std::uint8_t>(low | row.sck)));
        Append(expected, Waits(2));
    }
    expected.push_back(Out(kBase, low));
    Append(expected, Waits(2));
    EXPECT_EQ(port.Shape(), expected);
}

TEST_P(LineRowTest, ReceiveByteSamplesMisoBeforeEachRisingEdge) {
    const LineRow row = GetParam();
    const DriverParams params = Params(row.cable, row.family, 1);
    FakePort port;
    WireTarget target(port, WireOf(row), {0x5C});
    const TarnelPortIo io = port.Io();

    EXPECT_EQ(TarnelReceiveByte(&params, &io), 0x5C);

    // MOSI stays at 0 throughout: only the rest value and the SCK pulse appear.
    std::vector<PortAccess> expected{Out(kBase, row.bitZero)};
    for (int i = 0; i < 8; ++i) {
        expected.push_back(In(kStatus));
        expected.push_back(Out(kBase, static_cast<std::uint8_t>(row.bitZero | row.sck)));
        Append(expected, Waits(1));
        expected.push_back(Out(kBase, row.bitZero));
        Append(expected, Waits(1));
    }
    EXPECT_EQ(port.Shape(), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryWiredPair, LineRowTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<LineRow>& info) {
                             return std::string(info.param.family == TARNEL_FAMILY_AVR ? "Avr"
                                                                                       : "At89") +
                                    "Cable" + std::to_string(info.param.cable);
                         });

TEST(SendByte, StkCableWithOneReadPerHalfPeriod) {
    const DriverParams params = Params(8, TARNEL_FAMILY_AVR, 1);
    FakePort port;
    const TarnelPortIo io = port.Io();

    TarnelSendByte(&params, &io, 0xAC);

    const Bytes writes{0x20, 0x30, 0x00, 0x10, 0x20, 0x30, 0x00, 0x10, 0x20,
                       0x30, 0x20, 0x30, 0x00, 0x10, 0x00, 0x10, 0x00};
    std::vector<PortAccess> expected;
    for (std::uint8_t v : writes) {
        expected.push_back(Out(kBase, v));
        expected.push_back(In(kBase));
    }
    EXPECT_EQ(port.Shape(), expected);
}

TEST(SendByte, DelayCountZeroWritesBackToBack) {
    const DriverParams params = Params(8, TARNEL_FAMILY_AVR, 0);
    FakePort port;
    const TarnelPortIo io = port.Io();

    TarnelSendByte(&params, &io, 0xAC);

    EXPECT_EQ(port.log.size(), 17u);
    EXPECT_EQ(port.Writes().size(), 17u);
}

TEST(ReceiveByte, ByteBlasterReadsOnesWhileBusyReadsZero) {
    const DriverParams params = Params(11, TARNEL_FAMILY_AVR, 0);
    FakePort port;
    port.reader = [](std::uint16_t) -> std::uint8_t { return 0x00; };
    const TarnelPortIo io = port.Io();

    EXPECT_EQ(TarnelReceiveByte(&params, &io), 0xFF);
}

// Pairs without wiring: the zero parameters after load, 89S5x on cables that do not carry
// it, and values that are no cable or family at all.
TEST(UnwiredPair, SendOnlyWaitsAndReceiveTouchesNothing) {
    const DriverParams unwired[] = {
        Params(0, TARNEL_FAMILY_AVR, 3),     Params(7, TARNEL_FAMILY_AT89S5X, 3),
        Params(9, TARNEL_FAMILY_AT89S5X, 3), Params(10, TARNEL_FAMILY_AT89S5X, 3),
        Params(12, TARNEL_FAMILY_AVR, 3),    Params(8, 2, 3),
    };
    for (const DriverParams& params : unwired) {
        SCOPED_TRACE(::testing::Message()
                     << "cable " << int{params.cable_kind} << " family " << params.family);
        FakePort port;
        const TarnelPortIo io = port.Io();
        TarnelSendByte(&params, &io, 0x55);
        EXPECT_EQ(port.Shape(), Waits(3));

        port.Clear();
        EXPECT_EQ(TarnelReceiveByte(&params, &io), 0);
        EXPECT_TRUE(port.log.empty());
    }
}

class Commands : public ::testing::Test {
  protected:
    // AVR on the STK200 cable unless a test says otherwise.
    DriverParams params_ = Params(8, TARNEL_FAMILY_AVR);
    FakePort port_;
    WireTarget target_{port_, Wire{kBase, 0x20, 0x10, 0x40, false}, Bytes(300, 0)};
    TarnelPortIo io_ = port_.Io();

    // The STK200 cable carries 89S5x targets on the same MOSI, SCK and MISO bits.
    void UseAt89(std::vector<std::uint8_t> answers = {}) {
        params_.family = TARNEL_FAMILY_AT89S5X;
        target_.SetAnswers(std::move(answers));
    }
};

TEST_F(Commands, FlashWriteSkipsErasedValueUnlessForced) {
    EXPECT_EQ(TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x0100, 0xFF), 0);
    EXPECT_TRUE(port_.log.empty());

    EXPECT_EQ(TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_FLASH_FORCED, 0x0100, 0xFF), 0);
    EXPECT_EQ(TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x0101, 0x12), 0);
    EXPECT_EQ(target_.SentBytes(), (Bytes{0x40, 0x00, 0x80, 0xFF, 0x48, 0x00, 0x80, 0x12}));
}

TEST_F(Commands, EepromWriteUsesTheByteAddress) {
    EXPECT_EQ(TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_EEPROM, 0x0ABC, 0x5A), 0);
    EXPECT_EQ(target_.SentBytes(), (Bytes{0xC0, 0x0A, 0xBC, 0x5A}));
}

TEST_F(Commands, WriteOfUnknownKindSendsNothing) {
    EXPECT_EQ(TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_SIGNATURE, 0, 0), 1);
    EXPECT_EQ(TarnelWriteByte(&params_, &io_, -1, 0, 0), 1);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Commands, ReadByteInstructionsPerMemoryKind) {
    TarnelReadByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x1234);
    TarnelReadByte(&params_, &io_, TARNEL_MEMORY_EEPROM, 0x0ABC);
    TarnelReadByte(&params_, &io_, TARNEL_MEMORY_SIGNATURE, 2);
    EXPECT_EQ(target_.SentBytes(),
              (Bytes{0x20, 0x09, 0x1A, 0x00, 0xA0, 0x0A, 0xBC, 0x00, 0x30, 0x00, 0x02, 0x00}));
}

TEST_F(Commands, ReadOfUnknownKindAnswersFFWithoutPortAccess) {
    EXPECT_EQ(TarnelReadByte(&params_, &io_, TARNEL_MEMORY_FLASH_FORCED, 0x10), 0xFF);
    EXPECT_EQ(TarnelReadByte(&params_, &io_, 0x83, 0x10), 0xFF);
    EXPECT_TRUE(port_.log.empty());
}

TEST_F(Commands, AvrPageLoadsEachByteThenCommits) {
    // A page in the upper 64 KiB: the word address needs all of address bits 1 to 16.
    params_.page_size = 4;
    const Bytes page{0xD0, 0xD1, 0xD2, 0xD3, 0xEE, 0xEE};
    TarnelWritePage(&params_, &io_, 0x1FF00, page.data(), static_cast<std::uint32_t>(page.size()));
    EXPECT_EQ(target_.SentBytes(), (Bytes{0x40, 0xFF, 0x80, 0xD0, 0x48, 0xFF, 0x80, 0xD1,  //
                                          0x40, 0xFF, 0x81, 0xD2, 0x48, 0xFF, 0x81, 0xD3,  //
                                          0x4C, 0xFF, 0x80, 0x00}));
}

TEST_F(Commands, AvrPageOfSizeZeroOnlyCommits) {
    params_.page_size = 0;
    const std::uint8_t unused = 0;
    TarnelWritePage(&params_, &io_, 0x0200, &unused, 1);
    EXPECT_EQ(target_.SentBytes(), (Bytes{0x4C, 0x01, 0x00, 0x00}));
}

TEST_F(Commands, PageWriteNeverReadsPastTheDataItWasGiven) {
    params_.page_size = 256;
    const Bytes data{0x01, 0x02};
    TarnelWritePage(&params_, &io_, 0, data.data(), static_cast<std::uint32_t>(data.size()));
    EXPECT_EQ(target_.SentBytes(),
              (Bytes{0x40, 0x00, 0x00, 0x01, 0x48, 0x00, 0x00, 0x02, 0x4C, 0x00, 0x00, 0x00}));
}

TEST_F(Commands, At89PageWritePausesAfterEachDataByte) {
    UseAt89();
    params_.page_size = 3;
    params_.at89_byte_wait = 5;
    const Bytes page{0x11, 0x22, 0x33};
    TarnelWritePage(&params_, &io_, 0x0A00, page.data(), 3);

    EXPECT_EQ(target_.SentBytes(), (Bytes{0x50, 0x0A, 0x11, 0x22, 0x33}));
    // Delay count 0, so the only reads are the pauses: none after the instruction and the
    // address, five data-register reads after each data byte.
    const std::vector<AccessRun> expected{{PortAccess::kOut, 3 * 17}, {PortAccess::kIn, 5},
                                          {PortAccess::kOut, 17},     {PortAccess::kIn, 5},
                                          {PortAccess::kOut, 17},     {PortAccess::kIn, 5}};
    EXPECT_EQ(Runs(port_.log, kBase), expected);
}

TEST_F(Commands, At89PageWriteWithoutPauseSendsBytesBackToBack) {
    UseAt89();
    params_.page_size = 256;
    params_.at89_byte_wait = 0;
    Bytes page(256);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 3);
    TarnelWritePage(&params_, &io_, 0x1300, page.data(), 256);

    EXPECT_EQ(port_.log.size(), 258u * 17u);
    Bytes expected{0x50, 0x13};
    expected.insert(expected.end(), page.begin(), page.end());
    EXPECT_EQ(target_.SentBytes(), expected);
}

TEST_F(Commands, At89PageReadFillsTheWholePage) {
    Bytes answers(258);
    for (std::size_t i = 2; i < answers.size(); ++i) answers[i] = static_cast<std::uint8_t>(i * 7);
    UseAt89(answers);
    Bytes page(256, 0xCC);

    EXPECT_EQ(TarnelReadPage(&params_, &io_, 0x2A80, page.data()), 256);

    EXPECT_EQ(Bytes(answers.begin() + 2, answers.end()), page);
    Bytes sent{0x30, 0x2A};
    sent.resize(258, 0x00);
    EXPECT_EQ(target_.SentBytes(), sent);
}

TEST_F(Commands, PageCommandsOfAnotherFamilyTouchNothing) {
    Bytes page(256, 0xCC);
    EXPECT_EQ(TarnelReadPage(&params_, &io_, 0x0100, page.data()), 256);
    EXPECT_EQ(page, Bytes(256, 0xCC));

    params_.family = 2;
    params_.page_size = 16;
    TarnelWritePage(&params_, &io_, 0x0100, page.data(), 256);
    EXPECT_TRUE(port_.log.empty());
}

// Bit 0 of a flash byte address picks the high byte of the word through the opcode (0x28
// read, 0x48 write), and bits 1..16 form the word address, so the top byte of a 128 KiB part
// is word 0xFFFF.
TEST_F(Commands, OddFlashAddressesUseTheHighByteInstructions) {
    TarnelReadByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x1FFFF);
    TarnelReadByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x1FFFE);
    TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x1FFFF, 0x5A);
    TarnelWriteByte(&params_, &io_, TARNEL_MEMORY_FLASH, 0x1FFFE, 0xA5);
    EXPECT_EQ(target_.SentBytes(), (Bytes{0x28, 0xFF, 0xFF, 0x00, 0x20, 0xFF, 0xFF, 0x00,  //
                                          0x48, 0xFF, 0xFF, 0x5A, 0x40, 0xFF, 0xFF, 0xA5}));
}

}  // namespace
}  // namespace velkor::test
