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

bool DriversOn(const CableWiring& wiring, const ParallelPort& port) {
    for (const EnableTerm& term : wiring.enable) {
        if (term.pin != 0 && port.PinLevel(term.pin) != term.activeHigh) return false;
    }
    return true;
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

TargetLines DriveTarget(const CableWiring& wiring, const ParallelPort& port) {
    if (!DriversOn(wiring, port)) return {Level::kFloating, Level::kFloating, Level::kFloating};
    return {FromBool(port.PinLevel(wiring.resetPin)), FromBool(port.PinLevel(wiring.sckPin)),
            FromBool(port.PinLevel(wiring.mosiPin))};
}

StatusPins SenseInputs(const CableWiring& wiring, const ParallelPort& port, Level miso,
                       bool targetPowered) {
    StatusPins pins;
    // MISO passes the cable's buffer; with the buffer off or the chip silent the input floats
    // and the port's pull-up makes it read high.
    if (DriversOn(wiring, port) && miso != Level::kFloating) {
        SetInput(pins, wiring.misoPin, miso == Level::kHigh);
    }
    if (wiring.vccSensePin != 0) SetInput(pins, wiring.vccSensePin, targetPowered);
    // Loopbacks are plain wires in the plug: they work with or without target power.
    for (const Loopback& loop : wiring.loops) {
        if (loop.fromPin != 0) SetInput(pins, loop.toPin, port.PinLevel(loop.fromPin));
    }
    return pins;
}

}  // namespace velkor::sim
