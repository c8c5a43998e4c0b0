// The seven requests of the driver protocol as plain calls. Each builds its buffer on the
// stack, makes one control call, and reads the answer. Only DriverReadPage looks at the
// call's result; the others read whatever the buffer holds afterwards, which for a failed
// read is the undriven-bus value they put there beforehand.
#pragma once

#include <cstdint>

#include "driverclient/driver_channel.h"

namespace velkor {

std::uint8_t DriverReadPort(DriverChannel& channel, std::uint16_t address);
void DriverWritePort(DriverChannel& channel, std::uint16_t address, std::uint8_t value);
void DriverSetParams(DriverChannel& channel, std::uint8_t cableKind, std::uint16_t portBase,
                     std::uint16_t delayCount, std::uint16_t pageSize, std::uint16_t family);
void DriverWriteByte(DriverChannel& channel, std::int8_t kind, std::uint32_t address,
                     std::uint8_t data);
void DriverWritePage(DriverChannel& channel, std::uint32_t address, const std::uint8_t* data,
                     std::uint16_t length);
std::uint8_t DriverReadByte(DriverChannel& channel, std::uint8_t kind, std::uint32_t address);
// Copies `length` bytes into `destination` only when the call succeeded.
bool DriverReadPage(DriverChannel& channel, std::uint32_t address, std::uint8_t* destination,
                    std::uint16_t length);

}  // namespace velkor
