// velkorisp-cli's driver path: the protocol check through the in-process driver, and the
// usage errors of asking for the driver where there is none.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace velkor::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun Cli(std::vector<const char*> args) {
    args.insert(args.begin(), "velkorisp-cli");
    std::ostringstream out, err;
    const int status = RunCli(static_cast<int>(args.size()), args.data(), out, err, nullptr);
    return {status, out.str(), err.str()};
}

TEST(CliDriver, DriverCheckPassesThroughTheInProcessDriver) {
    const CliRun run = Cli({"driver-check", "--backend", "driver-sim"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (const char* code :
         {"READ_PORT: ok", "WRITE_PORT: ok", "SET_PARAMS: ok", "WRITE_BYTE: ok", "WRITE_PAGE: ok",
          "READ_BYTE: ok (12 bytes)", "READ_PAGE: ok (260 bytes)", "0xF0003C1C: ok (refused)",
          "READ_PORT 0x80: ok (refused)"}) {
        EXPECT_NE(run.out.find(code), std::string::npos) << code << "\n" << run.out;
    }
}

// A port card's base given to the program reaches the driver, which serves it (a whole run
// finds the card through it) and still refuses a card base nobody configured.
TEST(CliDriver, TheDriverServesTheConfiguredCardBaseOnly) {
    const CliRun check = Cli({"driver-check", "--backend", "driver-sim", "--port-base", "0xD010"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    for (const char* line : {"READ_PORT 0xD010: ok (8 bytes)", "SET_PARAMS 0xD010: ok (0 bytes)",
                             "READ_PORT 0xE800: ok (refused: invalid parameter)",
                             "SET_PARAMS 0xE800: ok (refused: invalid parameter)"}) {
        EXPECT_NE(check.out.find(line), std::string::npos) << line << "\n" << check.out;
    }
    const CliRun found =
        Cli({"detect", "--backend", "driver-sim", "--sim-port", "0xD010", "--port-base", "0xD010"});
    EXPECT_EQ(found.status, 0) << found.out << found.err;
    EXPECT_NE(found.out.find("port: LPT4 (0xD010)"), std::string::npos) << found.out;
}

TEST(CliDriver, DriverCheckNeedsADriverPath) {
    const CliRun run = Cli({"driver-check", "--backend", "sim"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("driver-check needs --backend driver or driver-sim"), std::string::npos);
}

#ifndef _WIN32
TEST(CliDriver, TheDriverBackendIsWindowsOnly) {
    const CliRun run = Cli({"detect", "--backend", "driver"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Windows NT"), std::string::npos);
}
#endif

}  // namespace
}  // namespace velkor::cli
