#include "driverclient/channel_driver_access.h"

#include "driverclient/driver_wrappers.h"

namespace velkor {

// The engine never branches on a device call's result except for the page read, so the
// wrappers' fixed values stand in for failures and these report success.

bool ChannelDriverAccess::ReadPort(std::uint16_t address, std::uint8_t* value) {
    *value = DriverReadPort(channel_, address);
    return true;
}

bool ChannelDriverAccess::WritePort(std::uint16_t address, std::uint8_t value) {
    DriverWritePort(channel_, address, value);
    return true;
}

bool ChannelDriverAccess::SetParams(std::uint8_t cableKind, std::uint16_t portBase,
                                    std::uint16_t delayCount, std::uint32_t pageSize,
                                    std::uint32_t family) {
    DriverSetParams(channel_, cableKind, portBase, delayCount, static_cast<std::uint16_t>(pageSize),
                    static_cast<std::uint16_t>(family));
    return true;
}

bool ChannelDriverAccess::ReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value) {
    *value = DriverReadByte(channel_, kind, address);
    return true;
}

bool ChannelDriverAccess::WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    DriverWriteByte(channel_, static_cast<std::int8_t>(kind), address, value);
    return true;
}

bool ChannelDriverAccess::WritePage(std::uint32_t address, std::uint32_t size,
                                    const std::uint8_t* bytes) {
    DriverWritePage(channel_, address, bytes, static_cast<std::uint16_t>(size));
    return true;
}

bool ChannelDriverAccess::ReadPage(std::uint32_t address, std::uint8_t* bytes256) {
    return DriverReadPage(channel_, address, bytes256, 256);
}

}  // namespace velkor
