#include "hosting/linux_direct_port.h"

#include <cerrno>
#include <cstring>

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define VELKOR_HAVE_IOPERM 1
#else
#define VELKOR_HAVE_IOPERM 0
#endif

namespace velkor {
namespace {
constexpr unsigned short kBases[3] = {0x378, 0x278, 0x3BC};
}

#if VELKOR_HAVE_IOPERM
LinuxDirectPortIo::LinuxDirectPortIo() : LinuxDirectPortIo(&::ioperm) {}
#else
LinuxDirectPortIo::LinuxDirectPortIo() : LinuxDirectPortIo(nullptr) {}
#endif

LinuxDirectPortIo::LinuxDirectPortIo(Ioperm ioperm) : ioperm_(ioperm) {
    if (ioperm_ == nullptr) {
        problem_ = Msg::kDirectUnsupported;
        return;
    }
    int error = 0;
    for (int i = 0; i < 3; ++i) {
        granted_[i] = ioperm_(kBases[i], 3, 1) == 0;
        if (!granted_[i]) error = errno;
    }
    if (granted_[0] || granted_[1] || granted_[2]) return;
    // The advice follows the reason: root helps only where the rights were missing.
    const std::string ports = "0x378, 0x278, 0x3BC";
    const std::string reason = std::strerror(error);
    if (error == EPERM || error == EACCES) {
        problem_ = {Msg::kDirectIopermFailed, {reason}};
    } else if (error == ENOSYS) {
        problem_ = {Msg::kDirectIopermUnsupported, {ports, reason}};
    } else {
        problem_ = {Msg::kDirectIopermOther, {ports, reason}};
    }
}

LinuxDirectPortIo::~LinuxDirectPortIo() {
    for (int i = 0; i < 3; ++i) {
        if (granted_[i]) ioperm_(kBases[i], 3, 0);
    }
}

bool LinuxDirectPortIo::Granted(std::uint16_t address) const {
    for (int i = 0; i < 3; ++i) {
        if (granted_[i] && address >= kBases[i] && address < kBases[i] + 3) return true;
    }
    return false;
}

std::uint8_t LinuxDirectPortIo::In(std::uint16_t address) {
#if VELKOR_HAVE_IOPERM
    // Without the permission the instruction would fault; read as an undriven bus instead.
    if (Granted(address)) return inb(address);
#endif
    (void)address;
    return 0xFF;
}

void LinuxDirectPortIo::Out(std::uint16_t address, std::uint8_t value) {
#if VELKOR_HAVE_IOPERM
    if (Granted(address)) outb(value, address);
#endif
    (void)address;
    (void)value;
}

}  // namespace velkor
