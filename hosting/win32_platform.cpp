#include "hosting/win32_platform.h"

#include <windows.h>

namespace velkor {

std::uint32_t CurrentPlatformId() {
    OSVERSIONINFOA info{};
    // The size field tells the call which structure it fills: the plain one, 148 bytes.
    static_assert(sizeof info == 148);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return kPlatformWin32Windows;
#pragma GCC diagnostic pop
    return info.dwPlatformId;
}

bool SystemNeedsDriver() {
    return PlatformNeedsDriver(CurrentPlatformId());
}

bool SystemIs64Bit() {
    if constexpr (sizeof(void*) == 8) {
        return true;
    } else {
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    }
}

}  // namespace velkor
