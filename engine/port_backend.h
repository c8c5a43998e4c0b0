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

  private:
    PortIo* direct_ = nullptr;
    DriverAccess* driver_ = nullptr;
};

}  // namespace velkor
