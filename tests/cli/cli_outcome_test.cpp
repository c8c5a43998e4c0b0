// What velkorisp-cli tells a script: the exit status and the one-line outcome on standard
// error, for runs that pass and runs that only look as if they did.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "tests/cli/cli_run.h"

namespace velkor::cli {
namespace {

const std::string kBlink = std::string(VELKOR_SOURCE_DIR) + "/examples/blink.hex";

TEST(CliOutcome, VerifyAloneOnABlankChipFailsAtTheFirstByte) {
    const CliRun run = Cli({"--backend", "sim", "-p", "mega8", "-V", "-f", kBlink});
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("校验Flash: \n比较中...\n在 0000:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("完成."), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        run.err, std::regex("velkorisp-cli: mega8 on STK200/STK300: 0 bytes written, 0 "
                            "verified, [0-9]+\\.[0-9] s: failed\n$")))
        << run.err;
}

TEST(CliOutcome, AWholeRunReportsWhatItWroteAndVerified) {
    const CliRun run = Cli({"--backend", "driver-sim", "-p", "mega8", "-f", kBlink});
    EXPECT_EQ(run.status, 0) << run.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        run.err, m,
        std::regex("velkorisp-cli: mega8 on STK200/STK300: ([0-9]+) bytes written, 8192 "
                   "verified, [0-9]+\\.[0-9] s: ok\n$")))
        << run.err;
    EXPECT_GT(std::stoul(m[1]), 0u);
    EXPECT_EQ(std::stoul(m[1]) % 64, 0u);  // whole pages
}

}  // namespace
}  // namespace velkor::cli
