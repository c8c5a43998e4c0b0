// The driver reaches only the parallel ports' register blocks: requests naming any other port
// are refused before a line moves, and the permission map the kernel glue installs opens the
// same ports and no other.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "driver/dispatch.h"
#include "driver/port_guard.h"
#include "fake_port.h"
#include "protocol/tarnel_protocol.h"

namespace velkor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kBases[] = {0x378, 0x278, 0x3BC};

Bytes Fields(std::initializer_list<std::uint32_t> fields) {
    Bytes bytes(fields.size() * 4);
    std::size_t offset = 0;
    for (std::uint32_t f : fields) {
        TarnelPutU32(bytes.data(), offset, f);
        offset += 4;
    }
    return bytes;
}

class Guard : public ::testing::Test {
  protected:
    DriverParams params_{};
    FakePort port_;
    TarnelPortIo io_ = port_.Io();

    std::uint32_t Send(std::uint32_t code, Bytes& buffer) {
        std::uint32_t count = 0xDEAD;
        const auto length = static_cast<std::uint32_t>(buffer.size());
        return TarnelDispatchControl(&params_, &io_, code, buffer.data(), length, length, &count);
    }

    // A refusal: invalid parameter, the buffer as it was sent, no port touched.
    void ExpectRefused(std::uint32_t code, Bytes buffer) {
        const Bytes sent = buffer;
        port_.Clear();
        EXPECT_EQ(Send(code, buffer), TARNEL_STATUS_INVALID_PARAMETER);
        EXPECT_EQ(buffer, sent);
        EXPECT_TRUE(port_.log.empty());
    }

    // Sends each byte and page command once; true when every one was served.
    bool EveryCommandServed() {
        Bytes writeByte = Fields({TARNEL_MEMORY_EEPROM, 0x12, 0x34});
        Bytes page = Fields({0x100, 0xA1A2});
        page.resize(TARNEL_WRITE_PAGE_HEADER_LENGTH + params_.page_size);
        Bytes readByte = Fields({TARNEL_MEMORY_SIGNATURE, 0, 0});
        Bytes readPage(TARNEL_READ_PAGE_LENGTH, 0);
        return Send(IOCTL_TARNEL_WRITE_BYTE, writeByte) == TARNEL_STATUS_SUCCESS &&
               Send(IOCTL_TARNEL_WRITE_PAGE, page) == TARNEL_STATUS_SUCCESS &&
               Send(IOCTL_TARNEL_READ_BYTE, readByte) == TARNEL_STATUS_SUCCESS &&
               Send(IOCTL_TARNEL_READ_PAGE, readPage) == TARNEL_STATUS_SUCCESS;
    }
};

TEST_F(Guard, PortCodesReachTheThreeRegistersOfEachBlockAndNothingElse) {
    for (std::uint16_t base : kBases) {
        for (std::uint16_t port = base; port < base + 3; ++port) {
            port_.Clear();
            Bytes read = Fields({port, 0});
            Bytes write = Fields({port, 0x5A});
            EXPECT_EQ(Send(IOCTL_TARNEL_READ_PORT, read), TARNEL_STATUS_SUCCESS) << port;
            EXPECT_EQ(Send(IOCTL_TARNEL_WRITE_PORT, write), TARNEL_STATUS_SUCCESS) << port;
            EXPECT_EQ(port_.log, (std::vector<PortAccess>{In(port), Out(port, 0x5A)}));
        }
        for (std::uint32_t outside : {base - 1u, base + 3u}) {
            SCOPED_TRACE(outside);
            ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({outside, 0x77}));
            ExpectRefused(IOCTL_TARNEL_WRITE_PORT, Fields({outside, 0x5A}));
        }
    }
    // The POST code port, the interrupt controller, a disk controller, a PCI card's block not
    // admitted today, the ends of the range, and a wide address whose low 16 bits are 0x80.
    for (std::uint32_t outside : {0x80u, 0x20u, 0x1F0u, 0xD010u, 0u, 0xFFFFu, 0x10080u}) {
        SCOPED_TRACE(outside);
        ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({outside, 0x77}));
        ExpectRefused(IOCTL_TARNEL_WRITE_PORT, Fields({outside, 0x5A}));
    }
}

