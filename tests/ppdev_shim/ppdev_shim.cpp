// A stand-in for the kernel's parport driver, loaded with LD_PRELOAD under velkorisp-cli: it
// answers open() of /dev/parportN and the ppdev ioctls from a simulated port, cable and
// chip, so that the ppdev port path is exercised through the real system-call interface.
//
// Environment: VELKOR_SHIM_CHIP (default mega8), VELKOR_SHIM_CABLE (default stk200),
// VELKOR_SHIM_DUMP (folder for flash.bin, eeprom.bin, state.txt at close),
// VELKOR_SHIM_LOG (file that receives one line per ioctl request kind used).
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "devices/chip_table.h"
#include "hosting/sim_chip_catalog.h"
#include "sim/sim_machine.h"

namespace {

struct Shim {
    std::mutex mutex;
    int fd = -1;
    bool claimed = false;
    std::unique_ptr<velkor::sim::SimMachine> machine;
    velkor::sim::AvrChip* avr = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::set<std::string> requests;
};

Shim& TheShim() {
    static Shim shim;
    return shim;
}

const char* Env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : fallback;
}

void Build(Shim& s) {
    s.machine = std::make_unique<velkor::sim::SimMachine>();
    s.machine->AddPort(0x378);
    s.machine->PlugCable(velkor::sim::WiringByName(Env("VELKOR_SHIM_CABLE", "stk200")));
    const int row = velkor::FindChipByName(0, Env("VELKOR_SHIM_CHIP", "mega8"));
    auto chip = velkor::MakeSimAvrChip(static_cast<unsigned>(row < 0 ? 7 : row));
    s.avr = chip.get();
    s.machine->AttachTarget(std::move(chip));
}

// The program waits on the real clock; the chip's writes take virtual time. Real time that
// passes between two accesses (a millisecond wait) passes on the virtual clock too.
void Sync(Shim& s) {
    const auto now = std::chrono::steady_clock::now();
    const auto gap = std::chrono::duration_cast<std::chrono::nanoseconds>(now - s.start).count();
    s.start = now;
    if (gap > 0) s.machine->AdvanceNs(static_cast<std::uint64_t>(gap));
}

void Dump(Shim& s) {
    const char* dir = std::getenv("VELKOR_SHIM_DUMP");
    if (dir == nullptr || s.avr == nullptr) return;
    std::filesystem::create_directories(dir);
    std::ofstream(std::string(dir) + "/flash.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(s.avr->Flash().data()),
               static_cast<std::streamsize>(s.avr->Flash().size()));
    std::ofstream log(std::string(dir) + "/requests.txt");
    for (const std::string& r : s.requests) log << r << "\n";
}

bool IsParport(const char* path) {
    return path != nullptr && std::strncmp(path, "/dev/parport", 12) == 0;
}

int OpenFake(const char* path) {
    Shim& s = TheShim();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (std::strcmp(path, "/dev/parport0") != 0) {
        errno = ENOENT;
        return -1;
    }
    if (!s.machine) Build(s);
    using OpenFn = int (*)(const char*, int, ...);
    static auto realOpen = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "open"));
    s.fd = realOpen("/dev/null", O_RDWR);
    return s.fd;
}

}  // namespace

extern "C" {}  // extern "C"

namespace {

// Passes an open of anything but a parport device on to the C library's `symbol`.
int OpenThrough(const char* symbol, const char* path, int flags, va_list args) {
    if (IsParport(path)) return OpenFake(path);
    const mode_t mode =
        (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    using OpenFn = int (*)(const char*, int, ...);
    auto realOpen = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, symbol));
    return realOpen(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = OpenThrough("open", path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = OpenThrough("open64", path, flags, args);
    va_end(args);
    return fd;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    Shim& s = TheShim();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (fd == s.fd && fd >= 0) {
            auto* byte = static_cast<unsigned char*>(argument);
            Sync(s);
            switch (request) {
                case PPCLAIM:
                    s.requests.insert("PPCLAIM");
                    s.claimed = true;
                    return 0;
                case PPRELEASE:
                    s.requests.insert("PPRELEASE");
                    s.claimed = false;
                    return 0;
                case PPRDATA:
                case PPRSTATUS:
                case PPRCONTROL:
                case PPWDATA:
                case PPWCONTROL:
                    break;
                default:
                    errno = ENOTTY;
                    return -1;
            }
            if (!s.claimed) {
                errno = EINVAL;  // the kernel refuses register access before PPCLAIM
                return -1;
            }
            switch (request) {
                case PPRDATA:
                    s.requests.insert("PPRDATA");
                    *byte = s.machine->In(0x378);
                    return 0;
                case PPRSTATUS:
                    s.requests.insert("PPRSTATUS");
                    *byte = s.machine->In(0x379);
                    return 0;
                case PPRCONTROL:
                    s.requests.insert("PPRCONTROL");
                    *byte = s.machine->In(0x37A);
                    return 0;
                case PPWDATA:
                    s.requests.insert("PPWDATA");
                    s.machine->Out(0x378, *byte);
                    return 0;
                default:
                    s.requests.insert("PPWCONTROL");
                    s.machine->Out(0x37A, static_cast<unsigned char>(*byte & 0x0F));
                    return 0;
            }
        }
    }
    using IoctlFn = int (*)(int, unsigned long, ...);
    static auto realIoctl = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
    return realIoctl(fd, request, argument);
}

int close(int fd) {
    Shim& s = TheShim();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (fd == s.fd && fd >= 0) {
            Dump(s);
            s.fd = -1;
        }
    }
    using CloseFn = int (*)(int);
    static auto realClose = reinterpret_cast<CloseFn>(dlsym(RTLD_NEXT, "close"));
    return realClose(fd);
}

}  // extern "C"
