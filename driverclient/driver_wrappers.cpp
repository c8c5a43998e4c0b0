#include "driverclient/driver_wrappers.h"

#include <algorithm>
#include <cstring>

#include "protocol/tarnel_protocol.h"

namespace velkor {
namespace {

// What a read yields when the device call fails: the undriven bus, as an absent port reads.
constexpr std::uint8_t kUnfilled = 0xFF;

}  // namespace

std::uint8_t DriverReadPort(DriverChannel& channel, std::uint16_t address) {
    std::uint8_t buffer[TARNEL_READ_PORT_LENGTH];
    TarnelPutU32(buffer, TARNEL_READ_PORT_ADDRESS_OFFSET, address);
    TarnelPutU32(buffer, TARNEL_READ_PORT_VALUE_OFFSET, 0xFFFFFFFFu);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_READ_PORT, buffer, sizeof buffer, &returned);
    return TarnelGetU8(buffer, TARNEL_READ_PORT_VALUE_OFFSET);
}

void DriverWritePort(DriverChannel& channel, std::uint16_t address, std::uint8_t value) {
    std::uint8_t buffer[TARNEL_WRITE_PORT_LENGTH];
    TarnelPutU32(buffer, TARNEL_WRITE_PORT_ADDRESS_OFFSET, address);
    TarnelPutU32(buffer, TARNEL_WRITE_PORT_VALUE_OFFSET, value);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_WRITE_PORT, buffer, sizeof buffer, &returned);
}

void DriverSetParams(DriverChannel& channel, std::uint8_t cableKind, std::uint16_t portBase,
                     std::uint16_t delayCount, std::uint16_t pageSize, std::uint16_t family) {
    std::uint8_t buffer[TARNEL_SET_PARAMS_LENGTH];
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_CABLE_KIND_OFFSET, cableKind);
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_PORT_BASE_OFFSET, portBase);
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_DELAY_COUNT_OFFSET, delayCount);
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_PAGE_SIZE_OFFSET, pageSize);
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_FAMILY_OFFSET, family);
    TarnelPutU32(buffer, TARNEL_SET_PARAMS_AT89_BYTE_WAIT_OFFSET, TARNEL_AT89_BYTE_WAIT);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_SET_PARAMS, buffer, sizeof buffer, &returned);
}

void DriverWriteByte(DriverChannel& channel, std::int8_t kind, std::uint32_t address,
                     std::uint8_t data) {
    std::uint8_t buffer[TARNEL_WRITE_BYTE_LENGTH];
    // The kind travels as a signed byte widened to 32 bits.
    TarnelPutU32(buffer, TARNEL_WRITE_BYTE_KIND_OFFSET,
                 static_cast<std::uint32_t>(static_cast<std::int32_t>(kind)));
    TarnelPutU32(buffer, TARNEL_WRITE_BYTE_ADDRESS_OFFSET, address);
    TarnelPutU32(buffer, TARNEL_WRITE_BYTE_DATA_OFFSET, data);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_WRITE_BYTE, buffer, sizeof buffer, &returned);
}

void DriverWritePage(DriverChannel& channel, std::uint32_t address, const std::uint8_t* data,
                     std::uint16_t length) {
    std::uint8_t buffer[TARNEL_MAX_WRITE_PAGE_LENGTH];
    const std::uint16_t n = std::min<std::uint16_t>(length, TARNEL_MAX_PAGE_SIZE);
    TarnelPutU32(buffer, TARNEL_WRITE_PAGE_ADDRESS_OFFSET, address);
    std::memcpy(buffer + TARNEL_WRITE_PAGE_DATA_OFFSET, data, n);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_WRITE_PAGE, buffer, TARNEL_WRITE_PAGE_HEADER_LENGTH + n,
                    &returned);
}

std::uint8_t DriverReadByte(DriverChannel& channel, std::uint8_t kind, std::uint32_t address) {
    std::uint8_t buffer[TARNEL_READ_BYTE_LENGTH];
    TarnelPutU32(buffer, TARNEL_READ_BYTE_KIND_OFFSET, kind);
    TarnelPutU32(buffer, TARNEL_READ_BYTE_ADDRESS_OFFSET, address);
    TarnelPutU32(buffer, TARNEL_READ_BYTE_VALUE_OFFSET, kUnfilled);
    std::uint32_t returned = 0;
    channel.Control(IOCTL_TARNEL_READ_BYTE, buffer, sizeof buffer, &returned);
    return TarnelGetU8(buffer, TARNEL_READ_BYTE_VALUE_OFFSET);
}

bool DriverReadPage(DriverChannel& channel, std::uint32_t address, std::uint8_t* destination,
                    std::uint16_t length) {
    std::uint8_t buffer[TARNEL_READ_PAGE_LENGTH];
    std::memset(buffer, kUnfilled, sizeof buffer);
    TarnelPutU32(buffer, TARNEL_READ_PAGE_ADDRESS_OFFSET, address);
    std::uint32_t returned = 0;
    if (!channel.Control(IOCTL_TARNEL_READ_PAGE, buffer, sizeof buffer, &returned)) return false;
    const std::uint16_t n = std::min<std::uint16_t>(length, TARNEL_MAX_PAGE_SIZE);
    std::memcpy(destination, buffer + TARNEL_READ_PAGE_DATA_OFFSET, n);
    return true;
}

}  // namespace velkor
