#include "hosting/linux_ppdev_port.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#define VELKOR_HAVE_PPDEV 1
#else
#define VELKOR_HAVE_PPDEV 0
#endif

namespace velkor {
namespace {

constexpr unsigned kBases[3] = {0x378, 0x278, 0x3BC};

// The base address the kernel reports for parportN ("888\t1912\n": first number is the base).
long ReadBase(const std::string& file) {
    std::ifstream in(file);
    long base = -1;
    if (in >> base) return base;
    return -1;
}

}  // namespace

LinuxPpdevPortIo::LinuxPpdevPortIo(Paths paths) {
    bool anyBaseKnown = false;
    for (int n = 0; n < 8; ++n) {
        const std::string node = paths.devDir + "/parport" + std::to_string(n);
        const long base = ReadBase(paths.procDir + "/parport" + std::to_string(n) + "/base-addr");
        if (base < 0) continue;
        anyBaseKnown = true;
        for (int lpt = 0; lpt < 3; ++lpt) {
            if (static_cast<unsigned long>(base) == kBases[lpt] && devices_[lpt].empty()) {
                devices_[lpt] = node;
            }
        }
    }
    if (!anyBaseKnown) {
        for (int lpt = 0; lpt < 3; ++lpt) {
            devices_[lpt] = paths.devDir + "/parport" + std::to_string(lpt);
        }
    }
    for (int lpt = 0; lpt < 3; ++lpt) {
        if (!paths.explicitDevices[lpt].empty()) devices_[lpt] = paths.explicitDevices[lpt];
    }
}

LinuxPpdevPortIo::~LinuxPpdevPortIo() {
    for (int lpt = 0; lpt < 3; ++lpt) Close(lpt);
}

void LinuxPpdevPortIo::Close(int lpt) {
#if VELKOR_HAVE_PPDEV
    if (fds_[lpt] >= 0) {
        ioctl(fds_[lpt], PPRELEASE);
        close(fds_[lpt]);
    }
#endif
    fds_[lpt] = -1;
}

int LinuxPpdevPortIo::Descriptor(int lpt) {
    if (tried_[lpt]) return fds_[lpt];
    tried_[lpt] = true;
#if VELKOR_HAVE_PPDEV
    if (devices_[lpt].empty()) return -1;
    const int fd = open(devices_[lpt].c_str(), O_RDWR);
    if (fd < 0) {
        // A missing node simply means no port there; anything else the user must hear about.
        if (errno != ENOENT && errno != ENODEV && errno != ENXIO) {
            errors_[lpt] = devices_[lpt] + ": " + std::strerror(errno);
        }
        return -1;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        errors_[lpt] = devices_[lpt] + ": PPCLAIM " + std::strerror(errno);
        close(fd);
        return -1;
    }
    fds_[lpt] = fd;
#endif
    return fds_[lpt];
}

std::string LinuxPpdevPortIo::AccessProblem() {
    std::string problems;
    bool anyPort = false;
    for (int lpt = 0; lpt < 3; ++lpt) {
        anyPort = Descriptor(lpt) >= 0 || anyPort;
        if (!errors_[lpt].empty()) problems += (problems.empty() ? "" : "; ") + errors_[lpt];
    }
    // With a usable port the search finds it; another node the user cannot open is no problem
    // of this run and would only make a successful log look like a failed one.
    if (problems.empty() || anyPort) return {};
    return "无法使用并口设备 (" + problems + "). 请把用户加入 lp 组, 或检查设备权限.\r\n";
}

std::uint8_t LinuxPpdevPortIo::In(std::uint16_t address) {
#if VELKOR_HAVE_PPDEV
    for (int lpt = 0; lpt < 3; ++lpt) {
        if (address < kBases[lpt] || address >= kBases[lpt] + 3) continue;
        const int fd = Descriptor(lpt);
        if (fd < 0) break;
        unsigned char value = 0xFF;
        const int reg = address - static_cast<int>(kBases[lpt]);
        const unsigned long request = reg == 0 ? PPRDATA : reg == 1 ? PPRSTATUS : PPRCONTROL;
        if (ioctl(fd, request, &value) != 0) return 0xFF;
        return value;
    }
#endif
    (void)address;
    return 0xFF;
}

void LinuxPpdevPortIo::Out(std::uint16_t address, std::uint8_t value) {
#if VELKOR_HAVE_PPDEV
    for (int lpt = 0; lpt < 3; ++lpt) {
        if (address < kBases[lpt] || address >= kBases[lpt] + 3) continue;
        const int fd = Descriptor(lpt);
        if (fd < 0) return;
        unsigned char byte = value;
        const int reg = address - static_cast<int>(kBases[lpt]);
        if (reg == 0) ioctl(fd, PPWDATA, &byte);
        if (reg == 2) ioctl(fd, PPWCONTROL, &byte);
        return;  // the status register is read-only
    }
#endif
    (void)address;
    (void)value;
}

}  // namespace velkor
