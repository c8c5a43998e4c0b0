// The five programming cables, each described as wires between connector pins and the
// target's programming pins. This is written from the cables' wiring, independently of the
// engine's register-bit table, so that a mistake in one shows up against the other.
#pragma once

#include <cstdint>
#include <string_view>

#include "sim/parallel_port.h"
#include "sim/sim_types.h"

namespace velkor::sim {

enum class CableType : std::uint8_t { kStk200, kByteBlaster, kXilinx, kLattice, kPlain };

// A loopback inside the cable plug: connector output pin to connector input pin.
struct Loopback {
    int fromPin;  // 0 = none
    int toPin;
};

// A condition on one connector output pin that enables the cable's line drivers.
struct EnableTerm {
    int pin;  // 0 = none
    bool activeHigh;
};

struct CableWiring {
    CableType type;
    std::string_view name;  // the command-line name
    int mosiPin;            // connector pins driving the target's inputs
    int sckPin;
    int resetPin;
    int misoPin;  // connector input pin that carries the target's MISO
    Loopback loops[2];
    int vccSensePin;       // connector input pin tied to the target's supply; 0 = none
    EnableTerm enable[2];  // all terms must hold for the drivers to be on
};

const CableWiring& WiringOf(CableType type);
// The wiring for a command-line name ("stk200", "byteblaster", "xilinx", "lattice", "plain").
const CableWiring* WiringByName(std::string_view name);

// Damage to a cable, in terms of connector pins so that it applies to any wiring: a wire
// broken at one pin (an output then reaches nothing, an input floats and reads high) and two
// pins touching. Touching pins form one net that is low when either side drives it low, as
// port drivers and open loopback wires behave; a ground pin (18..25) holds the other one low.
struct CableFaults {
    int cutPin = 0;             // 0 = none
    int shortPins[2] = {0, 0};  // 0 = none
    bool Any() const { return cutPin != 0 || shortPins[0] != 0; }
};

// What the target sees for the current port outputs.
struct TargetLines {
    Level reset;
    Level sck;
    Level mosi;
};
TargetLines DriveTarget(const CableWiring& wiring, const ParallelPort& port,
                        const CableFaults& faults = {});

// Levels at the connector's input pins, given the target's MISO and supply.
StatusPins SenseInputs(const CableWiring& wiring, const ParallelPort& port, Level miso,
                       bool targetPowered, const CableFaults& faults = {});

}  // namespace velkor::sim
