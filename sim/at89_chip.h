// An AT89S5x part in serial programming mode: RESET is active high, SCK's rising edge
// samples MOSI, MISO changes on the falling edge. The 89S51/52 speak four-byte
// instructions with 256-byte page modes; the 89S53/8252 speak three-byte instructions that
// carry the high address bits in the opcode byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_types.h"

namespace velkor::sim {

struct At89ChipTraits {
    std::string name;
    std::uint8_t signature[3] = {0, 0, 0};
    std::uint32_t flashSize = 0;
    bool threeByteFormat = false;
    std::uint64_t byteWriteNs = 1'000'000;
    std::uint64_t pageWriteNs = 500'000;
    std::uint64_t eraseNs = 400'000'000;
};

class At89Chip : public SimTarget {
  public:
    explicit At89Chip(At89ChipTraits traits);

    void SetLines(Level reset, Level sck, Level mosi, std::uint64_t nowNs) override;
    Level Miso() const override;
    void SetPower(bool on, std::uint64_t nowNs) override;
    bool Powered() const override { return powered_; }
    std::uint64_t LostInstructions() const override { return lostInstructions_; }

    const At89ChipTraits& Traits() const { return traits_; }
    std::vector<std::uint8_t>& Flash() { return flash_; }
    const std::vector<std::uint8_t>& Flash() const { return flash_; }
    bool ProgrammingEnabled() const { return enabled_; }
    std::uint64_t EraseCount() const { return eraseCount_; }

  private:
    bool InterfaceOn() const { return powered_ && resetHigh_; }
    bool IsBusy(std::uint64_t nowNs) const { return nowNs < busyUntil_; }
    void ByteReceived(std::uint8_t value, std::uint64_t nowNs);
    void EndFrame();
    std::uint8_t ReadCode(std::uint32_t address, std::uint64_t nowNs) const;
    void WriteCode(std::uint32_t address, std::uint8_t value, std::uint64_t nowNs);
    std::uint32_t Wrap(std::uint32_t address) const {
        return flash_.empty() ? 0 : address % static_cast<std::uint32_t>(flash_.size());
    }

    At89ChipTraits traits_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> pageBuffer_;

    bool powered_ = true;
    bool resetHigh_ = false;
    bool sck_ = false;
    bool enabled_ = false;
    unsigned bitInByte_ = 0;
    std::uint8_t inByte_ = 0;
    std::uint8_t outByte_ = 0;  // shifted out during the byte now being clocked
    bool misoLatch_ = false;
    std::vector<std::uint8_t> frame_;  // bytes of the instruction received so far

    std::uint64_t busyUntil_ = 0;
    std::uint32_t busyPage_ = 0xFFFFFFFF;
    std::uint64_t lostInstructions_ = 0;
    std::uint64_t eraseCount_ = 0;
};

}  // namespace velkor::sim
