// A PC parallel port register block: data (B), status (B+1), control (B+2). The connector
// pins are what a cable sees; the port presents them in the status register with BUSY
// (pin 11) inverted and drives pins 1, 14 and 17 inverted from the control register.
#pragma once

#include <cstdint>

namespace velkor::sim {

enum class PortMode : std::uint8_t {
    kPresent,        // a working port
    kAbsent,         // nothing decodes the addresses: every read floats to 0xFF
    kReadbackFault,  // data bit 6 stuck low: passes a 0x08 read-back but not 0x40
};

// Levels of the connector's input pins, as a cable drives them (true = high). Unconnected
// inputs are pulled high by the port.
struct StatusPins {
    bool pin10Ack = true;
    bool pin11Busy = true;
    bool pin12PaperEnd = true;
    bool pin13Select = true;
    bool pin15Error = true;
};

class ParallelPort {
  public:
    ParallelPort(std::uint16_t base, PortMode mode) : base_(base), mode_(mode) {}

    std::uint16_t Base() const { return base_; }
    PortMode Mode() const { return mode_; }
    bool Decodes(std::uint16_t address) const {
        return mode_ != PortMode::kAbsent && address >= base_ && address < base_ + 3;
    }

    std::uint8_t Data() const { return data_; }
    std::uint8_t Control() const { return control_; }
    // Level of data pin n (2..9) or of the control outputs (1, 14, 16, 17).
    bool PinLevel(int pin) const;

    void WriteData(std::uint8_t value) { data_ = value; }
    void WriteControl(std::uint8_t value) { control_ = value; }
    std::uint8_t ReadData() const;
    std::uint8_t ReadStatus(const StatusPins& pins) const;
    std::uint8_t ReadControl() const { return static_cast<std::uint8_t>(control_ | 0xC0); }

  private:
    std::uint16_t base_;
    PortMode mode_;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0;
};

}  // namespace velkor::sim
