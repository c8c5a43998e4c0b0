#include "hosting/win32_clock.h"

#include <windows.h>

namespace velkor {

std::int64_t Win32Clock::Frequency() {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) return 0;
    return frequency.QuadPart;
}

std::int64_t Win32Clock::Counter() {
    LARGE_INTEGER count;
    if (!QueryPerformanceCounter(&count)) return 0;
    return count.QuadPart;
}

void Win32Clock::Sleep(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

}  // namespace velkor
