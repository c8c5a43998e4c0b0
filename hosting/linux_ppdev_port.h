// Port registers through the Linux parport driver (/dev/parportN and its ioctls), which
// a user in group "lp" may use without root. LPT1..LPT3 are the parports whose base
// address is 0x378 / 0x278 / 0x3BC when the kernel tells the bases, else parport0..2.
#pragma once

#include <array>
#include <string>

#include "engine/engine_seams.h"

namespace velkor {

class LinuxPpdevPortIo : public PortIo {
  public:
    struct Paths {
        std::string devDir = "/dev";                    // where parportN nodes live
        std::string procDir = "/proc/sys/dev/parport";  // where the kernel tells bases
        std::array<std::string, 3> explicitDevices;     // overrides per LPT (empty: map)
    };
    LinuxPpdevPortIo() : LinuxPpdevPortIo(Paths{}) {}
    explicit LinuxPpdevPortIo(Paths paths);
    ~LinuxPpdevPortIo() override;
    LinuxPpdevPortIo(const LinuxPpdevPortIo&) = delete;
    LinuxPpdevPortIo& operator=(const LinuxPpdevPortIo&) = delete;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    // Why no parport can be used, when none can; empty as soon as one opens.
    std::string AccessProblem() override;

    // The device node that stands for LPT index 0..2 (empty: none).
    const std::string& DeviceFor(int lpt) const { return devices_[lpt]; }

  private:
    int Descriptor(int lpt);  // opens and claims on first use; -1 when unusable
    void Close(int lpt);

    std::array<std::string, 3> devices_;
    std::array<int, 3> fds_ = {-1, -1, -1};
    std::array<bool, 3> tried_ = {false, false, false};
    std::array<std::string, 3> errors_;
};

}  // namespace velkor
