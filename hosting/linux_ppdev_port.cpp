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

LinuxPpdevPortIo::LinuxPpdevPortIo(Paths paths) : devDir_(paths.devDir), procDir_(paths.procDir) {
    for (unsigned base : kBases) slots_.push_back({base, {}});
    for (int n = 0; n < 16; ++n) {
        const std::string node = paths.devDir + "/parport" + std::to_string(n);
        const long base = ReadBase(paths.procDir + "/parport" + std::to_string(n) + "/base-addr");
        if (base <= 0 || base > 0xFFFC) continue;
        const auto at = static_cast<unsigned>(base);
        found_.emplace_back(node, at);
        bool taken = false;
        for (Slot& slot : slots_) {
            if (slot.base != at) continue;
            if (slot.device.empty()) slot.device = node;
            taken = true;
        }
        if (!taken) slots_.push_back({at, node});
    }
    if (found_.empty()) {
        for (int lpt = 0; lpt < 3; ++lpt) {
            slots_[lpt].device = paths.devDir + "/parport" + std::to_string(lpt);
        }
    }
    for (int lpt = 0; lpt < 3; ++lpt) {
        if (!paths.explicitDevices[lpt].empty()) slots_[lpt].device = paths.explicitDevices[lpt];
    }
}

LinuxPpdevPortIo::~LinuxPpdevPortIo() {
    for (Slot& slot : slots_) Close(slot);
}

std::string LinuxPpdevPortIo::DeviceAt(unsigned base) const {
    for (const Slot& slot : slots_) {
        if (slot.base == base) return slot.device;
    }
    return {};
}

LogLine LinuxPpdevPortIo::FoundPortsLine() const {
    if (found_.empty()) return {};
    std::string line;
    char text[16];
    for (const auto& [node, base] : found_) {
        std::snprintf(text, sizeof text, "0x%X", base);
        line += " " + node + " (" + text + ")";
    }
    return {Msg::kPpdevFound, {line}};
}

void LinuxPpdevPortIo::Close(Slot& slot) {
#if VELKOR_HAVE_PPDEV
    if (slot.fd >= 0) {
        ioctl(slot.fd, PPRELEASE);
        close(slot.fd);
    }
#endif
    slot.fd = -1;
}

int LinuxPpdevPortIo::Descriptor(Slot& slot) {
    if (slot.tried) return slot.fd;
    slot.tried = true;
#if VELKOR_HAVE_PPDEV
    if (slot.device.empty()) return -1;
    const int fd = open(slot.device.c_str(), O_RDWR);
    if (fd < 0) {
        // A missing node simply means no port there; anything else the user must hear about.
        if (errno != ENOENT && errno != ENODEV && errno != ENXIO) {
            slot.errorNumber = errno;
            slot.error = slot.device + ": " + std::strerror(errno);
        }
        return -1;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        slot.errorNumber = errno;
        slot.error = slot.device + ": PPCLAIM " + std::strerror(errno);
        close(fd);
        return -1;
    }
    slot.fd = fd;
#endif
    return slot.fd;
}

LinuxPpdevPortIo::Slot* LinuxPpdevPortIo::SlotFor(std::uint16_t address) {
    for (Slot& slot : slots_) {
        if (address >= slot.base && address - slot.base < 3) return &slot;
    }
    return nullptr;
}

LogLine LinuxPpdevPortIo::AccessProblem() {
    std::string problems;
    bool anyPort = false;
    bool denied = false;
    bool notParport = false;
    bool anyNode = !found_.empty();
    std::error_code ec;
    for (Slot& slot : slots_) {
        anyPort = Descriptor(slot) >= 0 || anyPort;
        anyNode = anyNode || (!slot.device.empty() && std::filesystem::exists(slot.device, ec));
        if (slot.error.empty()) continue;
        problems += (problems.empty() ? "" : "; ") + slot.error;
        denied = denied || slot.errorNumber == EACCES || slot.errorNumber == EPERM;
        // A node that opens but takes no parport request (a character device of another
        // kind, /dev/null say) is the wrong device, not a matter of rights.
        notParport = notParport || slot.errorNumber == ENOTTY || slot.errorNumber == EINVAL;
    }
    // With a usable port the search finds it; another node the user cannot open is no problem
    // of this run and would only make a successful log look like a failed one.
    if (anyPort) return {};
    if (!anyNode) return {Msg::kPpdevNoneFound, {devDir_ + "/parport*", procDir_}};
    if (problems.empty()) return {};
    // The advice follows the reason: group lp helps only where the rights were missing.
    if (denied) return {Msg::kPpdevUnusable, {problems}};
    if (notParport) return {Msg::kPpdevNotParallelPort, {problems}};
    return {Msg::kPpdevCannotUse, {problems}};
}

std::uint8_t LinuxPpdevPortIo::In(std::uint16_t address) {
#if VELKOR_HAVE_PPDEV
    if (Slot* slot = SlotFor(address)) {
        const int fd = Descriptor(*slot);
        if (fd < 0) return 0xFF;
        unsigned char value = 0xFF;
        const unsigned reg = address - slot->base;
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
    if (Slot* slot = SlotFor(address)) {
        const int fd = Descriptor(*slot);
        if (fd < 0) return;
        unsigned char byte = value;
        const unsigned reg = address - slot->base;
        if (reg == 0) ioctl(fd, PPWDATA, &byte);
        if (reg == 2) ioctl(fd, PPWCONTROL, &byte);
        return;  // the status register is read-only
    }
#endif
    (void)address;
    (void)value;
}

}  // namespace velkor