TEST_F(Guard, SetParamsWithABaseOutsideTheBlocksKeepsTheEarlierParameters) {
    Bytes good = Fields({8, 0x3BC, 1, 4, TARNEL_FAMILY_AT89S5X, 1});
    ASSERT_EQ(Send(IOCTL_TARNEL_SET_PARAMS, good), TARNEL_STATUS_SUCCESS);
    const DriverParams stored = params_;
    // Inside a block but not its start: the status register would become the data register.
    for (std::uint32_t bad : {0x80u, 0x3BDu, 0x37Au, 0x3BBu, 0u, 0xD010u}) {
        SCOPED_TRACE(bad);
        ExpectRefused(IOCTL_TARNEL_SET_PARAMS, Fields({11, bad, 2, 8, TARNEL_FAMILY_AVR, 100}));
        EXPECT_EQ(params_.port_base, stored.port_base);
        EXPECT_EQ(params_.cable_kind, stored.cable_kind);
        EXPECT_EQ(params_.family, stored.family);
        EXPECT_EQ(params_.page_size, stored.page_size);
    }
    // The commands still shift on the earlier base's data and status registers.
    port_.Clear();
    EXPECT_TRUE(EveryCommandServed());
    ASSERT_FALSE(port_.log.empty());
    for (const PortAccess& a : port_.log) EXPECT_TRUE(a.port == 0x3BC || a.port == 0x3BD) << a;
}

TEST_F(Guard, CommandsWithoutAnAllowedBaseTouchNoPort) {
    // Straight after load: nothing stored yet.
    const std::uint32_t commands[] = {IOCTL_TARNEL_WRITE_BYTE, IOCTL_TARNEL_WRITE_PAGE,
                                      IOCTL_TARNEL_READ_BYTE, IOCTL_TARNEL_READ_PAGE};
    for (std::uint32_t code : commands) ExpectRefused(code, Bytes(TARNEL_READ_PAGE_LENGTH, 0));
    // A wired cable with a delay on a base no request could have stored would otherwise shift
    // on port 0x80 and 0x81.
    params_ = DriverParams{8, 0x80, 1, 2, TARNEL_FAMILY_AVR, 1};
    for (std::uint32_t code : commands) ExpectRefused(code, Bytes(TARNEL_READ_PAGE_LENGTH, 0));
    params_.port_base = 0x278;
    EXPECT_TRUE(EveryCommandServed());
}

// A port card's base configured at install is admitted as a fourth block, with the same
// bounds as the others; a base that would reach the system board's or the PCI configuration
// ports is refused and admits nothing, not even an earlier card.
TEST_F(Guard, AConfiguredCardBaseIsAdmittedAndNothingBeyondIt) {
    ASSERT_EQ(TarnelAdmitExtraBase(0xD010), 1);
    for (std::uint32_t port = 0xD010; port < 0xD013; ++port) {
        Bytes read = Fields({port, 0});
        EXPECT_EQ(Send(IOCTL_TARNEL_READ_PORT, read), TARNEL_STATUS_SUCCESS) << port;
    }
    ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xD013, 0}));
    ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xD00F, 0}));
    Bytes params = Fields({8, 0xD010, 1, 4, TARNEL_FAMILY_AVR, 1});
    EXPECT_EQ(Send(IOCTL_TARNEL_SET_PARAMS, params), TARNEL_STATUS_SUCCESS);
    Bytes map(TARNEL_IO_MAP_BYTES, 0xFF);
    TarnelFillIoMap(map.data());
    EXPECT_EQ(map[0xD010 / 8], 0xF8);  // 0xD010..0xD012 open, 0xD013.. closed

    for (std::uint32_t bad : {0x80u, 0xFFu, 0xFFFEu, 0x10000u, 0xCF6u, 0xCFCu}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(TarnelAdmitExtraBase(bad), 0);
        ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xD010, 0}));
        ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({bad & 0xFFFFu, 0}));
    }
    EXPECT_EQ(TarnelAdmitExtraBase(0xCF5), 1);  // ends at 0xCF7, just short of them
    EXPECT_EQ(TarnelAdmitExtraBase(0x378), 1);  // a standard block: nothing more to open
    ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xCF5, 0}));
    EXPECT_EQ(TarnelAdmitExtraBase(0), 0);  // back to the three blocks for the other tests
}

TEST(GuardIoMap, OpensExactlyTheNineRegisters) {
    Bytes map(TARNEL_IO_MAP_BYTES, 0);
    TarnelFillIoMap(map.data());
    std::vector<std::uint32_t> open;
    for (std::uint32_t port = 0; port < TARNEL_IO_MAP_BYTES * 8; ++port) {
        if (((map[port / 8] >> (port % 8)) & 1) == 0) open.push_back(port);
    }
    EXPECT_EQ(open, (std::vector<std::uint32_t>{0x278, 0x279, 0x27A, 0x378, 0x379, 0x37A, 0x3BC,
                                                0x3BD, 0x3BE}));
}

}  // namespace
}  // namespace velkor::test
