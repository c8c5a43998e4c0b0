// Port registers through the Linux parport driver (/dev/parportN and its ioctls), which
// a user in group "lp" may use without root. LPT1..LPT3 are the parports whose base
// address is 0x378 / 0x278 / 0x3BC when the kernel tells the bases, else parport0..2. A
// parport at any other base (a PCI or PCIe card) answers at its own base as well, so that a
// search configured for that base finds it.
#pragma once

#include <array>
#include <string>
#include <vector>

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
    // Why no parport can be used, when none can (no node at all, the rights, a node that is
    // no parport, another reason); empty as soon as one opens.
    LogLine AccessProblem() override;

    // The device node that stands for LPT index 0..2 (empty: none).
    const std::string& DeviceFor(int lpt) const { return slots_[lpt].device; }
    // The device node whose registers sit at `base` (empty: none).
    std::string DeviceAt(unsigned base) const;
    // One log line naming every parport the kernel reported and its base; empty when the
    // kernel told no bases.
    LogLine FoundPortsLine() const;

  private:
    struct Slot {
        unsigned base;
        std::string device;
        int fd = -1;
        bool tried = false;
        int errorNumber = 0;
        std::string error;
    };
    int Descriptor(Slot& slot);  // opens and claims on first use; -1 when unusable
    void Close(Slot& slot);
    Slot* SlotFor(std::uint16_t address);

    std::string devDir_;
    std::string procDir_;
    // LPT1..LPT3 first, then the parports at other bases.
    std::vector<Slot> slots_;
    std::vector<std::pair<std::string, unsigned>> found_;  // node and base, as reported
};

}  // namespace velkor
