// The engine's driver path over a DriverChannel: single port accesses and the accelerated
// memory commands, each one control call.
#pragma once

#include "driverclient/driver_channel.h"
#include "engine/engine_seams.h"

namespace velkor {

class ChannelDriverAccess : public DriverAccess {
  public:
    explicit ChannelDriverAccess(DriverChannel& channel) : channel_(channel) {}

    bool ReadPort(std::uint16_t address, std::uint8_t* value) override;
    bool WritePort(std::uint16_t address, std::uint8_t value) override;
    bool SetParams(std::uint8_t cableKind, std::uint16_t portBase, std::uint16_t delayCount,
                   std::uint32_t pageSize, std::uint32_t family) override;
    bool ReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value) override;
    bool WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) override;
    bool WritePage(std::uint32_t address, std::uint32_t size, const std::uint8_t* bytes) override;
    bool ReadPage(std::uint32_t address, std::uint8_t* bytes256) override;

  private:
    DriverChannel& channel_;
};

}  // namespace velkor
