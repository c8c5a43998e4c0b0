// velkorisp-dude run in process, as a shell would start it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dude/dude_app.h"
#include "tests/dude/elf_fixture.h"

namespace velkor::dude {

struct DudeRun {
    int status;
    std::string out;
    std::string err;
};

// Runs velkorisp-dude in process with `line` split at spaces, in `dir`.
inline DudeRun Dude(const std::filesystem::path& dir, const std::string& line) {
    std::vector<std::string> args{"velkorisp-dude"};
    std::istringstream words(line);
    for (std::string word; words >> word;) args.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::ostringstream out, err;
    const int status = RunDude(static_cast<int>(argv.size()), argv.data(), out, err, nullptr);
    std::filesystem::current_path(before);
    return {status, out.str(), err.str()};
}

}  // namespace velkor::dude
