// The platform's monotonic clock as the engine's high-resolution counter.
#pragma once

#include "engine/engine_seams.h"

namespace velkor {

class SteadyClock : public Clock {
  public:
    std::int64_t Frequency() override;
    std::int64_t Counter() override;
    void Sleep(unsigned milliseconds) override;
};

}  // namespace velkor
