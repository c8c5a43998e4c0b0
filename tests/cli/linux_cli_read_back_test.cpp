// Program a simulated chip, keep it in a folder, read it back into HEX files in a later run and
// let srecord's own comparison judge that the files equal what was written, on every kind of
// chip the simulator models: paged and byte-programmed AVR parts, a large part whose data lies
// beyond 64 KiB, and both 89S5x instruction forms (page read and byte read).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace velkor::cli {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string err;
};

CliRun Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "velkorisp-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, nullptr);
    return {status, err.str() + out.str()};
}

bool Shell(const std::string& command, std::string* output = nullptr) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[512];
    std::string text;
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) text += chunk;
    if (output != nullptr) *output = text;
    return pclose(pipe) == 0;
}

class ReadBack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Shell("command -v srec_cat && command -v srec_cmp")) {
            // CI installs srecord (scripts/install-deps.sh): there its absence is a failure.
            if (std::getenv("CI") != nullptr) FAIL() << "srecord (srec_cat, srec_cmp) is missing";
            GTEST_SKIP() << "srecord is not installed (scripts/install-deps.sh adds it)";
        }
        dir_ = fs::temp_directory_path() /
               ("velkor-readback-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // An Intel HEX file written by srec_cat: text repeated over [begin, end) for each block.
    std::string Generated(const std::string& name, const std::string& blocks) {
        const std::string path = Path(name);
        std::string output;
        EXPECT_TRUE(Shell("srec_cat " + blocks + " -o " + path + " -intel", &output)) << output;
        return path;
    }
    void ExpectSame(const std::string& a, const std::string& b) {
        std::string output;
        EXPECT_TRUE(Shell("srec_cmp " + a + " -intel " + b + " -intel", &output))
            << a << " and " << b << " differ:\n"
            << output;
    }
    fs::path dir_;
};

TEST_F(ReadBack, WhatWasWrittenReadsBackIntoTheSameFileOnEveryChipFamily) {
    struct Case {
        const char* chip;
        const char* flash;   // srec_cat blocks
        const char* eeprom;  // "" for parts without EEPROM
    };
    const Case cases[] = {
        {"mega8", "-generate 0 0x0A13 -repeat-string VelkorISP",
         "-generate 0 0x1F1 -repeat-string eep"},
        {"90S2313", "-generate 0 0x2C5 -repeat-string byte-mode",
         "-generate 0 0x45 -repeat-string e"},
        // Data past 64 KiB (extended address records) and a gap of blank rows in between.
        {"mega128",
         "-generate 0 0x1003 -repeat-string app -generate 0x1E000 0x1E0F1 -repeat-string boot", ""},
        {"89S52", "-generate 0 0x1307 -repeat-string paged", ""},
        {"89S8252", "-generate 0 0x233 -repeat-string bytes", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip);
        const std::string chip = c.chip;
        const std::string flash = Generated(chip + ".hex", c.flash);
        std::vector<std::string> program = {"--backend", "sim", "-p", chip, "-f", flash};
        std::vector<std::string> read = {"read",     "--backend",   "sim",
                                         "-p",       chip,          "--sim-load",
                                         Path(chip), "--flash-out", Path(chip + "-back.hex")};
        if (*c.eeprom != '\0') {
            program.insert(program.end(), {"-e", Generated(chip + ".eep", c.eeprom)});
            read.insert(read.end(), {"--eeprom-out", Path(chip + "-back.eep")});
        }
        program.insert(program.end(), {"--sim-dump", Path(chip)});
        const CliRun written = Cli(program);
        ASSERT_EQ(written.status, 0) << written.err;
        const CliRun back = Cli(read);
        ASSERT_EQ(back.status, 0) << back.err;
        ExpectSame(flash, Path(chip + "-back.hex"));
        if (*c.eeprom != '\0') ExpectSame(Path(chip + ".eep"), Path(chip + "-back.eep"));

        // A later run on the kept chip verifies it without writing, in either scope.
        for (const char* scope : {"chip", "file"}) {
            const CliRun verified = Cli({"--backend", "sim", "-p", chip, "-f", flash, "-V",
                                         "--verify-scope", scope, "--sim-load", Path(chip)});
            EXPECT_EQ(verified.status, 0) << scope << "\n" << verified.err;
        }
    }
}

TEST_F(ReadBack, AKeptChipIsRefusedWhenItIsNotTheChipOnTheBench) {
    const std::string flash = Generated("a.hex", "-generate 0 0x100 -repeat-string x");
    ASSERT_EQ(
        Cli({"--backend", "sim", "-p", "mega8", "-f", flash, "--sim-dump", Path("m8")}).status, 0);
    // A mega16's memories are twice as large: the dump is refused, not cut or padded.
    const CliRun other = Cli({"read", "--backend", "sim", "-p", "mega16", "--sim-load", Path("m8"),
                              "--flash-out", Path("b.hex")});
    EXPECT_EQ(other.status, 2);
    EXPECT_NE(other.err.find("flash.bin holds 8192 bytes"), std::string::npos) << other.err;
    EXPECT_FALSE(fs::exists(Path("b.hex")));
    // A chip whose signature is not the selected one is not read under its name.
    const CliRun wrong = Cli({"read", "--backend", "sim", "-p", "mega16", "--sim-chip", "mega8",
                              "--flash-out", Path("c.hex")});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_FALSE(fs::exists(Path("c.hex")));
    EXPECT_EQ(Cli({"read", "--backend", "sim", "-p", "mega8"}).status, 2);  // no output file
    EXPECT_EQ(
        Cli({"read", "--backend", "sim", "-p", "89S52", "--eeprom-out", Path("e.hex")}).status, 2);
}

