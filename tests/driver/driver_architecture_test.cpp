// Which driver a build of the program may load: the machine read from a driver file's
// header, and the one line a user gets when the program, the system and the file do not fit.
#include "driverclient/driver_architecture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velkor::test {
namespace {

// A DOS header pointing at a PE signature at `peOffset`, followed by `machine`.
std::vector<std::uint8_t> Head(std::uint32_t peOffset, std::uint16_t machine,
                               std::size_t size = 0x200) {
    std::vector<std::uint8_t> head(size, 0);
    head[0] = 'M';
    head[1] = 'Z';
    for (int i = 0; i < 4; ++i) head[0x3C + i] = static_cast<std::uint8_t>(peOffset >> (8 * i));
    // As much of the signature and machine as fits.
    const std::uint8_t pe[6] = {'P',
                                'E',
                                0,
                                0,
                                static_cast<std::uint8_t>(machine & 0xFF),
                                static_cast<std::uint8_t>(machine >> 8)};
    for (std::size_t i = 0; i < 6; ++i) {
        if (peOffset < size && i < size - peOffset) head[peOffset + i] = pe[i];
    }
    return head;
}

TEST(DriverArchitecture, MachineReadFromTheHeader) {
    struct Case {
        std::vector<std::uint8_t> head;
        ImageMachine expected;
        std::size_t read = 0;  // how much of head was read; 0: all of it
    };
    std::vector<std::uint8_t> noMz = Head(0x80, 0x8664);
    noMz[0] = 'Z';
    std::vector<std::uint8_t> noSignature = Head(0x80, 0x8664);
    noSignature[0x81] = 'X';
    const Case cases[] = {
        {Head(0x80, 0x014C), ImageMachine::kX86},
        {Head(0x80, 0x8664), ImageMachine::kX64},
        {Head(0x80, 0xAA64), ImageMachine::kUnknown},  // arm64: no driver of ours
        {noMz, ImageMachine::kUnknown},
        {noSignature, ImageMachine::kUnknown},
        // The header pointer past what was read, or the machine field cut off by its end
        // (the bytes after it are there, but were not read).
        {Head(0x1000, 0x8664), ImageMachine::kUnknown},
        {Head(0xFFFFFFFFu, 0x8664), ImageMachine::kUnknown},
        {Head(0x1FB, 0x8664, 0x210), ImageMachine::kUnknown, 0x200},
        {Head(0x1FD, 0x8664, 0x210), ImageMachine::kUnknown, 0x200},
        {Head(0x1FA, 0x8664, 0x210), ImageMachine::kX64, 0x200},
        {std::vector<std::uint8_t>(0x3F, 'M'), ImageMachine::kUnknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PeImageMachine(c.head.data(), c.read != 0 ? c.read : c.head.size()), c.expected)
            << "case " << (&c - cases);
    }
}

TEST(DriverArchitecture, EachProgramLoadsOnlyItsOwnDriver) {
    using M = ImageMachine;
    // A 32-bit program on 64-bit Windows: the 64-bit program is named, whatever file lies
    // beside it.
    for (M file : {M::kUnknown, M::kX86, M::kX64}) {
        const std::string line = DriverArchitectureProblem(M::kX86, true, file);
        EXPECT_NE(line.find("cannot load its port driver on 64-bit Windows"), std::string::npos);
        EXPECT_NE(line.find("64-bit VelkorISP.exe"), std::string::npos) << line;
    }
    EXPECT_EQ(DriverArchitectureProblem(M::kX64, true, M::kX86),
              "the Tarnel.sys beside the program is the x86 driver, but this program is x64; "
              "put the x64 Tarnel.sys beside it");
    EXPECT_EQ(DriverArchitectureProblem(M::kX86, false, M::kX64),
              "the Tarnel.sys beside the program is the x64 driver, but this program is x86; "
              "put the x86 Tarnel.sys beside it");
    EXPECT_EQ(DriverArchitectureProblem(M::kX86, false, M::kX86), "");
    EXPECT_EQ(DriverArchitectureProblem(M::kX64, true, M::kX64), "");
    // No file, or one that could not be read: the service start says what is wrong.
    EXPECT_EQ(DriverArchitectureProblem(M::kX64, true, M::kUnknown), "");
}

}  // namespace
}  // namespace velkor::test
