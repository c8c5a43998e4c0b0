// Command lines as AVR Makefiles, IDE upload recipes and scripts write them for avrdude, run
// unchanged but for the program's name by the real velkorisp-dude, against a stand-in for the
// kernel's parport driver that simulates the port, cable and chip on its own (see
// tests/ppdev_shim).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "tests/dude/dude_fixture.h"

namespace velkor::dude {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AvrdudeLines, RunUnchangedOnASimulatedParport) {
    const fs::path dir = FreshDir("lines");
    fs::copy_file(fs::path(VELKOR_SOURCE_DIR) / "examples/blink.hex", dir / "blink.hex");
    fs::copy_file(fs::path(VELKOR_SOURCE_DIR) / "examples/blink.eep", dir / "blink.eep");
    struct Line {
        const char* arguments;  // after "avrdude"
        const char* chip;       // on the simulated cable
        const char* cable;
        int status;
        const char* says;  // in what it printed
    } const lines[] = {
        // The classic Makefile template's program target.
        {"-p atmega8 -P /dev/parport0 -c stk200 -U flash:w:blink.hex -U eeprom:w:blink.eep",
         "mega8", "stk200", 0, "17 bytes of eeprom written and verified"},
        {"-c pony-stk200 -p m8 -P /dev/parport0 -e -U lfuse:w:0xe4:m -U hfuse:w:0xd9:m "
         "-U lock:w:0x3c:m",
         "mega8", "stk200", 0, "lock written: 0x3c"},
        // An IDE's upload recipe: options glued to their values, a configuration file.
        {"-C /etc/avrdude.conf -v -patmega8 -cstk200 -P/dev/parport0 -b19200 -D "
         "-Uflash:w:blink.hex:i",
         "mega8", "stk200", 0, "-C /etc/avrdude.conf does not apply"},
        {"-p t85 -c blaster -P /dev/parport0 -q -q -U flash:r:-:i", "tiny85", "byteblaster", 0,
         ":00000001FF"},
        {"-p m8 -c abcmini -P /dev/parport0 -U signature:r:-:h", "mega8", "lattice", 0,
         "0x1e,0x93,0x07"},
        {"-p m16 -c xil -P /dev/parport0", "mega8", "xilinx", 1, "is not the mega16's"},
        {"-p m16 -c xil -P /dev/parport0 -F", "mega8", "xilinx", 0, "going on (-F)"},
    };
    for (const Line& line : lines) {
        const fs::path dump = dir / "chip";
        fs::remove_all(dump);
        const std::string command =
            "cd " + dir.string() +
            " && ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 LD_PRELOAD=" +
            VELKOR_PPDEV_SHIM + " VELKOR_SHIM_CHIP=" + line.chip +
            " VELKOR_SHIM_CABLE=" + line.cable + " VELKOR_SHIM_DUMP=" + dump.string() + " " +
            VELKOR_DUDE_PATH + " " + line.arguments + " > out.txt 2>&1";
        const int raw = std::system(command.c_str());
        const std::string printed = ReadText(dir / "out.txt");
        ASSERT_TRUE(WIFEXITED(raw)) << line.arguments;
        EXPECT_EQ(WEXITSTATUS(raw), line.status) << line.arguments << "\n" << printed;
        EXPECT_NE(printed.find(line.says), std::string::npos) << line.arguments << "\n" << printed;
        // Each -c names the wiring of the cable on the port.
        EXPECT_EQ(printed.find("names another wiring"), std::string::npos) << line.arguments;
    }
    // The first line's chip holds the file, by srec_cat's reading of it.
    const std::string first =
        std::string("cd ") + dir.string() +
        " && ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 LD_PRELOAD=" + VELKOR_PPDEV_SHIM +
        " VELKOR_SHIM_DUMP=chip " + VELKOR_DUDE_PATH +
        " -p atmega8 -P /dev/parport0 -c stk200 -U flash:w:blink.hex" +
        " >/dev/null 2>&1 && srec_cat blink.hex -intel -o ref.bin -binary";
    ASSERT_EQ(std::system(first.c_str()), 0);
    const std::string flash = ReadText(dir / "chip" / "flash.bin");
    const std::string ref = ReadText(dir / "ref.bin");
    ASSERT_FALSE(ref.empty());
    EXPECT_EQ(flash.substr(0, ref.size()), ref);
    EXPECT_EQ(flash.find_first_not_of('\xFF', ref.size()), std::string::npos);
}

}  // namespace
}  // namespace velkor::dude
