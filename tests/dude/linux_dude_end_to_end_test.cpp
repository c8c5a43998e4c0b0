// velkorisp-dude on the simulated bench: the command lines AVR Makefiles run, an ELF file
// with EEPROM and fuse sections, a read to raw binary and back, and the refusals.
#include <gtest/gtest.h>

#include "dude/dude_options.h"
#include "tests/dude/dude_fixture.h"

namespace velkor::dude {
namespace {

namespace fs = std::filesystem;

TEST(DudeEndToEnd, MakefileLinesProgramReadToRawBinaryAndBack) {
    const fs::path dir = FreshDir("make");
    fs::copy_file(fs::path(VELKOR_SOURCE_DIR) / "examples/blink.hex", dir / "main.hex");
    fs::copy_file(fs::path(VELKOR_SOURCE_DIR) / "examples/blink.eep", dir / "main.eep");
    const DudeRun program =
        Dude(dir,
             "-p atmega8 -c stk200 -P sim -U flash:w:main.hex:i -U eeprom:w:main.eep:i "
             "-U lfuse:w:0xE2:m -U lfuse:r:-:h -U flash:r:back.bin:r -U eeprom:r:back.eep:i");
    ASSERT_EQ(program.status, 0) << program.err;
    EXPECT_EQ(program.out, "0xe2\n");
    // Erased flash at the end is not part of the file.
    ASSERT_TRUE(fs::exists(dir / "back.bin"));
    EXPECT_LT(fs::file_size(dir / "back.bin"), 8192u);

    // A fresh chip from the raw read and the HEX read: both verify against the originals.
    const DudeRun back = Dude(dir,
                              "-p m8 -P sim -U flash:w:back.bin:r -U eeprom:w:back.eep "
                              "-U flash:v:main.hex:i -U eeprom:v:main.eep:i");
    EXPECT_EQ(back.status, 0) << back.err;
}

TEST(DudeEndToEnd, ElfSectionsGoToFlashEepromAndFuses) {
    const fs::path dir = FreshDir("elf");
    BuildElfFixture(dir);
    const DudeRun run = Dude(dir,
                             "-p m8 -c stk200 -P sim -U flash:w:app.elf:e -U eeprom:w:app.elf "
                             "-U lfuse:w:app.elf:e -U hfuse:w:app.elf:e -U flash:v:app.hex:i "
                             "-U eeprom:v:app.eep:i -U lfuse:r:-:h -U hfuse:r:-:h");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0xe4\n0xd9\n");
}

TEST(DudeEndToEnd, RefusesWithOneClearLine) {
    const fs::path dir = FreshDir("refuse");
    BuildElfFixture(dir);
    fs::copy_file("/proc/self/exe", dir / "host.elf");
    {
        std::ifstream in(dir / "app.elf", std::ios::binary);
        std::string head(200, '\0');
        in.read(head.data(), 200);
        std::ofstream(dir / "cut.elf", std::ios::binary) << head;
        std::ofstream(dir / "big.bin", std::ios::binary) << std::string(8193, '\x00');
    }
    struct Case {
        const char* line;
        int status;
        const char* says;
    } const cases[] = {
        // RSTDISBL: -F overrides the signature check only.
        {"-p m8 -P sim -F -U hfuse:w:0x59:m", 1, "give --unsafe-fuses"},
        {"-p m8 -P sim --unsafe-fuses -U hfuse:w:0x59:m", 0, "hfuse written: 0x59"},
        {"-p m8 -P sim -U flash:w:host.elf", 1, "an ELF file for another processor (machine 62)"},
        {"-p m8 -P sim -U flash:w:cut.elf:e", 1, "cut.elf: damaged ELF file"},
        {"-p m8 -P sim -U flash:w:big.bin:r", 1, "1 bytes beyond the 8192-byte flash"},
        {"-p m8 -P sim -U efuse:w:0xFF:m", 1, "efuse: mega8 has no such fuse byte"},
        {"-p m8 -c usbasp -U flash:w:app.hex", 1, "use one of: stk200, pony-stk200"},
        // A port named but missing is no reason to program the simulated chip instead.
        {"-p m8 -P lpt1 -U flash:w:app.hex", 1, "no parallel port for -P lpt1"},
        {"-p m8 -P sim -n -U flash:w:app.hex -U flash:v:app.hex", 1, "verification error"},
        {"-p m8 -P sim -U flash:r:x.elf:e", 1, "ELF files are read, not written"},
    };
    for (const Case& c : cases) {
        const DudeRun run = Dude(dir, c.line);
        EXPECT_EQ(run.status, c.status) << c.line << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.line << "\n" << run.err;
    }
}

TEST(DudeOptions, MemoryOperationsSplitAsAvrdudeDoes) {
    struct Case {
        const char* text;
        Memory memory;
        Operation op;
        const char* file;
        char format;
    } const cases[] = {
        {"main.hex", Memory::kFlash, Operation::kWrite, "main.hex", 'a'},
        {"C:\\fw\\main.hex", Memory::kFlash, Operation::kWrite, "C:\\fw\\main.hex", 'a'},
        {"flash:w:C:\\fw\\main.hex:i", Memory::kFlash, Operation::kWrite, "C:\\fw\\main.hex", 'i'},
        {"eeprom:r:dump.bin", Memory::kEeprom, Operation::kRead, "dump.bin", 'a'},
        {"lfuse:w:0xE2:m", Memory::kLowFuse, Operation::kWrite, "0xE2", 'm'},
        {"hfuse:v:fuses:x.hex:i", Memory::kHighFuse, Operation::kVerify, "fuses:x.hex", 'i'},
    };
    for (const Case& c : cases) {
        MemoryOperation op;
        EXPECT_EQ(ParseMemoryOperation(c.text, op), "") << c.text;
        EXPECT_EQ(op.memory, c.memory) << c.text;
        EXPECT_EQ(op.op, c.op) << c.text;
        EXPECT_EQ(op.file, c.file) << c.text;
        EXPECT_EQ(op.format, c.format) << c.text;
    }
}

}  // namespace
}  // namespace velkor::dude
