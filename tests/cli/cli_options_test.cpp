// The command line's options: what --help prints, what each usage error says, and that the
// forms of an option (short, long, long=value) land in the same field.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace velkor::cli {
namespace {

ParseResult Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "velkorisp-cli");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

// The whole text, byte for byte: users and the man page quote it, and a table that builds it
// must lay out every row, heading and continuation line as before.
TEST(CliOptions, HelpTextIsTheGoldenText) {
    std::ifstream in(std::string(VELKOR_SOURCE_DIR) + "/tests/cli/help.golden.txt",
                     std::ios::binary);
    ASSERT_TRUE(in) << "golden text missing";
    const std::string golden{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(HelpText(), golden);
}

TEST(CliOptions, EachUsageErrorSaysWhatIsWrong) {
    constexpr const char* kPortBaseUsage =
        "--port-base takes a port card's base: 8-aligned (or 0x3BC), 0x100..0xFFF8, clear of the "
        "system's fixed ports (IDE, display, ELCR, PCI configuration), e.g. 0xD010";
    struct Case {
        std::vector<const char*> args;
        const char* error;
    };
    const Case cases[] = {
        {{"read", "program"}, "unexpected argument 'program'"},
        {{"flash"}, "unknown command 'flash'"},
        {{"--frob=1"}, "unknown option '--frob=1'"},
        {{"-p=mega8"}, "unknown option '-p=mega8'"},
        {{"-EW"}, "unknown option '-EW'"},  // short flags do not combine
        {{""}, "unknown option ''"},
        {{"-f"}, "option -f needs a value"},
        {{"--chip", ""}, "option --chip needs a non-empty value"},
        {{"--ini="}, "option --ini needs a non-empty value"},
        {{"--fuses", "E1,zz"}, "bad fuse byte 'zz' in --fuses (two hex digits each)"},
        {{"--fuses", "E1:D9"}, ""},
        {{"--fuses", "E1,D9,FF,00"}, "--fuses takes at most three bytes"},
        {{"--fuses=E1,"}, "bad fuse byte '' in --fuses (two hex digits each)"},
        {{"--lock-byte", "1G"}, "bad value '1G' for --lock-byte (hex byte)"},
        {{"--fuse-ext=0x100"}, "bad value '0x100' for --fuse-ext (hex byte)"},
        {{"--startup", "-1"}, "--startup takes a list position (0, 1, ...)"},
        {{"--clock", "1001"}, "--clock takes a list position (0, 1, ...)"},
        {{"--cal-select", "4"}, "--cal-select takes 0, 1, 2 or 3"},
        {{"--cal-to", "ram"}, "--cal-to takes flash or eeprom"},
        {{"--cal-address", "0x1g"}, "bad --cal-address '0x1g'"},
        {{"--speed", "65536"}, "--speed takes 'fastest' or a count 0..65535"},
        {{"--backend", "usb"},
         "unknown backend 'usb' (auto, sim, driver-sim, driver, ppdev, direct)"},
        {{"--port-base", "0xFF"}, kPortBaseUsage},
        {{"--port-base", "0x1F0"}, kPortBaseUsage},  // the primary IDE controller
        {{"--sim-cable-cut", "0"}, "--sim-cable-cut takes a connector pin 1..25"},
        {{"--sim-cable-short", "3:3"},
         "--sim-cable-short takes two different connector pins, e.g. 2:3"},
        {{"--sim-cable", "usb"},
         "unknown cable 'usb' (stk200, byteblaster, xilinx, lattice, plain)"},
        {{"--sim-port", "0xFFFD"},
         "--sim-port takes lpt1, lpt2, lpt3, none or a base such as 0xD010"},
        {{"--sim-out-of-step", "32"}, "--sim-out-of-step takes 0..31"},
        {{"--sim-power-cut", "many"}, "--sim-power-cut takes a count"},
        {{"--watch-runs", "0"}, "--watch-runs takes a count 1..1000000"},
        {{"--verify-scope", "all"}, "--verify-scope takes file or chip"},
        {{"--lang", "fr"}, "--lang takes en or zh, not 'fr'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Parse(c.args).error, c.error) << c.args.front();
    }
}

TEST(CliOptions, ShortLongAndInlineFormsSetTheSameFields) {
    const ParseResult ok = Parse({"fuse-write",
                                  "-p",
                                  "tiny13",
                                  "--flash=a.hex",
                                  "-e",
                                  "b.eep",
                                  "-E",
                                  "--write-flash",
                                  "-R",
                                  "-V",
                                  "-F",
                                  "--lock",
                                  "-C",
                                  "-S",
                                  "-A",
                                  "--fuses",
                                  "6a:ff",
                                  "--fuse-ext=0x01",
                                  "--lock-byte",
                                  "FC",
                                  "--speed",
                                  "12",
                                  "--sim-port=0xD010",
                                  "--sim-cable-short",
                                  "2:18",
                                  "--watch-runs=3",
                                  "--lang",
                                  "en",
                                  "--verify-scope",
                                  "file",
                                  "--cal-to=eeprom"});
    ASSERT_EQ(ok.error, "");
    const Options& o = ok.options;
    EXPECT_EQ(o.command, Command::kFuseWrite);
    EXPECT_EQ(o.chip, "tiny13");
    EXPECT_EQ(o.flashFile, "a.hex");
    EXPECT_EQ(o.eepromFile, "b.eep");
    EXPECT_TRUE(o.steps.erase && o.steps.writeFlash && o.steps.writeEeprom && o.steps.verify &&
                o.steps.writeFuse && o.steps.lock && o.steps.copyCal && o.steps.checkId &&
                o.steps.autoSelect);
    EXPECT_EQ(o.fuseLow, 0x6A);
    EXPECT_EQ(o.fuseHigh, 0xFF);
    EXPECT_EQ(o.fuseExtended, 0x01);
    EXPECT_EQ(o.lockByte, 0xFC);
    EXPECT_EQ(o.speedDelay, 12u);
    EXPECT_FALSE(o.speedFastest);
    EXPECT_EQ(o.simBase, 0xD010);
    EXPECT_EQ(o.simCableShort[0], 2);
    EXPECT_EQ(o.simCableShort[1], 18);
    EXPECT_TRUE(o.watch);
    EXPECT_EQ(o.watchRuns, 3u);
    EXPECT_EQ(o.language, Language::kEn);
    EXPECT_EQ(o.verifyFileOnly, true);
    EXPECT_EQ(o.calToEeprom, true);
}

}  // namespace
}  // namespace velkor::cli
