// The driver run inside the program: each control call goes straight to the driver's own
// dispatch, which reaches the port through a PortIo (the simulated machine). It lets the
// whole driver path, protocol included, run and be tested without Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/dispatch.h"
#include "driverclient/driver_channel.h"
#include "engine/engine_seams.h"

namespace velkor {

class InProcessChannel : public DriverChannel {
  public:
    // `onCall` (optional) hears of every device call, e.g. the simulator's call counter.
    explicit InProcessChannel(PortIo& port, std::function<void()> onCall = {});

    bool Control(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t* bytesReturned) override;
    std::uint32_t LastError() const override { return lastError_; }

    std::uint64_t Calls() const { return calls_; }
    // Calls per control code function number 0..6 (READ_PORT .. READ_PAGE); others at 7.
    const std::uint64_t* CallsByCode() const { return byCode_; }
    const DriverParams& Params() const { return params_; }

  private:
    static std::uint8_t In(void* context, std::uint16_t port);
    static void Out(void* context, std::uint16_t port, std::uint8_t value);

    PortIo& port_;
    std::function<void()> onCall_;
    DriverParams params_{};  // zero, as in a freshly loaded driver
    TarnelPortIo io_;
    std::uint64_t calls_ = 0;
    std::uint32_t lastError_ = 0;
    std::uint64_t byCode_[8] = {};
};

}  // namespace velkor
