// The start-up question of which way the program reaches the parallel port on Windows.
#pragma once

#include <cstdint>

namespace velkor {

// dwPlatformId values of GetVersionExA.
constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWin32Windows = 1;  // 95, 98, Me: port instructions allowed
constexpr std::uint32_t kPlatformWin32Nt = 2;       // NT family: only the driver reaches ports

// Whether a system of this platform id needs the port driver: an NT-family kernel keeps user
// programs away from the I/O ports, every other Windows lets them execute port instructions.
constexpr bool PlatformNeedsDriver(std::uint32_t platformId) {
    return platformId == kPlatformWin32Nt;
}

#ifdef _WIN32
// The running system's platform id, from GetVersionExA; kPlatformWin32Windows when the call
// fails (no driver is tried then, and the first run reports the port as it finds it).
std::uint32_t CurrentPlatformId();

// PlatformNeedsDriver(CurrentPlatformId()).
bool SystemNeedsDriver();

// Whether the running Windows is 64-bit: always for a 64-bit program; for a 32-bit one, when
// it runs in the 32-bit layer of a 64-bit system (IsWow64Process).
bool SystemIs64Bit();
#endif

}  // namespace velkor
