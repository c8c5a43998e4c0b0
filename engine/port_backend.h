// Byte access to the parallel port registers: either port instructions executed by the
// program itself (through a PortIo) or each access forwarded to the port driver.
#pragma once

#include <cstdint>

#include "engine/engine_seams.h"

namespace velkor {

class PortBackend {
  public:
    // The value a driver read yields when the device call fails (or no driver is bound):
    // an undriven bus. The port check then reports the port as missing.
    static constexpr std::uint8_t kFailedDriverRead = 0xFF;

    void BindDirect(PortIo* io) { direct_ = io; }
    void BindDriver(DriverAccess* driver) { driver_ = driver; }
    PortIo* Direct() const { return direct_; }
    DriverAccess* Driver() const { return driver_; }

    std::uint8_t ReadPort(bool useDriver, std::uint16_t address);
    void WritePort(bool useDriver, std::uint16_t address, std::uint8_t value);

    // The driver's accelerated commands. Every driver call goes through this class, so that
    // a device call that fails (device gone, handle closed, no driver bound) is counted
    // instead of passing for a success; each returns whether the call succeeded. A failed
    // read leaves the undriven-bus value in its destination.
    bool DriverSetParams(std::uint8_t cableKind, std::uint16_t portBase, std::uint16_t delayCount,
                         std::uint32_t pageSize, std::uint32_t family);
    bool DriverReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value);
    bool DriverWriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value);
    bool DriverWritePage(std::uint32_t address, std::uint32_t size, const std::uint8_t* bytes);
    bool DriverReadPage(std::uint32_t address, std::uint8_t* bytes256);

    // Driver calls that failed since the last reset (the engine resets it at each command).
    std::uint32_t FailedDriverCalls() const { return failedDriverCalls_; }
    void ResetFailedDriverCalls() { failedDriverCalls_ = 0; }

  private:
    bool Note(bool succeeded) {
        if (!succeeded) ++failedDriverCalls_;
        return succeeded;
    }

    PortIo* direct_ = nullptr;
    DriverAccess* driver_ = nullptr;
    std::uint32_t failedDriverCalls_ = 0;
};

}  // namespace velkor
