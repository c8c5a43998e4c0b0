// Drives a simulated chip's programming pins directly, the way a programmer's lines would,
// without the engine: the chip tests check the models against the chips' serial protocol,
// not against the program that speaks it.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_types.h"

namespace velkor::sim::test {

class PinDriver {
  public:
    // `resetActive` is the RESET level that holds the chip in programming mode: low for AVR
    // parts, high for the 89S5x.
    PinDriver(SimTarget& chip, Level resetActive)
        : chip_(chip), active_(resetActive), reset_(Opposite(resetActive)) {}

    std::uint64_t Now() const { return now_; }
    void Wait(std::uint64_t ns) { now_ += ns; }

    // Applies the three lines; each change takes one microsecond of virtual time.
    void Lines(Level reset, Level sck, Level mosi) {
        reset_ = reset;
        sck_ = sck;
        mosi_ = mosi;
        chip_.SetLines(reset_, sck_, mosi_, now_);
        now_ += 1000;
    }
    void SetReset(Level reset) { Lines(reset, Level::kLow, Level::kLow); }

    // Takes the chip into programming mode: RESET inactive, then active with SCK low, then
    // the settling time the datasheets ask for before the first instruction.
    void EnterReset() {
        SetReset(Opposite(active_));
        SetReset(active_);
        Wait(30'000'000);
    }

    // One bit: MOSI set while SCK is low, MISO sampled, then the rising edge.
    bool Bit(bool out) {
        const Level mosi = out ? Level::kHigh : Level::kLow;
        Lines(reset_, Level::kLow, mosi);
        const bool in = chip_.Miso() == Level::kHigh;
        Lines(reset_, Level::kHigh, mosi);
        return in;
    }

    // Eight bits most significant first, ending with SCK low; returns what MISO carried.
    std::uint8_t Byte(std::uint8_t out) {
        std::uint8_t in = 0;
        for (int bit = 7; bit >= 0; --bit) {
            in = static_cast<std::uint8_t>((in << 1) | (Bit(((out >> bit) & 1) != 0) ? 1 : 0));
        }
        Lines(reset_, Level::kLow, mosi_);
        return in;
    }

    // One SCK pulse outside any byte, as a programmer gives to regain step.
    void ExtraClock() {
        Lines(reset_, Level::kHigh, Level::kLow);
        Lines(reset_, Level::kLow, Level::kLow);
    }

    // Sends the bytes and returns what came back during each of them.
    std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& bytes) {
        std::vector<std::uint8_t> in;
        for (std::uint8_t b : bytes) in.push_back(Byte(b));
        return in;
    }

    // An AVR / 89S51 four-byte instruction; returns the byte received during the fourth.
    std::uint8_t Instr(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4 = 0) {
        return Frame({b1, b2, b3, b4})[3];
    }

    // The AVR Programming Enable instruction; true when the chip echoed 0x53 in byte 3.
    bool AvrEnable() { return Frame({0xAC, 0x53, 0x00, 0x00})[2] == 0x53; }

  private:
    static Level Opposite(Level level) { return level == Level::kLow ? Level::kHigh : Level::kLow; }

    SimTarget& chip_;
    Level active_;
    Level reset_;
    Level sck_ = Level::kLow;
    Level mosi_ = Level::kLow;
    std::uint64_t now_ = 1'000'000;
};

}  // namespace velkor::sim::test
