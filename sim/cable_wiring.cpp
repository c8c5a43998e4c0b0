#include "sim/cable_wiring.h"

namespace velkor::sim {
namespace {

// Connector pins: D0..D7 are pins 2..9; ACK 10, BUSY 11, PAPER END 12, SELECT 13,
// ERROR 15; /AUTOFEED 14.
// clang-format off
constexpr CableWiring kWirings[] = {
    // STK200/STK300: a 74HC244 buffer enabled by D2 and D3 low; D0 looped to PAPER END.
    {CableType::kStk200, "stk200", 7, 6, 9, 10, {{2, 12}, {0, 0}}, 15, {{4, false}, {5, false}}},
    // ByteBlasterMV: buffer enabled by /AUTOFEED low; D5 looped to ACK; no supply sense.
    {CableType::kByteBlaster, "byteblaster", 8, 2, 3, 11, {{7, 10}, {0, 0}}, 0, {{14, false}, {0, false}}},
    // Xilinx cable: buffer enabled by D3 low and D4 high; D6 looped to PAPER END and BUSY.
    {CableType::kXilinx, "xilinx", 2, 3, 4, 13, {{8, 12}, {8, 11}}, 15, {{5, false}, {6, true}}},
    // Lattice cable: buffer enabled by D3 low; D6 looped to PAPER END.
    {CableType::kLattice, "lattice", 2, 3, 4, 10, {{8, 12}, {0, 0}}, 15, {{5, false}, {0, false}}},
    // The unnamed cable: buffer enabled by D3 high; D7 looped to PAPER END.
    {CableType::kPlain, "plain", 3, 2, 4, 11, {{9, 12}, {0, 0}}, 15, {{5, true}, {0, false}}},
};
// clang-format on

bool IsGround(int pin) {
    return pin >= 18 && pin <= 25;
}

bool IsInput(int pin) {
    return pin == 10 || pin == 11 || pin == 12 || pin == 13 || pin == 15;
}

// The pin a fault shorts to `pin`, 0 when none.
int ShortPartner(const CableFaults& faults, int pin) {
    if (faults.shortPins[0] == pin) return faults.shortPins[1];
    if (faults.shortPins[1] == pin) return faults.shortPins[0];
    return 0;
}

// The level an output pin has on the cable's side, with a short to another output or to
// ground pulling it low. Inputs shorted to it are applied in SenseInputs.
bool OutputLevel(const ParallelPort& port, int pin, const CableFaults& faults) {
    bool level = port.PinLevel(pin);
    const int other = ShortPartner(faults, pin);
    if (IsGround(other)) return false;
    if (other != 0 && !IsInput(other)) level = level && port.PinLevel(other);
    return level;
}

bool DriversOn(const CableWiring& wiring, const ParallelPort& port, const CableFaults& faults) {
    for (const EnableTerm& term : wiring.enable) {
        if (term.pin == 0) continue;
        // A buffer enable whose wire is broken leaves the buffer off.
        if (term.pin == faults.cutPin) return false;
        if (OutputLevel(port, term.pin, faults) != term.activeHigh) return false;
    }
    return true;
}

bool GetInput(const StatusPins& pins, int pin) {
    switch (pin) {
        case 10:
            return pins.pin10Ack;
        case 11:
            return pins.pin11Busy;
        case 12:
            return pins.pin12PaperEnd;
        case 13:
            return pins.pin13Select;
        case 15:
            return pins.pin15Error;
        default:
            return true;
    }
}

void SetInput(StatusPins& pins, int pin, bool level) {
    switch (pin) {
        case 10:
            pins.pin10Ack = level;
            break;
        case 11:
            pins.pin11Busy = level;
            break;
        case 12:
            pins.pin12PaperEnd = level;
            break;
        case 13:
            pins.pin13Select = level;
            break;
        case 15:
            pins.pin15Error = level;
            break;
        default:
            break;
    }
}

}  // namespace

const CableWiring& WiringOf(CableType type) {
    for (const CableWiring& wiring : kWirings) {
        if (wiring.type == type) return wiring;
    }
    return kWirings[0];
}

const CableWiring* WiringByName(std::string_view name) {
    for (const CableWiring& wiring : kWirings) {
        if (wiring.name == name) return &wiring;
    }
    return nullptr;
}

TargetLines DriveTarget(const CableWiring& wiring, const ParallelPort& port,
                        const CableFaults& faults) {
    if (!DriversOn(wiring, port, faults)) {
        return {Level::kFloating, Level::kFloating, Level::kFloating};
    }
    auto line = [&](int pin) {
        return pin == faults.cutPin ? Level::kFloating : FromBool(OutputLevel(port, pin, faults));
    };
    return {line(wiring.resetPin), line(wiring.sckPin), line(wiring.mosiPin)};
}

StatusPins SenseInputs(const CableWiring& wiring, const ParallelPort& port, Level miso,
                       bool targetPowered, const CableFaults& faults) {
    StatusPins pins;
    // MISO passes the cable's buffer; with the buffer off or the chip silent the input floats
    // and the port's pull-up makes it read high.
    if (DriversOn(wiring, port, faults) && miso != Level::kFloating) {
        SetInput(pins, wiring.misoPin, miso == Level::kHigh);
    }
    if (wiring.vccSensePin != 0) SetInput(pins, wiring.vccSensePin, targetPowered);
    // Loopbacks are plain wires in the plug: they work with or without target power.
    for (const Loopback& loop : wiring.loops) {
        if (loop.fromPin != 0 && loop.fromPin != faults.cutPin) {
            SetInput(pins, loop.toPin, OutputLevel(port, loop.fromPin, faults));
        }
    }
    // A short that involves an input: the net is low when either side is.
    const int a = faults.shortPins[0];
    const int b = faults.shortPins[1];
    if (a != 0 && b != 0 && (IsInput(a) || IsInput(b))) {
        auto level = [&](int pin) {
            if (IsGround(pin)) return false;
            return IsInput(pin) ? GetInput(pins, pin) : OutputLevel(port, pin, faults);
        };
        const bool net = level(a) && level(b);
        if (IsInput(a)) SetInput(pins, a, net);
        if (IsInput(b)) SetInput(pins, b, net);
    }
    if (IsInput(faults.cutPin)) SetInput(pins, faults.cutPin, true);
    return pins;
}

}  // namespace velkor::sim
