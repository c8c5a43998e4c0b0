// The protocol check a user runs against the installed driver: it passes against the
// driver's own dispatch, moves no cable line, and catches a driver that answers wrongly.
#include "driverclient/driver_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driverclient/in_process_channel.h"
#include "protocol/tarnel_protocol.h"

namespace velkor::test {
namespace {

// A port whose registers read `value` and that records every write.
class StillPort : public PortIo {
  public:
    std::uint8_t value = 0x80;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    std::uint8_t In(std::uint16_t) override { return value; }
    void Out(std::uint16_t address, std::uint8_t v) override { writes.emplace_back(address, v); }
};

// Passes each call to the real dispatch, then lets a test spoil the answer.
class SpoilingChannel : public DriverChannel {
  public:
    explicit SpoilingChannel(PortIo& port) : inner_(port) {}
    std::function<bool(std::uint32_t, std::uint8_t*, std::uint32_t*, bool)> spoil;
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* returned) override {
        const bool ok = inner_.Control(code, buffer, length, returned);
        return spoil ? spoil(code, buffer, returned, ok) : ok;
    }

  private:
    InProcessChannel inner_;
};

std::string Failures(const std::vector<DriverCheckResult>& results) {
    std::string text;
    for (const auto& r : results) {
        if (!r.passed) text += r.code + ": " + r.detail + "\n";
    }
    return text;
}

TEST(DriverCheck, TheDriversOwnDispatchPassesEveryCodeWithoutMovingALine) {
    StillPort port;
    InProcessChannel channel(port);
    const auto results = CheckDriverProtocol(channel);
    ASSERT_EQ(results.size(), 9u);
    EXPECT_EQ(Failures(results), "");
    EXPECT_EQ(results[0].detail, "8 bytes, data register 0x80");
    // The only write puts the data register's own value back.
    EXPECT_EQ(port.writes, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x378, 0x80}}));
}

TEST(DriverCheck, WrongAnswersAreReportedPerCode) {
    StillPort port;
    SpoilingChannel channel(port);
    channel.spoil = [](std::uint32_t code, std::uint8_t* buffer, std::uint32_t* returned, bool ok) {
        if (code == IOCTL_TARNEL_READ_PORT) TarnelPutU32(buffer, 4, 0x00000080u);  // not extended
        if (code == IOCTL_TARNEL_WRITE_PAGE) return false;
        if (code == IOCTL_TARNEL_READ_BYTE) *returned = 8;
        if (code == IOCTL_TARNEL_READ_PAGE) buffer[100] ^= 1;
        if (code == TARNEL_CTL_CODE(0xF07)) return true;
        if (code == IOCTL_TARNEL_READ_PORT && TarnelGetU16(buffer, 0) == 0x80) return true;
        return ok;
    };
    EXPECT_EQ(Failures(CheckDriverProtocol(channel)),
              "READ_PORT: value field 0x00000080 is not a sign-extended byte\n"
              "WRITE_PAGE: the call failed\n"
              "READ_BYTE: returned 8 bytes, expected 12\n"
              "READ_PAGE: the page area came back changed\n"
              "0xF0003C1C: an unknown code was accepted\n"
              "READ_PORT 0x80: a port outside the parallel ports was read\n");
}

}  // namespace
}  // namespace velkor::test
