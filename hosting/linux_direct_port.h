// Port instructions executed by the program itself (Linux: ioperm, then inb/outb).
#pragma once

#include <string>

#include "engine/engine_seams.h"

namespace velkor {

class LinuxDirectPortIo : public PortIo {
  public:
    // The kernel's call that opens ports to the process (ioperm), or a stand-in for tests.
    using Ioperm = int (*)(unsigned long from, unsigned long count, int turnOn);
    // Asks the kernel for the three LPT register blocks.
    LinuxDirectPortIo();
    explicit LinuxDirectPortIo(Ioperm ioperm);
    ~LinuxDirectPortIo() override;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    LogLine AccessProblem() override { return problem_; }

  private:
    bool Granted(std::uint16_t address) const;
    Ioperm ioperm_ = nullptr;
    bool granted_[3] = {false, false, false};
    LogLine problem_;
};

}  // namespace velkor
