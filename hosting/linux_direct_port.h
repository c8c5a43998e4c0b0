// Port instructions executed by the program itself (Linux: ioperm, then inb/outb).
#pragma once

#include <string>

#include "engine/engine_seams.h"

namespace velkor {

class LinuxDirectPortIo : public PortIo {
  public:
    // Asks the kernel for the three LPT register blocks.
    LinuxDirectPortIo();
    ~LinuxDirectPortIo() override;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    LogLine AccessProblem() override { return problem_; }

  private:
    bool Granted(std::uint16_t address) const;
    bool granted_[3] = {false, false, false};
    LogLine problem_;
};

}  // namespace velkor
