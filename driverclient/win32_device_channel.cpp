#include "driverclient/win32_device_channel.h"

#include <windows.h>

namespace velkor {

Win32DeviceChannel::~Win32DeviceChannel() {
    CloseHandle(static_cast<HANDLE>(handle_));
}

bool Win32DeviceChannel::Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                                 std::uint32_t* bytesReturned) {
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(static_cast<HANDLE>(handle_), code, buffer, length, buffer,
                                    length, &returned, nullptr);
    *bytesReturned = returned;
    if (ok == FALSE) lastError_ = GetLastError();
    return ok != FALSE;
}

std::unique_ptr<DriverChannel> Win32DeviceOpener::Open(std::uint32_t* error) {
    const HANDLE handle =
        CreateFileA(kDriverDevicePath, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return nullptr;
    }
    *error = 0;
    return std::make_unique<Win32DeviceChannel>(handle);
}

}  // namespace velkor
