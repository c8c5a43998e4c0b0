// velkorisp-cli --ini: the settings file the window keeps decides what the command line
// does not say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_app.h"
#include "files/gbk_text.h"
#include "files/hex_writer.h"
#include "files/utf8_path.h"

namespace velkor::cli {
namespace {

namespace fs = std::filesystem;

int Cli(std::vector<std::string> args, std::string* out) {
    args.insert(args.begin(), "velkorisp-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream o, e;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), o, e, nullptr);
    *out = o.str() + e.str();
    return status;
}

TEST(CliSettings, ProgramsAsTheWindowWouldFromAGbkSettingsFile) {
    const fs::path dir = fs::temp_directory_path() / ("velkor-ini-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // Chinese names: the HEX file's is stored in GBK in the settings file, the dump folder's
    // comes from the command line.
    const fs::path hex = dir / PathFromUtf8("固件.hex");
    const fs::path dump = dir / PathFromUtf8("芯片");
    fs::copy_file(std::string(VELKOR_SOURCE_DIR) + "/examples/blink.hex", hex,
                  fs::copy_options::overwrite_existing);
    const std::string utf8 =
        "[DEVICE]\r\nTYPE=0\r\nID=12\r\n[PROGCMD]\r\nWriteFlash=1\r\nErase=1\r\n"
        "Verify=1\r\nLock=1\r\n[PROGOPTION]\r\nLockSel=1\r\nLockByte=252\r\n"
        "[FLASH]\r\nFILE=" +
        PathToUtf8(hex) + "\r\n";
    const std::optional<std::string> gbk = Utf8ToGbk(utf8);
    ASSERT_TRUE(gbk.has_value());
    std::ofstream(dir / "velkor.ini", std::ios::binary) << *gbk;

    std::string out;
    const int status = Cli({"--ini", PathToUtf8(dir / "velkor.ini"), "--backend", "sim",
                            "--sim-chip", "mega8515", "--sim-dump", PathToUtf8(dump)},
                           &out);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("比较中...\n写入加密字节 FC \n完成.\n"), std::string::npos) << out;
    {
        // Closed before the folder is removed: Windows keeps an open file from being deleted.
        std::ifstream state(dump / "state.txt");
        std::string text((std::istreambuf_iterator<char>(state)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("lock=FC"), std::string::npos);
    }

    // The command line still wins: another chip named there is checked against the target.
    EXPECT_EQ(Cli({"--ini", PathToUtf8(dir / "velkor.ini"), "--backend", "sim", "--sim-chip",
                   "mega8515", "-p", "mega16", "-S"},
                  &out),
              1);
    EXPECT_EQ(Cli({"--ini", PathToUtf8(dir / "missing.ini"), "--backend", "sim"}, &out), 2);
    fs::remove_all(dir);
}

// EXTRA/VerifyScope=file makes a verify compare only the file's bytes, so a file that holds
// the first half of what the chip holds verifies; --verify-scope on the command line wins.
TEST(CliSettings, TheSettingsFileChoosesTheVerifyScopeUnlessTheCommandLineDoes) {
    const fs::path dir = fs::temp_directory_path() / ("velkor-scope-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<std::uint8_t> bytes(400);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 5 + 1);
    const std::string whole = PathToUtf8(dir / "whole.hex");
    const std::string half = PathToUtf8(dir / "half.hex");
    ASSERT_EQ(SaveIntelHexFile(whole, bytes), "");
    ASSERT_EQ(SaveIntelHexFile(half, std::span(bytes).first(200)), "");
    const std::string chip = PathToUtf8(dir / "chip");
    std::string out;
    ASSERT_EQ(Cli({"--backend", "sim", "-p", "mega8", "-f", whole, "--sim-dump", chip}, &out), 0)
        << out;
    const std::string ini = PathToUtf8(dir / "velkor.ini");
    std::ofstream(ini, std::ios::binary) << "[DEVICE]\r\nTYPE=0\r\nID=7\r\n[EXTRA]\r\n"
                                            "VerifyScope=file\r\n";
    const std::vector<std::string> verify = {"--ini", ini,  "--backend", "sim", "--sim-load",
                                             chip,    "-f", half,        "-V"};
    EXPECT_EQ(Cli(verify, &out), 0) << out;
    std::vector<std::string> chipScope = verify;
    chipScope.insert(chipScope.end(), {"--verify-scope", "chip"});
    EXPECT_EQ(Cli(chipScope, &out), 1) << out;
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velkor::cli
