// What velkorisp-cli refuses before it touches the port: files that are no HEX data, data a
// chip cannot take, fuse bytes nobody chose or that end serial programming, steps and commands
// a chip's family does not have, and empty option values. Each refusal is status 2 and leaves
// the simulated chip as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "devices/chip_table.h"
#include "devices/programmer_settings.h"
#include "tests/cli/cli_run.h"

namespace velkor::cli {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliRefusal : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velkor-refuse-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    // `count` bytes of 0x5A from `start`, as Intel HEX data records of 16 bytes at most.
    std::string Hex(const std::string& name, std::uint32_t start, std::uint32_t count) {
        std::string text;
        std::uint32_t upper = 0;
        for (std::uint32_t a = start; a < start + count;) {
            if (a >> 16 != upper) {
                upper = a >> 16;
                char ext[32];
                std::snprintf(ext, sizeof ext, ":02000004%04X%02X\n", upper,
                              (0x100 - ((6 + (upper >> 8) + (upper & 0xFF)) & 0xFF)) & 0xFF);
                text += ext;
            }
            const std::uint32_t n =
                std::min<std::uint32_t>({16, start + count - a, 0x10000 - (a & 0xFFFF)});
            unsigned sum = n + ((a >> 8) & 0xFF) + (a & 0xFF) + n * 0x5A;
            char line[64];
            std::snprintf(line, sizeof line, ":%02X%04X00", n, a & 0xFFFF);
            text += line;
            for (std::uint32_t i = 0; i < n; ++i) text += "5A";
            std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
            text += line;
            a += n;
        }
        return Write(name, text + ":00000001FF\n");
    }
    // A run on the simulated mega8 whose chip is dumped afterwards.
    std::vector<std::string> Sim(std::vector<std::string> args) {
        args.insert(args.end(),
                    {"--backend", "sim", "--sim-chip", "mega8", "--sim-dump", Path("dump")});
        return args;
    }
    bool Dumped() const { return fs::exists(dir_ / "dump" / "state.txt"); }

    fs::path dir_;
};

TEST_F(CliRefusal, FilesWithoutHexDataAreRefusedNotProgrammedAsErased) {
    fs::create_directory(Path("folder.hex"));
    const std::string inputs[] = {Path("folder.hex"),
                                  "/dev/null",
                                  "/dev/zero",  // used to hang
                                  Write("empty.hex", ""),
                                  Write("notes.txt", "Some notes\nno records here\n"),
                                  Write("raw.bin", std::string("\x0c\x94\x2a\x00\x7f\x45", 6)),
                                  "/proc/self/exe"};  // an ELF file
    for (const std::string& file : inputs) {
        const CliRun run = Cli(Sim({"-p", "mega8", "-f", file}));
        EXPECT_EQ(run.status, 2) << file << "\n" << run.out << run.err;
        EXPECT_NE(run.out.find(file), std::string::npos) << run.out;  // one log line says why
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
        EXPECT_FALSE(Dumped());
    }
    const CliRun eeprom = Cli(Sim({"-p", "mega8", "-R", "-e", Path("empty.hex")}));
    EXPECT_EQ(eeprom.status, 2);
    EXPECT_NE(eeprom.out.find("没有数据记录"), std::string::npos) << eeprom.out;
    // A settings file that never ends is refused at its bound.
    EXPECT_EQ(Cli(Sim({"--ini", "/dev/zero"})).status, 2);
}