TEST_F(ReadBack, AKeptChipKeepsItsFuseAndLockBytes) {
    ASSERT_EQ(Cli({"--backend", "sim", "-p", "mega8", "-F", "--fuses", "E4,C9", "-L", "--sim-dump",
                   Path("a")})
                  .status,
              0);
    ASSERT_EQ(Cli({"read", "--backend", "sim", "-p", "mega8", "--sim-load", Path("a"),
                   "--flash-out", Path("f.hex"), "--sim-dump", Path("b")})
                  .status,
              0);
    auto text = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(text(dir_ / "b" / "state.txt"), "fuse_low=E4\nfuse_high=C9\nfuse_ext=FF\nlock=FC\n");
}

// A read-back writes only regular files: a device, a pipe, a socket or a folder (also behind a
// link) is refused before the port is touched and left as it was; a dangling link gets its
// target created; one file named for both memories is refused.
TEST_F(ReadBack, ReadBacksReplaceOnlyRegularFiles) {
    // As root a real device node could be replaced for the whole machine: the device refused
    // then is one made here.
    const std::string device = ::geteuid() == 0 ? Path("null") : "/dev/null";
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    }
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0666), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Path("sock").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_directory(Path("folder"));
    fs::create_symlink(Path("fifo"), Path("to-fifo"));
    fs::create_symlink("made.hex", Path("dangling"));
    std::ofstream(Path("old.hex")) << "old";
    fs::create_symlink(Path("old.hex"), Path("to-old"));

    struct Case {
        std::vector<std::string> outputs;  // --flash-out, and --eeprom-out when two
        int status;
        std::string written;  // the regular file that holds the flash read after a success
    };
    const Case cases[] = {
        {{device}, 2, ""},
        {{"/dev/stdout"}, 2, ""},
        {{Path("fifo")}, 2, ""},
        {{Path("sock")}, 2, ""},
        {{Path("folder")}, 2, ""},
        {{Path("to-fifo")}, 2, ""},
        {{Path("dangling")}, 0, Path("made.hex")},
        {{Path("to-old")}, 0, Path("old.hex")},
        {{Path("new.hex")}, 0, Path("new.hex")},
        {{Path("same.hex"), dir_.string() + "/./same.hex"}, 2, ""},
        {{Path("to-old"), Path("old.hex")}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outputs.front());
        struct stat before[2] = {};
        for (std::size_t i = 0; i < c.outputs.size(); ++i)
            ::lstat(c.outputs[i].c_str(), &before[i]);
        std::vector<std::string> args = {"read",  "--backend",   "sim",       "-p",
                                         "mega8", "--flash-out", c.outputs[0]};
        if (c.outputs.size() == 2) args.insert(args.end(), {"--eeprom-out", c.outputs[1]});
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 2) {
            EXPECT_NE(run.err.find("velkorisp-cli: "), std::string::npos);
            EXPECT_EQ(run.err.find("Exit"), std::string::npos) << "the port was used";
            for (std::size_t i = 0; i < c.outputs.size(); ++i) {
                struct stat after = {};
                ::lstat(c.outputs[i].c_str(), &after);
                EXPECT_EQ(after.st_mode, before[i].st_mode);
                EXPECT_EQ(after.st_ino, before[i].st_ino);
                EXPECT_EQ(after.st_rdev, before[i].st_rdev);
            }
        } else {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.written)));
            EXPECT_GT(fs::file_size(c.written), 0u);
            // A link the user made stays a link.
            if (c.outputs[0] != c.written) {
                EXPECT_TRUE(fs::is_symlink(c.outputs[0]));
            }
        }
    }
    ::close(sock);
}

// A read that loses the chip's supply part-way fails and leaves the old file as it was.
TEST_F(ReadBack, AReadThatLosesTheChipLeavesTheOldFile) {
    const std::string flash = Generated("a.hex", "-generate 0 0x1A00 -repeat-string VelkorISP");
    ASSERT_EQ(
        Cli({"--backend", "sim", "-p", "mega8", "-f", flash, "--sim-dump", Path("m8")}).status, 0);
    std::ofstream(Path("rb.hex")) << "old";
    for (const char* cut : {"1500", "3000", "200000", "500000"}) {
        SCOPED_TRACE(cut);
        const CliRun run = Cli({"read", "--backend", "sim", "-p", "mega8", "--sim-load", Path("m8"),
                                "--sim-power-cut", cut, "--flash-out", Path("rb.hex"),
                                "--eeprom-out", Path("rb.eep")});
        EXPECT_EQ(run.status, 1) << run.err;
        std::ifstream in(Path("rb.hex"));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
        EXPECT_FALSE(fs::exists(Path("rb.eep")));
    }
}

}  // namespace
}  // namespace velkor::cli
