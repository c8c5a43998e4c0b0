#include <gtest/gtest.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "devices/chip_table.h"
#include "files/utf8_path.h"
#include "tests/cli/cli_run.h"

namespace velkor::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velkor-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    // A HEX file of `n` bytes of a simple pattern, written with the tool's own format.
    std::string HexFile(const char* name, std::size_t n, std::uint8_t seed) {
        std::ofstream out(Path(name));
        for (std::size_t a = 0; a < n; a += 16) {
            if (a % 0x10000 == 0 && a != 0) {  // extended linear address of the next 64 KiB
                const unsigned upper = static_cast<unsigned>(a >> 16);
                char record[32];
                std::snprintf(record, sizeof record, ":02000004%04X%02X\n", upper,
                              (0x100 - ((6 + (upper >> 8) + (upper & 0xFF)) & 0xFF)) & 0xFF);
                out << record;
            }
            const std::size_t len = std::min<std::size_t>(16, n - a);
            const unsigned offset = static_cast<unsigned>(a & 0xFFFF);
            unsigned sum = static_cast<unsigned>(len + (offset >> 8) + (offset & 0xFF));
            char line[64];
            std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(len), offset);
            out << line;
            for (std::size_t i = 0; i < len; ++i) {
                const unsigned b = static_cast<std::uint8_t>((a + i) * 31 + seed);
                sum += b;
                std::snprintf(line, sizeof line, "%02X", b);
                out << line;
            }
            std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
            out << line;
        }
        out << ":00000001FF\n";
        return Path(name);
    }
    fs::path dir_;
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndSayWhy) {
    const CliRun unknown = Cli({"--frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_EQ(Cli({"program", "-p", "mega8", "-f", Path("missing.hex")}).status, 2);
    EXPECT_EQ(Cli({"-p", "mega9000", "-f", "x"}).status, 2);
    EXPECT_EQ(Cli({"--fuses", "E1,zz"}).status, 2);
    EXPECT_EQ(Cli({"--sim-cable", "usb"}).status, 2);
    EXPECT_EQ(Cli({"-p", "mega8"}).status, 2);                   // writing flash without a file
    EXPECT_EQ(Cli({"cal-read", "--backend", "sim"}).status, 2);  // which chip's bytes?
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--sim-dump DIR"), std::string::npos);
}

TEST_F(CliTest, DamagedFileIsRefusedAndNamed) {
    std::ofstream(Path("bad.hex")) << ":0300300002337A1E\n:03003000023\n";
    const CliRun run = Cli({"--backend", "sim", "-p", "mega8", "-f", Path("bad.hex")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("line 2"), std::string::npos);
}

TEST_F(CliTest, ChipsAllListsEveryRowOfBothTablesInFieldOrder) {
    const CliRun run = Cli({"chips", "--all"});
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const std::string locked = std::to_string(kLockedChipRow);
    const std::string end = std::to_string(kNoChipRow);
    ASSERT_EQ(lines.size(), kChipTableRows + 5u);
    EXPECT_EQ(lines[7],
              "0\t7\tmega8\t27\t1E 93 07\t8192\t64\t512\t6\t11\tFF\tFC\t5\t4\tFF DF 00\tE1 D9 00"
              "\tmega8\tmega8");
    EXPECT_EQ(lines[kLockedChipRow],
              "0\t" + locked +
                  "\tL\t1\t00 01 02\t0\t0\t0\t0\t0\t00\t00\t0\t0\t00 00 00\t00 00 00"
                  "\tnone\tnone");
    EXPECT_EQ(lines[kNoChipRow],
              "0\t" + end +
                  "\t-\t0\t00 00 00\t0\t0\t0\t0\t0\t00\t00\t0\t0\t00 00 00\t00 00 00"
                  "\tnone\tnone");
    EXPECT_EQ(lines[kChipTableRows + 1], "1\t1\t89S52\t1E 52 06\t8192\t4");
    EXPECT_EQ(lines[kChipTableRows + 4], "1\t4\tL\t00 00 00\t0\t0");
}

TEST_F(CliTest, ProgramsTheSimulatedChipAndDumpsItsMemories) {
    const std::string flash = HexFile("app.hex", 3000, 7);
    const std::string eeprom = HexFile("data.hex", 100, 9);
    const CliRun run = Cli({"--backend", "sim", "-p", "mega8", "-f", flash, "-e", eeprom,
                            "--sim-cable", "lattice", "--sim-dump", Path("dump")});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("设备:Lattice下载线.\n擦除...\n"), std::string::npos);
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    const std::string chipFlash = ReadText(dir_ / "dump" / "flash.bin");
    ASSERT_EQ(chipFlash.size(), 8192u);
    for (std::size_t a = 0; a < 3000; ++a) {
        ASSERT_EQ(static_cast<std::uint8_t>(chipFlash[a]), static_cast<std::uint8_t>(a * 31 + 7));
    }
    EXPECT_EQ(static_cast<std::uint8_t>(chipFlash[3000]), 0xFF);
    const std::string chipEeprom = ReadText(dir_ / "dump" / "eeprom.bin");
    ASSERT_EQ(chipEeprom.size(), 512u);
    EXPECT_EQ(static_cast<std::uint8_t>(chipEeprom[99]), static_cast<std::uint8_t>(99 * 31 + 9));
    EXPECT_EQ(ReadText(dir_ / "dump" / "state.txt"),
              "fuse_low=E1\nfuse_high=D9\nfuse_ext=FF\nlock=FF\n");
}

// The parts most used today, named as other AVR tools name them, programmed end to end on
// the simulated bench: nearly the whole flash (across 64 KiB on the larger parts) and EEPROM.
TEST_F(CliTest, ProgramsTodaysPartsByTheirShortNames) {
    const struct {
        const char* typed;
        std::size_t flash;
        std::size_t eeprom;
    } parts[] = {
        {"m328p", 32768, 1024}, {"t85", 8192, 512},      {"m1284p", 131072, 4096},
        {"m32u4", 32768, 1024}, {"m2560", 262144, 4096},  // across the 64 K-word boundary
    };
    for (const auto& p : parts) {
        SCOPED_TRACE(p.typed);
        const std::string flash = HexFile("app.hex", p.flash - 16, 3);
        const std::string eeprom = HexFile("data.hex", p.eeprom, 5);
        const CliRun run = Cli({"--backend", "sim", "-p", p.typed, "-f", flash, "-e", eeprom,
                                "--sim-dump", Path("dump")});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const std::string chipFlash = ReadText(dir_ / "dump" / "flash.bin");
        ASSERT_EQ(chipFlash.size(), p.flash);
        for (std::size_t a = 0; a < p.flash - 16; ++a) {
            ASSERT_EQ(static_cast<std::uint8_t>(chipFlash[a]),
                      static_cast<std::uint8_t>(a * 31 + 3))
                << a;
        }
        EXPECT_EQ(static_cast<std::uint8_t>(chipFlash[p.flash - 1]), 0xFF);
        const std::string chipEeprom = ReadText(dir_ / "dump" / "eeprom.bin");
        ASSERT_EQ(chipEeprom.size(), p.eeprom);
        EXPECT_EQ(static_cast<std::uint8_t>(chipEeprom[p.eeprom - 1]),
                  static_cast<std::uint8_t>((p.eeprom - 1) * 31 + 5));
    }
}

TEST_F(CliTest, FusesAndLockReachTheChipMasked) {
    const CliRun run = Cli({"--backend", "sim", "-p", "tiny13", "-F", "-L", "--fuses", "FF,FF,FF",
                            "--lock-byte", "FC", "--sim-dump", Path("dump")});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("写入熔丝低字节 7F \n写入熔丝高字节 1F \n写入加密字节 FC \n"),
              std::string::npos);
    EXPECT_EQ(ReadText(dir_ / "dump" / "state.txt"),
              "fuse_low=7F\nfuse_high=FF\nfuse_ext=FF\nlock=FC\n");  // bits 7..5 of the high byte
                                                                     // do not exist
}

TEST_F(CliTest, OneOffCommandsAndTheirStatus) {
    const CliRun read = Cli({"fuse-read", "--backend", "sim", "--sim-chip", "mega16"});
    EXPECT_EQ(read.status, 0);
    EXPECT_NE(read.out.find("目标芯片: ATmega16.\n读取熔丝低字节 E1 \n读取熔丝高字节 99 \n"),
              std::string::npos);
    EXPECT_EQ(Cli({"fuse-read", "--backend", "sim", "--sim-locked"}).status, 1);
    const CliRun cal = Cli({"cal-read", "--backend", "sim", "-p", "mega8"});
    EXPECT_EQ(cal.status, 0);
    EXPECT_NE(cal.out.find("读取校准字节: A1 B2 C3 D4\n"), std::string::npos);
    const CliRun reset = Cli({"reset", "--backend", "sim"});
    EXPECT_EQ(reset.status, 0);
    EXPECT_NE(reset.out.find("复位MCU\n退出\n"), std::string::npos);
    const CliRun write = Cli({"fuse-write", "--backend", "sim", "-p", "mega8", "--fuses", "E4,D9",
                              "--sim-dump", Path("dump")});
    EXPECT_EQ(write.status, 0);
    EXPECT_NE(ReadText(dir_ / "dump" / "state.txt").find("fuse_low=E4"), std::string::npos);
}

TEST_F(CliTest, DetectReportsPortCableAndPowerOnly) {
    const CliRun ok =
        Cli({"detect", "--backend", "sim", "--sim-cable", "xilinx", "--sim-port", "lpt2"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out,
              "设备:Xilinx下载线 .\nport: LPT2 (0x278)\ncable: Xilinx download cable\npower: ok\n");
    const CliRun unpowered = Cli({"detect", "--backend", "sim", "--sim-no-power"});
    EXPECT_EQ(unpowered.status, 1);
    EXPECT_NE(unpowered.out.find("power: missing"), std::string::npos);
    const CliRun none = Cli({"detect", "--backend", "sim", "--sim-port", "none"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("端口不存在"), std::string::npos);
}

TEST_F(CliTest, FailuresGiveStatusOneEvenWhenTheRunSurvivesThem) {
    const std::string flash = HexFile("app.hex", 64, 1);
    EXPECT_EQ(Cli({"--backend", "sim", "-p", "mega8", "-f", flash, "--sim-never-in-step"}).status,
              1);
    EXPECT_EQ(Cli({"--backend", "sim", "-p", "mega16", "-S", "--sim-chip", "mega8"}).status, 1);
    // The supply fails during the EEPROM writes: the run goes on to the lock byte, which reads
    // back unprogrammed from the dead chip, and the status says it failed.
    const std::string eeprom = HexFile("data.hex", 256, 3);
    const CliRun cut = Cli(
        {"--backend", "sim", "-p", "mega8", "-R", "-e", eeprom, "-L", "--sim-power-cut", "3000"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("超时"), std::string::npos);
    EXPECT_NE(cut.out.find("加密字节写入失败"), std::string::npos) << cut.out;
    EXPECT_EQ(cut.out.find("完成."), std::string::npos);
}

TEST_F(CliTest, WithoutAChipTheSignatureChooses) {
    const std::string flash = HexFile("app.hex", 256, 5);
    const CliRun run =
        Cli({"--backend", "sim", "--sim-chip", "tiny2313", "-f", flash, "-W", "-E", "-V"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("目标芯片: ATtiny2313.\n"), std::string::npos);
}

TEST_F(CliTest, DriverSimRunsThroughTheDriverAndCountsItsCalls) {
    const std::string flash = HexFile("app.hex", 1024, 2);
    const CliRun run =
        Cli({"--backend", "driver-sim", "-p", "89S52", "-f", flash, "--sim-dump", Path("dump")});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("driver device calls: "), std::string::npos);
    const std::string chipFlash = ReadText(dir_ / "dump" / "flash.bin");
    EXPECT_EQ(static_cast<std::uint8_t>(chipFlash[1023]), static_cast<std::uint8_t>(1023 * 31 + 2));
}

TEST(CliBinary, ExitStatusOfTheRealProgram) {
    auto status = [](const std::string& args) {
        const std::string command = std::string(VELKOR_CLI_PATH) + " " + args + " >/dev/null 2>&1";
#ifdef _WIN32
        // The wide call, so that a Chinese argument reaches the program whatever the ANSI code
        // page; Windows' system() gives the program's exit code itself.
        return ::_wsystem(WideFromUtf8(command).c_str());
#else
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    };
    EXPECT_EQ(status("--help"), 0);
    EXPECT_EQ(status("--no-such-option"), 2);
    EXPECT_EQ(status(std::string("--backend sim -p mega8 -f ") + VELKOR_SOURCE_DIR +
                     "/examples/blink.hex -e " + VELKOR_SOURCE_DIR + "/examples/blink.eep"),
              0);

    // A file name from the command line outside the ANSI code page names the same file.
    const fs::path dir =
        fs::temp_directory_path() / ("velkor-cli-bin-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path hex = dir / PathFromUtf8("固件.hex");
    fs::copy_file(std::string(VELKOR_SOURCE_DIR) + "/examples/blink.hex", hex,
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(status("--backend sim -p mega8 -f \"" + PathToUtf8(hex) + "\""), 0);
    fs::remove_all(dir);
}

// --lang en turns the log to English, the command line's own lines included; an unknown
// language is a usage error.
TEST(CliLanguage, LangEnLogsInEnglish) {
    const CliRun en = Cli({"--lang", "en", "--backend", "sim", "-p", "mega8", "-f",
                           std::string(VELKOR_SOURCE_DIR) + "/examples/blink.hex"});
    EXPECT_EQ(en.status, 0) << en.out << en.err;
    EXPECT_NE(en.out.find("Cable: STK200/STK300 .\nErasing...\nWrite Flash: \nWriting...\n"
                          "Comparing...\nDone.\nExit\n"),
              std::string::npos)
        << en.out;
    const CliRun zh = Cli({"--lang", "zh", "detect", "--backend", "sim", "--sim-port", "none"});
    EXPECT_NE(zh.out.find("端口不存在"), std::string::npos) << zh.out;
    const CliRun bad = Cli({"--lang", "fr", "detect"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--lang"), std::string::npos);
}

#ifndef _WIN32
// Without --lang the program follows the locale: LC_ALL before LC_MESSAGES before LANG.
TEST(CliLanguage, TheRealProgramFollowsTheLocale) {
    auto output = [](const std::string& environment, const std::string& args) {
        const std::string command = "env -u LC_ALL -u LC_MESSAGES -u LANG " + environment + " " +
                                    VELKOR_CLI_PATH + " detect --backend sim --sim-port none " +
                                    args + " 2>&1";
        std::string text;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[512];
            while (fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
            pclose(pipe);
        }
        return text;
    };
    const std::string chinese = "端口不存在";
    const std::string english = "port does not exist";
    EXPECT_NE(output("LANG=zh_CN.UTF-8", "").find(chinese), std::string::npos);
    EXPECT_NE(output("LANG=en_US.UTF-8", "").find(english), std::string::npos);
    EXPECT_NE(output("", "").find(english), std::string::npos);
    EXPECT_NE(output("LANG=zh_CN.UTF-8 LC_MESSAGES=C", "").find(english), std::string::npos);
    EXPECT_NE(output("LANG=C LC_ALL=zh_TW.UTF-8", "").find(chinese), std::string::npos);
    EXPECT_NE(output("LANG=zh_CN.UTF-8", "--lang en").find(english), std::string::npos);
    EXPECT_NE(output("LANG=C", "--lang zh").find(chinese), std::string::npos);
}
#endif

}  // namespace
}  // namespace velkor::cli
