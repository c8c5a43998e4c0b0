// Electrical levels and the interface every simulated target chip offers to a cable.
#pragma once

#include <cstdint>

namespace velkor::sim {

// A wire is driven low, driven high, or left floating (its level then comes from a pull
// resistor on the receiving side).
enum class Level : std::uint8_t { kLow, kHigh, kFloating };

inline Level FromBool(bool high) {
    return high ? Level::kHigh : Level::kLow;
}

// A target chip as the programming connector sees it: three inputs, one output, power.
class SimTarget {
  public:
    virtual ~SimTarget() = default;
    // New input levels at virtual time `nowNs`. Called on every change of the cable's lines.
    virtual void SetLines(Level reset, Level sck, Level mosi, std::uint64_t nowNs) = 0;
    // The level the chip drives on MISO (floating while its serial interface is off).
    virtual Level Miso() const = 0;
    virtual void SetPower(bool on, std::uint64_t nowNs) = 0;
    virtual bool Powered() const = 0;
    // Instructions that arrived while the chip was busy and were therefore lost.
    virtual std::uint64_t LostInstructions() const = 0;
};

}  // namespace velkor::sim
