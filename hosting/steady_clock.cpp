#include "hosting/steady_clock.h"

#include <chrono>
#include <thread>

namespace velkor {

std::int64_t SteadyClock::Frequency() {
    using Period = std::chrono::steady_clock::period;
    return Period::den / Period::num;
}

std::int64_t SteadyClock::Counter() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

void SteadyClock::Sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace velkor
