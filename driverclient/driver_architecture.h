// Which processor the program and its driver file are built for. A 64-bit Windows loads only
// 64-bit kernel drivers and a 32-bit one only 32-bit drivers, so each build of the program
// loads the Tarnel.sys of its own architecture, from its own folder; these checks turn a
// mismatch into one plain sentence at start instead of a failed service start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor {

enum class ImageMachine { kUnknown, kX86, kX64 };

// The processor this program was built for.
constexpr ImageMachine kProgramMachine =
    sizeof(void*) == 8 ? ImageMachine::kX64 : ImageMachine::kX86;

// "x86", "x64" or "unknown".
const char* MachineName(ImageMachine machine);

// The machine field of a PE image from its first bytes (the DOS header, and the PE header it
// points to); kUnknown when they are no PE image or name another processor.
ImageMachine PeImageMachine(const std::uint8_t* head, std::size_t size);

// Why this program cannot use a driver here, as one line naming what to start or copy
// instead; empty when nothing stands in the way. `systemIs64Bit`: the running Windows is
// 64-bit. `driverFile`: the machine of the Tarnel.sys beside the program (kUnknown when there
// is none, or it could not be read: the service start then says what is wrong).
std::string DriverArchitectureProblem(ImageMachine program, bool systemIs64Bit,
                                      ImageMachine driverFile);

}  // namespace velkor
