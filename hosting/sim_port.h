// The simulated machine seen through the engine's seams: its I/O bus as port instructions
// and its virtual counter as the high-resolution clock.
#pragma once

#include "engine/engine_seams.h"
#include "sim/sim_machine.h"

namespace velkor {

class SimPortIo : public PortIo {
  public:
    explicit SimPortIo(sim::SimMachine& machine) : machine_(machine) {}
    std::uint8_t In(std::uint16_t address) override { return machine_.In(address); }
    void Out(std::uint16_t address, std::uint8_t value) override { machine_.Out(address, value); }

  private:
    sim::SimMachine& machine_;
};

class SimClock : public Clock {
  public:
    explicit SimClock(sim::SimMachine& machine) : machine_(machine) {}
    std::int64_t Frequency() override { return machine_.Frequency(); }
    std::int64_t Counter() override { return machine_.Counter(); }
    void Sleep(unsigned milliseconds) override { machine_.Sleep(milliseconds); }

  private:
    sim::SimMachine& machine_;
};

}  // namespace velkor
