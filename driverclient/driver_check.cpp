#include "driverclient/driver_check.h"

#include <cstdio>
#include <vector>

#include "protocol/tarnel_protocol.h"

namespace velkor {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Answer {
    bool ok;
    std::uint32_t returned;
};

Answer Send(DriverChannel& channel, std::uint32_t code, Bytes& buffer) {
    std::uint32_t returned = 0xFFFFFFFFu;
    const bool ok =
        channel.Control(code, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &returned);
    return {ok, returned};
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// The common verdict: the call succeeded and returned the code's byte count.
DriverCheckResult Verdict(const char* name, const Answer& answer, std::uint32_t expectedCount) {
    if (!answer.ok) return {name, false, "the call failed"};
    if (answer.returned != expectedCount) {
        return {name, false,
                Format("returned %u bytes, expected %u", answer.returned, expectedCount)};
    }
    return {name, true, Format("%u bytes", answer.returned)};
}

// SET_PARAMS naming `base`, cable kind 0 with the AVR family, pages of `pageSize` bytes.
Bytes Params(std::uint16_t base, std::uint16_t pageSize) {
    Bytes params(TARNEL_SET_PARAMS_LENGTH, 0);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_CABLE_KIND_OFFSET, 0);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_PORT_BASE_OFFSET, base);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET, 1);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_PAGE_SIZE_OFFSET, pageSize);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_FAMILY_OFFSET, TARNEL_FAMILY_AVR);
    TarnelPutU32(params.data(), TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET, TARNEL_AT89_BYTE_WAIT);
    return params;
}

Bytes ReadPortRequest(std::uint16_t port) {
    Bytes read(TARNEL_READ_PORT_LENGTH, 0);
    TarnelPutU32(read.data(), TARNEL_READ_PORT_ADDRESS_OFFSET, port);
    return read;
}

// A port card's base: the configured one is served, one not configured is refused as an
// invalid parameter, both for a single read and for the shifting parameters.
void CheckCardBases(DriverChannel& channel, std::uint16_t extraBase,
                    std::vector<DriverCheckResult>& results) {
    const std::string configured = Format("0x%X", extraBase);
    Bytes read = ReadPortRequest(extraBase);
    results.push_back(Verdict(("READ_PORT " + configured).c_str(),
                              Send(channel, IOCTL_TARNEL_READ_PORT, read),
                              TARNEL_READ_PORT_LENGTH));
    Bytes params = Params(extraBase, 64);
    results.push_back(Verdict(("SET_PARAMS " + configured).c_str(),
                              Send(channel, IOCTL_TARNEL_SET_PARAMS, params), 0));

    const std::uint16_t other = extraBase == 0xE800 ? 0xD010 : 0xE800;
    const std::string notConfigured = Format("0x%X", other);
    auto refused = [&](const std::string& name, std::uint32_t code, Bytes request) {
        if (Send(channel, code, request).ok) {
            results.push_back({name, false, "a base that was not configured was served"});
        } else if (channel.LastError() != kDriverErrorInvalidParameter) {
            results.push_back({name, false,
                               Format("refused with error %u, not as an invalid parameter",
                                      channel.LastError())});
        } else {
            results.push_back({name, true, "refused: invalid parameter"});
        }
    };
    refused("READ_PORT " + notConfigured, IOCTL_TARNEL_READ_PORT, ReadPortRequest(other));
    refused("SET_PARAMS " + notConfigured, IOCTL_TARNEL_SET_PARAMS, Params(other, 64));
}

}  // namespace

