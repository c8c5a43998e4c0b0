// A complete simulated bench bound to an engine: a port at a chosen base, a cable in it
// and a chip on the cable. The command line's demo device and every test's fixture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/isp_programmer.h"
#include "hosting/sim_port.h"
#include "sim/at89_chip.h"
#include "sim/avr_chip.h"
#include "sim/sim_machine.h"

namespace velkor {

struct SimBenchOptions {
    std::string chip = "mega8";    // a name of either chip list; empty: no target attached
    std::string cable = "stk200";  // stk200, byteblaster, xilinx, lattice, plain; empty: none
    std::uint16_t base = 0x378;    // where the port sits; 0: no port at all
    sim::PortMode portMode = sim::PortMode::kPresent;
    bool targetPower = true;
    sim::CableFaults cableFaults;
    sim::AvrChipFaults faults;
    sim::SimTiming timing;
};

class SimBench {
  public:
    // Builds the bench and binds it to the engine's direct port path and clock.
    // `error` (if given) receives a message for an unknown chip or cable name.
    SimBench(IspProgrammer& engine, const SimBenchOptions& options, std::string* error = nullptr);
    ~SimBench();

    sim::SimMachine& Machine() { return machine_; }
    sim::AvrChip* Avr() const { return avr_; }
    sim::At89Chip* At89() const { return at89_; }
    // The family the chip belongs to and its row in that family's table (-1: none).
    std::uint32_t ChipFamily() const { return family_; }
    int ChipRow() const { return row_; }

  private:
    IspProgrammer& engine_;
    sim::SimMachine machine_;
    SimPortIo io_;
    SimClock clock_;
    sim::AvrChip* avr_ = nullptr;
    sim::At89Chip* at89_ = nullptr;
    std::uint32_t family_ = 0;
    int row_ = -1;
};

}  // namespace velkor
