// The seam to the port driver's device: one synchronous control call whose single buffer
// carries the input and receives the output, with the byte count the driver returned.
// On Windows this is DeviceIoControl on "\\.\Tarnel"; in process it calls the driver's
// own dispatch over a port given to it.
#pragma once

#include <cstdint>

namespace velkor {

class DriverChannel {
  public:
    virtual ~DriverChannel() = default;
    // `length` bytes of `buffer` go in and may be overwritten by the answer. Returns whether
    // the device call succeeded.
    virtual bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t* bytesReturned) = 0;
};

}  // namespace velkor
