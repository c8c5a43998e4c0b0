// The seam to the port driver's device: one synchronous control call whose single buffer
// carries the input and receives the output, with the byte count the driver returned.
// On Windows this is DeviceIoControl on "\\.\Tarnel"; in process it calls the driver's
// own dispatch over a port given to it.
#pragma once

#include <cstdint>

namespace velkor {

// ERROR_INVALID_PARAMETER: what a caller is told of a request the driver refuses (it completes
// it with STATUS_INVALID_PARAMETER), such as a port outside the blocks it admits.
constexpr std::uint32_t kDriverErrorInvalidParameter = 87;

class DriverChannel {
  public:
    virtual ~DriverChannel() = default;
    // `length` bytes of `buffer` go in and may be overwritten by the answer. Returns whether
    // the device call succeeded.
    virtual bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* bytesReturned) = 0;
    // The system error code of the last call that failed (0: none known).
    virtual std::uint32_t LastError() const { return 0; }
};

}  // namespace velkor
