// Windows' performance counter as the engine's high-resolution clock.
#pragma once

#include "engine/engine_seams.h"

namespace velkor {

class Win32Clock : public Clock {
  public:
    // 0 when the system has no performance counter: the engine then refuses to start a run
    // instead of timing its waits on nothing.
    std::int64_t Frequency() override;
    std::int64_t Counter() override;
    void Sleep(unsigned milliseconds) override;
};

}  // namespace velkor
