// Runs velkorisp-cli in process, as a shell would start it, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace velkor::cli {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "velkorisp-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, nullptr);
    return {status, out.str(), err.str()};
}

}  // namespace velkor::cli