std::vector<DriverCheckResult> CheckDriverProtocol(DriverChannel& channel, std::uint16_t portBase,
                                                   std::uint16_t extraBase) {
    std::vector<DriverCheckResult> results;

    // READ_PORT of the data register: the byte comes back sign-extended.
    Bytes read(TARNEL_READ_PORT_LENGTH, 0);
    TarnelPutU32(read.data(), TARNEL_READ_PORT_ADDRESS_OFFSET, portBase);
    TarnelPutU32(read.data(), TARNEL_READ_PORT_VALUE_OFFSET, 0x5A5A5A5Au);
    DriverCheckResult r =
        Verdict("READ_PORT", Send(channel, IOCTL_TARNEL_READ_PORT, read), TARNEL_READ_PORT_LENGTH);
    const std::uint32_t field = TarnelGetU32(read.data(), TARNEL_READ_PORT_VALUE_OFFSET);
    const std::uint8_t data = static_cast<std::uint8_t>(field & 0xFFu);
    const std::uint32_t extended = (data & 0x80u) ? (0xFFFFFF00u | data) : data;
    if (r.passed && field != extended) {
        r = {"READ_PORT", false, Format("value field 0x%08X is not a sign-extended byte", field)};
    } else if (r.passed) {
        r.detail += Format(", data register 0x%02X", data);
    }
    results.push_back(r);

    // WRITE_PORT puts the data register's own value back: no line changes.
    Bytes write(TARNEL_WRITE_PORT_LENGTH, 0);
    TarnelPutU32(write.data(), TARNEL_WRITE_PORT_ADDRESS_OFFSET, portBase);
    TarnelPutU32(write.data(), TARNEL_WRITE_PORT_VALUE_OFFSET, data);
    results.push_back(Verdict("WRITE_PORT", Send(channel, IOCTL_TARNEL_WRITE_PORT, write), 0));

    // Cable kind 0 with the AVR family: the memory commands below shift nothing.
    constexpr std::uint16_t kPageSize = 64;
    Bytes params = Params(portBase, kPageSize);
    results.push_back(Verdict("SET_PARAMS", Send(channel, IOCTL_TARNEL_SET_PARAMS, params), 0));

    Bytes writeByte(TARNEL_WRITE_BYTE_LENGTH, 0);
    TarnelPutU32(writeByte.data(), TARNEL_WRITE_BYTE_KIND_OFFSET, TARNEL_MEMORY_EEPROM);
    results.push_back(Verdict("WRITE_BYTE", Send(channel, IOCTL_TARNEL_WRITE_BYTE, writeByte), 0));

    // A page of exactly the size just set: the driver refuses a shorter one.
    Bytes page(TARNEL_WRITE_PAGE_HEADER_LENGTH + kPageSize, 0xFF);
    TarnelPutU32(page.data(), TARNEL_WRITE_PAGE_ADDRESS_OFFSET, 0);
    results.push_back(Verdict("WRITE_PAGE", Send(channel, IOCTL_TARNEL_WRITE_PAGE, page), 0));

    // Memory kind 1 is no readable kind: the answer is 0xFF without any line moved.
    Bytes readByte(TARNEL_READ_BYTE_LENGTH, 0);
    TarnelPutU32(readByte.data(), TARNEL_READ_BYTE_KIND_OFFSET, TARNEL_MEMORY_FLASH_FORCED);
    TarnelPutU32(readByte.data(), TARNEL_READ_BYTE_VALUE_OFFSET, 0);
    r = Verdict("READ_BYTE", Send(channel, IOCTL_TARNEL_READ_BYTE, readByte),
                TARNEL_READ_BYTE_LENGTH);
    const std::uint32_t byteField = TarnelGetU32(readByte.data(), TARNEL_READ_BYTE_VALUE_OFFSET);
    if (r.passed && byteField != 0xFFu) {
        r = {"READ_BYTE", false, Format("an unreadable kind answered 0x%08X, not 0xFF", byteField)};
    }
    results.push_back(r);

    // An AVR target has no page read: the page area comes back as it went in.
    Bytes readPage(TARNEL_READ_PAGE_LENGTH, 0);
    for (std::size_t i = TARNEL_READ_PAGE_DATA_OFFSET; i < readPage.size(); ++i) {
        readPage[i] = static_cast<std::uint8_t>(i * 7);
    }
    const Bytes sent = readPage;
    r = Verdict("READ_PAGE", Send(channel, IOCTL_TARNEL_READ_PAGE, readPage),
                TARNEL_READ_PAGE_LENGTH);
    if (r.passed && readPage != sent) r = {"READ_PAGE", false, "the page area came back changed"};
    results.push_back(r);

    // The next function number is no code of the device.
    Bytes unknown(TARNEL_READ_PORT_LENGTH, 0);
    const Answer refused = Send(channel, TARNEL_CTL_CODE(TARNEL_FUNCTION_READ_PAGE + 1), unknown);
    if (refused.ok) {
        results.push_back({"0xF0003C1C", false, "an unknown code was accepted"});
    } else {
        results.push_back({"0xF0003C1C", true, "refused"});
    }

    // A port outside the parallel-port blocks (the POST code port) must be refused: a driver
    // that serves it hands every program that opens it the whole machine's ports.
    Bytes foreign(TARNEL_READ_PORT_LENGTH, 0);
    TarnelPutU32(foreign.data(), TARNEL_READ_PORT_ADDRESS_OFFSET, 0x80);
    if (Send(channel, IOCTL_TARNEL_READ_PORT, foreign).ok) {
        results.push_back({"READ_PORT 0x80", false, "a port outside the parallel ports was read"});
    } else {
        results.push_back({"READ_PORT 0x80", true, "refused"});
    }
    if (extraBase != 0) CheckCardBases(channel, extraBase, results);
    return results;
}

}  // namespace velkor
