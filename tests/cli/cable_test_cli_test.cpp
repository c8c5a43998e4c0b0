// velkorisp-cli cable-test end to end on the simulated bench: each of the five cables is
// named, and each kind of cable damage is reported in its own words. Also the fourth port at
// a configured base.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "tests/cli/cli_run.h"

namespace velkor::cli {
namespace {

struct CableCase {
    const char* label;
    std::vector<std::string> bench;  // options after "cable-test --backend sim"
    std::vector<std::string> expected;
    std::vector<std::string> absent;
    int status;
};

class CableTestCli : public ::testing::TestWithParam<CableCase> {};

TEST_P(CableTestCli, NamesTheCableOrItsFault) {
    const CableCase& c = GetParam();
    std::vector<std::string> args = {"cable-test", "--backend", "sim"};
    args.insert(args.end(), c.bench.begin(), c.bench.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    for (const std::string& text : c.expected) {
        EXPECT_NE(run.out.find(text), std::string::npos) << "missing: " << text << "\n" << run.out;
    }
    for (const std::string& text : c.absent) {
        EXPECT_EQ(run.out.find(text), std::string::npos) << "unexpected: " << text << "\n"
                                                         << run.out;
    }
}

const std::string kFault = "result: fault found";
const std::string kInOrder = "result: the cable is in order";

INSTANTIATE_TEST_SUITE_P(
    Bench, CableTestCli,
    ::testing::Values(
        CableCase{"stk200",
                  {"--sim-cable", "stk200"},
                  {"port: LPT1 (0x378)", "loopback: D0 (pin 2) -> PAPER END (pin 12)\n",
                   "cable: STK200/STK300\n", kInOrder},
                  {"problem:"},
                  0},
        CableCase{
            "byteblaster",
            {"--sim-cable", "byteblaster"},
            {"loopback: D5 (pin 7) -> ACK (pin 10)\n", "cable: Altera ByteBlasterMV\n", kInOrder},
            {"problem:"},
            0},
        CableCase{"xilinx",
                  {"--sim-cable", "xilinx", "--sim-port", "lpt3"},
                  {"port: LPT3 (0x3BC)", "D6 (pin 8) -> BUSY (pin 11)",
                   "D6 (pin 8) -> PAPER END (pin 12)", "cable: Xilinx download cable\n", kInOrder},
                  {"problem:"},
                  0},
        CableCase{"lattice",
                  {"--sim-cable", "lattice"},
                  {"cable: Lattice download cable\n", kInOrder},
                  {"problem:", "BUSY"},
                  0},
        CableCase{
            "plain",
            {"--sim-cable", "plain", "--sim-chip", "89S52"},
            {"loopback: D7 (pin 9) -> PAPER END (pin 12)\n", "cable: unnamed cable", kInOrder},
            {"problem:"},
            0},
        CableCase{"loopback_cut",
                  {"--sim-cable", "stk200", "--sim-cable-cut", "12"},
                  {"cable: none\n", "no status line follows any data line", kFault},
                  {"loopback:"},
                  1},
        CableCase{
            "second_loopback_cut",
            {"--sim-cable", "xilinx", "--sim-cable-cut", "12"},
            {"cable: none (resembles Xilinx download cable)",
             "PAPER END (pin 12) does not follow D6 (pin 8)", "between pins 8 and 12", kFault},
            {},
            1},
        CableCase{"data_lines_shorted",
                  {"--sim-cable", "stk200", "--sim-cable-short", "2:3"},
                  {"resembles STK200/STK300",
                   "PAPER END (pin 12) goes low with D0 (pin 2) and D1 (pin 3) alike", kFault},
                  {"does not follow"},
                  1},
        CableCase{"loopback_grounded",
                  {"--sim-cable", "lattice", "--sim-cable-short", "12:25"},
                  {"PAPER END (pin 12) stays low", kFault},
                  {"no status line follows"},
                  1},
        CableCase{
            "inputs_shorted",
            {"--sim-cable", "byteblaster", "--sim-cable-short", "10:11"},
            {"cable: none (resembles Altera ByteBlasterMV)",
             "BUSY (pin 11) follows D5 (pin 7), which none of the known cables wires", kFault},
            {"supply"},
            1},
        // The whole report, so that the findings keep their order: what the cable resembles
        // and misses comes before the link it cannot explain.
        CableCase{"data_line_to_busy",
                  {"--sim-cable", "lattice", "--sim-cable-short", "2:11"},
                  {"port: LPT1 (0x378)\n"
                   "loopback: D0 (pin 2) -> BUSY (pin 11)\n"
                   "loopback: D6 (pin 8) -> PAPER END (pin 12)\n"
                   "cable: none (resembles Xilinx download cable)\n"
                   "problem: this looks like a Xilinx download cable, but BUSY (pin 11) does "
                   "not follow D6 (pin 8): the loopback wire between pins 8 and 11 is broken\n"
                   "problem: BUSY (pin 11) follows D0 (pin 2), which none of the known cables "
                   "wires: the line touches another one (a short) or the cable is of an "
                   "unknown kind\n"
                   "result: fault found\n"},
                  {},
                  1},
        CableCase{
            "no_supply",
            {"--sim-cable", "stk200", "--sim-no-power"},
            {"cable: STK200/STK300\n", "supply is not sensed (ERROR, pin 15, reads low)", kFault},
            {},
            1},
        CableCase{"no_port",
                  {"--sim-port", "none"},
                  {"port: none",
                   "no parallel port answers at LPT1 (0x378), LPT2 (0x278), LPT3 "
                   "(0x3BC):"},
                  {},
                  1},
        CableCase{"card_port",
                  {"--sim-cable", "stk200", "--sim-port", "0xD010", "--port-base", "0xD010"},
                  {"port: LPT4 (0xD010)", "cable: STK200/STK300\n", kInOrder},
                  {},
                  0}),
    [](const ::testing::TestParamInfo<CableCase>& info) { return info.param.label; });

// The configured base is a fourth candidate of the ordinary search, after LPT1..LPT3 and by
// the same rules; without it the card is not looked at.
TEST(PortBaseCli, FourthCandidateAfterTheStandardPorts) {
    const CliRun found = Cli({"detect", "--backend", "sim", "--sim-port", "0xE800", "--port-base",
                              "0xE800", "--sim-cable", "byteblaster"});
    EXPECT_EQ(found.status, 0) << found.out << found.err;
    EXPECT_NE(found.out.find("port: LPT4 (0xE800)\ncable: Altera ByteBlasterMV"), std::string::npos)
        << found.out;

    const CliRun unset = Cli({"detect", "--backend", "sim", "--sim-port", "0xE800"});
    EXPECT_EQ(unset.status, 1);
    EXPECT_NE(unset.out.find(" LPT3(0x3BC) 端口不存在"), std::string::npos) << unset.out;

    const CliRun absent =
        Cli({"detect", "--backend", "sim", "--sim-port", "none", "--port-base", "0xD010"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.out.find(" LPT4(0xD010) 端口不存在"), std::string::npos) << absent.out;

    for (const char* bad : {"0x80", "0xFFFE", "D01G", "0x10000"}) {
        const CliRun refused = Cli({"detect", "--backend", "sim", "--port-base", bad});
        EXPECT_EQ(refused.status, 2) << bad;
    }
}

// The settings file names the card in a section of its own; the command line overrides it, and
// a value that is no base is reported and left out of the search.
TEST(PortBaseCli, SettingsFileNamesTheCard) {
    const std::filesystem::path ini =
        std::filesystem::temp_directory_path() /
        ("velkor-port-base-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ".ini");
    auto write = [&](const char* base) {
        std::ofstream(ini) << "[DEVICE]\nTYPE=0\nID=0\n[PORT]\nBase=" << base << "\n";
    };
    write("D010");
    const CliRun found =
        Cli({"detect", "--backend", "sim", "--sim-port", "0xD010", "--ini", ini.string()});
    EXPECT_EQ(found.status, 0) << found.out << found.err;
    EXPECT_NE(found.out.find("port: LPT4 (0xD010)"), std::string::npos) << found.out;
    const CliRun overridden = Cli({"detect", "--backend", "sim", "--sim-port", "0xD010", "--ini",
                                   ini.string(), "--port-base", "0xE800"});
    EXPECT_EQ(overridden.status, 1) << overridden.out;

    write("0x37");
    const CliRun bad =
        Cli({"detect", "--backend", "sim", "--sim-port", "0xD010", "--ini", ini.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("PORT/Base=0x37 不是有效的端口地址"), std::string::npos) << bad.out;
    std::filesystem::remove(ini);
}

}  // namespace
}  // namespace velkor::cli
