// Files the velkorisp-dude tests program: the examples' HEX files and an ELF file built from
// tests/dude/app.c with avr-gcc, with avr-objcopy's HEX files of it as the witness of what
// each section holds.
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

namespace velkor::dude {

inline std::filesystem::path FreshDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("velkor-dude-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// app.elf, app.hex (flash) and app.eep (EEPROM from 0) in `dir`.
inline void BuildElfFixture(const std::filesystem::path& dir) {
    const std::string elf = (dir / "app.elf").string();
    const std::string command =
        "avr-gcc -mmcu=atmega8 -Os -o " + elf + " " + VELKOR_SOURCE_DIR + "/tests/dude/app.c" +
        " && avr-objcopy -O ihex -R .eeprom -R .fuse " + elf + " " + (dir / "app.hex").string() +
        " && avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 " + elf + " " +
        (dir / "app.eep").string();
    ASSERT_EQ(std::system(command.c_str()), 0) << "avr-gcc and avr-objcopy (gcc-avr, avr-libc)";
}

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
