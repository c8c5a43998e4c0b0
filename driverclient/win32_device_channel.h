// The driver's device "\\.\Tarnel" as a DriverChannel: DeviceIoControl on an open handle.
#pragma once

#include <cstdint>
#include <memory>

#include "driverclient/driver_binding.h"
#include "driverclient/driver_channel.h"

namespace velkor {

constexpr const char* kDriverDevicePath = "\\\\.\\Tarnel";

class Win32DeviceChannel : public DriverChannel {
  public:
    // Takes ownership of an open device handle (a HANDLE), closed with the channel.
    explicit Win32DeviceChannel(void* handle) : handle_(handle) {}
    ~Win32DeviceChannel() override;
    Win32DeviceChannel(const Win32DeviceChannel&) = delete;
    Win32DeviceChannel& operator=(const Win32DeviceChannel&) = delete;

    // One synchronous call; the buffer is both the input and the output.
    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override;
    std::uint32_t LastError() const override { return lastError_; }

  private:
    void* handle_;
    std::uint32_t lastError_ = 0;
};

class Win32DeviceOpener : public DeviceOpener {
  public:
    std::unique_ptr<DriverChannel> Open(std::uint32_t* error) override;
};

}  // namespace velkor
