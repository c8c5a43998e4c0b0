// The driver reaches only the parallel ports' register blocks: requests naming any other port
// are refused before a line moves, and a configured card base must be one a port card can
// have. It serves one owner at a time, and only the waits the program asks for.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver/dispatch.h"
#include "driver/port_guard.h"
#include "fake_port.h"
#include "files/settings.h"
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

    for (std::uint32_t bad : {0x80u, 0xFFu, 0xFFFEu, 0x10000u, 0xCF6u, 0xCFCu}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(TarnelAdmitExtraBase(bad), 0);
        ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xD010, 0}));
        ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({bad & 0xFFFFu, 0}));
    }
    EXPECT_EQ(TarnelAdmitExtraBase(0xCF0), 1);  // ends at 0xCF7, just short of them
    EXPECT_EQ(TarnelAdmitExtraBase(0x378), 1);  // a standard block: nothing more to open
    ExpectRefused(IOCTL_TARNEL_READ_PORT, Fields({0xCF0, 0}));
    EXPECT_EQ(TarnelAdmitExtraBase(0), 0);  // back to the three blocks for the other tests
}

// The card rule, stated plainly: a block of 8 ports from an 8-aligned base (0x3BC: 4 ports),
// within 0x100..0xFFFF, sharing no port with IDE, the display adapter (whose 0x3BC..0x3BF is
// the old printer port), the ELCR or the PCI configuration ports. Every base around each of
// those ranges, and around both ends, is judged alike by the driver and the settings reader.
TEST(GuardCardRule, BasesAroundEverySystemRangeFollowThePlainRule) {
    struct Range {
        std::uint32_t first, last;
    };
    const Range fixed[] = {{0x170, 0x177}, {0x1F0, 0x1F7}, {0x376, 0x376}, {0x3B0, 0x3BB},
                           {0x3C0, 0x3DF}, {0x3F6, 0x3F6}, {0x4D0, 0x4D1}, {0xCF8, 0xCFF}};
    auto expected = [&](std::uint32_t base) {
        const std::uint32_t span = base == 0x3BC ? 4 : 8;
        if (base % span != 0 || base < 0x100 || base + span > 0x10000) return false;
        for (const Range& r : fixed) {
            if (base <= r.last && base + span - 1 >= r.first) return false;
        }
        return true;
    };
    std::vector<std::uint32_t> bases;
    for (std::uint32_t b = 0; b < 0x120; ++b) bases.push_back(b);
    for (std::uint32_t b = 0xFFE0; b < 0x10010; ++b) bases.push_back(b);
    for (const Range& r : fixed) {
        for (std::uint32_t b = r.first - 24; b <= r.last + 24; ++b) bases.push_back(b);
    }
    int admitted = 0;
    for (std::uint32_t base : bases) {
        SCOPED_TRACE(base);
        const bool want = expected(base);
        EXPECT_EQ(TarnelAdmitExtraBase(base) == 1, want);
        EXPECT_EQ(base <= 0xFFFF && TarnelIsAllowedBase(static_cast<std::uint16_t>(base)), want);
        char text[16];
        std::snprintf(text, sizeof text, "%X", base);
        EXPECT_EQ(ParsePortBase(text).has_value(), want);
        admitted += want;
    }
    EXPECT_GT(admitted, 40);  // the sweep reaches admitted bases too, 0x3BC among them
    EXPECT_EQ(TarnelAdmitExtraBase(0), 0);
}

// SET_PARAMS stores the longest waits the program's speed option gives and refuses one more.
TEST_F(Guard, SetParamsRefusesWaitsBeyondWhatTheProgramAsksFor) {
    Bytes longest = Fields(
        {8, 0x378, TARNEL_MAX_DELAY_COUNT, 4, TARNEL_FAMILY_AT89S5X, TARNEL_MAX_AT89_BYTE_WAIT});
    ASSERT_EQ(Send(IOCTL_TARNEL_SET_PARAMS, longest), TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(params_.delay_count, TARNEL_MAX_DELAY_COUNT);
    ExpectRefused(IOCTL_TARNEL_SET_PARAMS,
                  Fields({8, 0x278, TARNEL_MAX_DELAY_COUNT + 1, 4, TARNEL_FAMILY_AVR, 1}));
    ExpectRefused(IOCTL_TARNEL_SET_PARAMS,
                  Fields({8, 0x278, 1, 4, TARNEL_FAMILY_AVR, TARNEL_MAX_AT89_BYTE_WAIT + 1}));
    ExpectRefused(IOCTL_TARNEL_SET_PARAMS, Fields({8, 0x278, 0xFFFF, 4, TARNEL_FAMILY_AVR, 1}));
    EXPECT_EQ(params_.port_base, 0x378);
}

// A second open is refused while the first handle is open; the next owner starts from the
// load state, not from what the previous one stored.
TEST_F(Guard, OneOwnerAtATime) {
    std::uintptr_t owner = 0;
    const std::uintptr_t first = 0x1000, second = 0x2000;
    ASSERT_EQ(TarnelOpenOwner(&owner, first, &params_), TARNEL_STATUS_SUCCESS);
    Bytes set = Fields({8, 0x3BC, 1, 4, TARNEL_FAMILY_AVR, 1});
    ASSERT_EQ(Send(IOCTL_TARNEL_SET_PARAMS, set), TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(TarnelOpenOwner(&owner, second, &params_), TARNEL_STATUS_SHARING_VIOLATION);
    EXPECT_EQ(params_.port_base, 0x3BC);  // the refused open changed nothing
    EXPECT_TRUE(TarnelIsOwner(&owner, first));
    EXPECT_FALSE(TarnelIsOwner(&owner, second));
    TarnelCloseOwner(&owner, second);  // a handle that does not own the device frees nothing
    EXPECT_TRUE(TarnelIsOwner(&owner, first));
    TarnelCloseOwner(&owner, first);
    ASSERT_EQ(TarnelOpenOwner(&owner, second, &params_), TARNEL_STATUS_SUCCESS);
    EXPECT_EQ(params_.port_base, 0);
    ExpectRefused(IOCTL_TARNEL_READ_BYTE, Bytes(TARNEL_READ_BYTE_LENGTH, 0));
}

}  // namespace
}  // namespace velkor::test
