// The engine's only contact with the outside world: port registers, time, the driver
// and whoever receives its reports. Each has a real implementation and a simulated one.
#pragma once

#include <cstdint>
#include <string>

#include "messages/log_messages.h"

namespace velkor {

// One-byte access to I/O addresses, as port instructions give it.
class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual std::uint8_t In(std::uint16_t address) = 0;
    virtual void Out(std::uint16_t address, std::uint8_t value) = 0;
    // Why this path cannot reach the ports (empty when it can). Checked before each
    // port search so that the user learns the reason instead of only "port missing".
    virtual LogLine AccessProblem() { return {}; }
};

// High-resolution counter and the one sleeping wait the engine uses.
class Clock {
  public:
    virtual ~Clock() = default;
    // Counts per second; 0 means the platform has no precise counter.
    virtual std::int64_t Frequency() = 0;
    virtual std::int64_t Counter() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
};

// Receiver of the engine's reports while it works, on the engine's thread, in the order
// made: new log text exists, the progress bar moved.
class EngineReports {
  public:
    virtual ~EngineReports() = default;
    virtual void OnLog() = 0;
    virtual void OnProgress(int percent) = 0;
};

// The port driver as the engine sees it: single port accesses and the accelerated
// memory commands. Every call returns whether the device call succeeded.
class DriverAccess {
  public:
    virtual ~DriverAccess() = default;
    virtual bool ReadPort(std::uint16_t address, std::uint8_t* value) = 0;
    virtual bool WritePort(std::uint16_t address, std::uint8_t value) = 0;
    virtual bool SetParams(std::uint8_t cableKind, std::uint16_t portBase, std::uint16_t delayCount,
                           std::uint32_t pageSize, std::uint32_t family) = 0;
    virtual bool ReadByte(std::uint8_t kind, std::uint32_t address, std::uint8_t* value) = 0;
    virtual bool WriteByte(std::uint8_t kind, std::uint32_t address, std::uint8_t value) = 0;
    virtual bool WritePage(std::uint32_t address, std::uint32_t size,
                           const std::uint8_t* bytes) = 0;
    virtual bool ReadPage(std::uint32_t address, std::uint8_t* bytes256) = 0;
};

}  // namespace velkor
