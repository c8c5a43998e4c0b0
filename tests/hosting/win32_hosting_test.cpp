// The Windows hosting parts: the performance-counter clock the engine times its waits on,
// and the start-up question whether the port driver is needed.
#include <gtest/gtest.h>

#include "hosting/win32_clock.h"
#include "hosting/win32_platform.h"

namespace velkor {
namespace {

TEST(Win32Clock, CountsInItsOwnFrequencyAcrossASleep) {
    Win32Clock clock;
    const std::int64_t frequency = clock.Frequency();
    ASSERT_GT(frequency, 0);
    const std::int64_t start = clock.Counter();
    clock.Sleep(30);
    const std::int64_t elapsed = clock.Counter() - start;
    // At least the 30 ms slept (less 1 ms for the timer's grain), and not wildly more: a
    // counter in other units than its frequency would miss one bound or the other.
    EXPECT_GE(elapsed, frequency * 29 / 1000);
    EXPECT_LT(elapsed, frequency * 5);
}

TEST(Win32Platform, OnlyTheNtFamilyNeedsTheDriver) {
    EXPECT_FALSE(PlatformNeedsDriver(kPlatformWin32s));
    EXPECT_FALSE(PlatformNeedsDriver(kPlatformWin32Windows));
    EXPECT_TRUE(PlatformNeedsDriver(kPlatformWin32Nt));
    EXPECT_FALSE(PlatformNeedsDriver(3));  // Windows CE and anything later: no driver of ours
    // This runs on an NT-family system (or wine, which reports itself as one).
    EXPECT_EQ(CurrentPlatformId(), kPlatformWin32Nt);
    EXPECT_TRUE(SystemNeedsDriver());
}

}  // namespace
}  // namespace velkor
