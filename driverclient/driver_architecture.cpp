#include "driverclient/driver_architecture.h"

namespace velkor {
namespace {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

std::uint32_t U32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

const char* MachineName(ImageMachine machine) {
    switch (machine) {
        case ImageMachine::kX86:
            return "x86";
        case ImageMachine::kX64:
            return "x64";
        case ImageMachine::kUnknown:
            break;
    }
    return "unknown";
}

ImageMachine PeImageMachine(const std::uint8_t* head, std::size_t size) {
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return ImageMachine::kUnknown;
    const std::uint32_t pe = U32(head + 0x3C);
    // The signature and the machine field after it must lie inside what was read.
    if (pe > size || size - pe < 6) return ImageMachine::kUnknown;
    if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) {
        return ImageMachine::kUnknown;
    }
    const std::uint16_t machine = static_cast<std::uint16_t>(head[pe + 4] | (head[pe + 5] << 8));
    if (machine == kMachineI386) return ImageMachine::kX86;
    if (machine == kMachineAmd64) return ImageMachine::kX64;
    return ImageMachine::kUnknown;
}

std::string DriverArchitectureProblem(ImageMachine program, bool systemIs64Bit,
                                      ImageMachine driverFile) {
    if (program == ImageMachine::kX86 && systemIs64Bit) {
        // A 64-bit kernel refuses the 32-bit driver whatever the file beside the program is:
        // only the 64-bit build of the program, beside the x64 driver, reaches the port here.
        return "this 32-bit program cannot load its port driver on 64-bit Windows; start the "
               "64-bit VelkorISP.exe (or velkorisp-cli.exe) with the x64 Tarnel.sys beside it";
    }
    if (driverFile != ImageMachine::kUnknown && driverFile != program) {
        return std::string("the Tarnel.sys beside the program is the ") + MachineName(driverFile) +
               " driver, but this program is " + MachineName(program) + "; put the " +
               MachineName(program) + " Tarnel.sys beside it";
    }
    return {};
}

}  // namespace velkor