TEST_F(CliRefusal, DataBeyondTheChipIsCountedAndRefused) {
    const CliRun big = Cli(Sim({"-p", "mega8", "-f", Hex("big.hex", 0, 130000)}));
    EXPECT_EQ(big.status, 2) << big.err;
    EXPECT_NE(big.out.find("Flash映像有 121808 字节超出 mega8 的Flash (8192 字节), 起始地址 2000"),
              std::string::npos)
        << big.out;
    EXPECT_FALSE(Dumped());
    const CliRun eeprom =
        Cli(Sim({"-p", "tiny13", "--sim-chip", "tiny13", "-R", "-e", Hex("e.hex", 0, 1000)}));
    EXPECT_EQ(eeprom.status, 2);
    EXPECT_NE(eeprom.out.find("EEPROM映像有 936 字节超出 tiny13 的EEPROM (64 字节), 起始地址 40"),
              std::string::npos)
        << eeprom.out;
    // A record at FFFC runs past 64 KiB: on mega128 it fits, on mega64 four bytes do not.
    const std::string top = Hex("top.hex", 0xFFFC, 8);
    EXPECT_EQ(Cli({"-p", "mega128", "--backend", "sim", "-f", top}).status, 0);
    const CliRun mega64 = Cli({"-p", "mega64", "--backend", "sim", "-f", top});
    EXPECT_EQ(mega64.status, 2);
    EXPECT_NE(mega64.out.find("Flash映像有 4 字节超出 mega64"), std::string::npos) << mega64.out;
    // Beyond even the largest image: counted all the same.
    const CliRun beyond =
        Cli({"-p", "mega128", "--backend", "sim", "-f", Hex("far.hex", 0x20000, 3)});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_NE(beyond.out.find("有 3 字节超出 mega128"), std::string::npos) << beyond.out;
}

TEST_F(CliRefusal, FuseBytesMustBeChosenAndSafeUnlessForced) {
    // A settings file without fuse keys used to write 00 00 and disable RESET for good.
    const std::string noFuses =
        Write("no-fuses.ini",
              "[DEVICE]\nTYPE=0\nID=" + std::to_string(FindChipByName(kFamilyAvr, "mega8")) + "\n");
    const CliRun noKeys = Cli(Sim({"fuse-write", "--ini", noFuses}));
    EXPECT_EQ(noKeys.status, 2);
    EXPECT_NE(noKeys.err.find("needs the low fuse byte"), std::string::npos) << noKeys.err;
    EXPECT_EQ(Cli(Sim({"fuse-write", "-p", "mega8", "--fuse-low", "E4"})).status, 2);
    EXPECT_FALSE(Dumped());

    const CliRun unsafe = Cli(Sim({"fuse-write", "-p", "mega8", "--fuses", "E1,59"}));
    EXPECT_EQ(unsafe.status, 2);
    EXPECT_NE(unsafe.err.find("RSTDISBL (bit 7) would be programmed"), std::string::npos)
        << unsafe.err;
    EXPECT_NE(unsafe.err.find("--force"), std::string::npos);
    EXPECT_NE(unsafe.out.find("RSTDISBL"), std::string::npos);  // the log line too
    EXPECT_FALSE(Dumped());
    // The same in a program run, and with DWEN on a chip that has it.
    EXPECT_EQ(Cli(Sim({"-p", "mega8", "-F", "--fuses", "E1,59"})).status, 2);
    const CliRun dwen = Cli({"fuse-write", "--backend", "sim", "-p", "tiny13", "--fuses", "6A,F7"});
    EXPECT_EQ(dwen.status, 2);
    EXPECT_NE(dwen.err.find("DWEN"), std::string::npos) << dwen.err;

    const CliRun forced = Cli(Sim({"fuse-write", "-p", "mega8", "--fuses", "E1,59", "--force"}));
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(Read(dir_ / "dump" / "state.txt").find("fuse_high=59"), std::string::npos);

    // A settings file that holds the keys is a source of its own.
    const std::string ini =
        Write("fuses.ini", "[DEVICE]\r\nTYPE=0\r\nID=7\r\nFUSE0=228\r\nFUSE1=217\r\nFUSE2=0\r\n");
    const CliRun fromIni = Cli(Sim({"fuse-write", "--ini", ini}));
    EXPECT_EQ(fromIni.status, 0) << fromIni.err;
    EXPECT_NE(Read(dir_ / "dump" / "state.txt").find("fuse_low=E4"), std::string::npos);
}

