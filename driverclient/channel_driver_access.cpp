#include "driverclient/channel_driver_access.h"

#include "driverclient/driver_wrappers.h"

namespace velkor {
namespace {

// Passes each call on and keeps its result: the wrappers give the answer's value (the
// undriven-bus value after a failure), and the engine needs to know that the call failed.
class ResultTap : public DriverChannel {
  public:
    explicit ResultTap(DriverChannel& channel) : channel_(channel) {}
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override {
        succeeded_ = channel_.Control(code, buffer, length, bytesReturned);
        return succeeded_;
    }
    bool Succeeded() const { return succeeded_; }

  private:
    DriverChannel& channel_;
    bool succeeded_ = false;
};

}  // namespace

bool ChannelDriverAccess::ReadPort(std::uint16_t address, std::uint8_t* value) {
    ResultTap tap(channel_);
    *value = DriverReadPort(tap, address);
    return tap.Succeeded();
}

bool ChannelDriverAccess::WritePort(std::uint16_t address, std::uint8_t value) {
    ResultTap tap(channel_);
    DriverWritePort(tap, address, value);
    return tap.Succeeded();
}

bool ChannelDriverAccess::SetParams(std::uint8_t cableKind, std::uint16_t portBase,
                                    std::uint16_t delayCount, std::uint32_t pageSize,
                                    std::uint32_t family) {
    ResultTap tap(channel_);
    DriverSetParams(tap, cableKind, portBase, delayCount, static_cast<std::uint16_t>(pageSize),
                    static_cast<std::uint16_t>(family));
    return tap.Succeeded();
}

bool ChannelDriverAccess::ReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value) {
    ResultTap tap(channel_);
    *value = DriverReadByte(tap, kind, address);
    return tap.Succeeded();
}

bool ChannelDriverAccess::WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) {
    ResultTap tap(channel_);
    DriverWriteByte(tap, static_cast<std::int8_t>(kind), address, value);
    return tap.Succeeded();
}

bool ChannelDriverAccess::WritePage(std::uint32_t address, std::uint32_t size,
                                    const std::uint8_t* bytes) {
    ResultTap tap(channel_);
    DriverWritePage(tap, address, bytes, static_cast<std::uint16_t>(size));
    return tap.Succeeded();
}

bool ChannelDriverAccess::ReadPage(std::uint32_t address, std::uint8_t* bytes256) {
    return DriverReadPage(channel_, address, bytes256, 256);
}

}  // namespace velkor