TEST_F(CliRefusal, An89S5xChipHasNoFuseCalibrationEepromOrLockSteps) {
    for (const char* command : {"fuse-write", "fuse-read", "cal-read"}) {
        const CliRun run = Cli({command, "-p", "89S52", "--fuses", "E1,D9", "--backend", "sim"});
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_NE(run.err.find("89S52"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    const std::string ini = Write("at89.ini", "[DEVICE]\r\nTYPE=1\r\nID=1\r\n");
    EXPECT_EQ(Cli({"fuse-read", "--ini", ini, "--backend", "sim"}).status, 2);
    const std::string flash = Hex("f.hex", 0, 64);
    for (const char* step : {"-R", "-F", "-L", "-C"}) {
        const CliRun run = Cli({"-p", "89S52", "-f", flash, "-e", flash, "-W", step, "--fuses",
                                "E1,D9", "--backend", "sim"});
        EXPECT_EQ(run.status, 2) << step;
        EXPECT_NE(run.err.find("89S5x family) has no"), std::string::npos) << run.err;
    }
    // The signature search is the AVR family's: asked for an 89S5x chip, it is refused, not
    // dropped without a word.
    const CliRun autoSelect = Cli({"-p", "89S52", "-A", "-f", flash, "--backend", "sim"});
    EXPECT_EQ(autoSelect.status, 2);
    EXPECT_NE(autoSelect.err.find("--auto-select"), std::string::npos) << autoSelect.err;
}

TEST_F(CliRefusal, ACalibrationAddressBeyondTheMemoryIsRefusedNotMoved) {
    const std::string flash = Hex("f.hex", 0, 64);
    const struct {
        std::vector<std::string> where;
        int status;
    } cases[] = {{{"--cal-address", "8191"}, 0},  // mega8's last flash byte
                 {{"--cal-address", "8192"}, 2},
                 {{"--cal-to", "eeprom", "--cal-address", "511"}, 0},
                 {{"--cal-to", "eeprom", "--cal-address", "512"}, 2}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-p", "mega8", "-f", flash, "-W", "-C"};
        args.insert(args.end(), c.where.begin(), c.where.end());
        const CliRun run = Cli(Sim(args));
        EXPECT_EQ(run.status, c.status) << c.where.back() << run.err;
        if (c.status == 2) {
            EXPECT_NE(run.err.find("is beyond mega8"), std::string::npos) << run.err;
        }
    }
}

TEST_F(CliRefusal, SmallerTruths) {
    const CliRun blaster = Cli({"detect", "--backend", "sim", "--sim-cable", "byteblaster"});
    EXPECT_EQ(blaster.status, 0);
    EXPECT_NE(blaster.out.find("power: not sensed"), std::string::npos) << blaster.out;
    for (const char* option : {"-p", "--ini", "--sim-dump", "-f"}) {
        const CliRun run = Cli({option, "", "--backend", "sim"});
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_NE(run.err.find("non-empty"), std::string::npos) << run.err;
    }
    // The dump's folder is checked before the run: nothing is programmed for a dump that
    // cannot be kept.
    const std::string file = Write("file", "x");
    const CliRun dump = Cli({"-p", "mega8", "-f", Hex("f.hex", 0, 64), "--backend", "sim",
                             "--sim-dump", file + "/sub"});
    EXPECT_EQ(dump.status, 2);
    EXPECT_EQ(dump.out, "");
    // A record with a blank before it is no record: the command line refuses the file.
    const CliRun mangled =
        Cli(Sim({"-p", "mega8", "-f", Write("m.hex", ":0300300002337A1E\n :0100000001FE\n")}));
    EXPECT_EQ(mangled.status, 2);
    EXPECT_NE(mangled.err.find("not records, the first at line 2"), std::string::npos)
        << mangled.err;
    // A stored delay beyond what --speed allows is clamped, and the log says so.
    const CliRun slow = Cli(
        {"reset", "--ini", Write("slow.ini", "[PROGOPTION]\r\nSpeedSel=1\r\nUserPortDly=70000\r\n"),
         "--backend", "sim"});
    EXPECT_EQ(slow.status, 0) << slow.err;
    EXPECT_NE(slow.out.find("UserPortDly=70000 超出 0..65535, 改用 65535"), std::string::npos)
        << slow.out;
}

}  // namespace
}  // namespace velkor::cli
