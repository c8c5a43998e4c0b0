// An ELF file as a project's build leaves it, built from tests/dude/app.c with avr-gcc, with
// avr-objcopy's conversions of it as the witness of what each section holds.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velkor {

inline std::filesystem::path FreshDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("velkor-dude-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// app.elf, and avr-objcopy's views of it in `dir`: app.hex and app.bin (flash), app.eep
// and app.eep.bin (EEPROM from 0).
inline void BuildElfFixture(const std::filesystem::path& dir) {
    const std::string elf = (dir / "app.elf").string();
    const std::string command =
        "avr-gcc -mmcu=atmega8 -Os -o " + elf + " " + VELKOR_SOURCE_DIR + "/tests/dude/app.c" +
        " && avr-objcopy -O ihex -R .eeprom -R .fuse " + elf + " " + (dir / "app.hex").string() +
        " && avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 " + elf + " " +
        (dir / "app.eep").string() + " && avr-objcopy -O binary -R .eeprom -R .fuse " + elf + " " +
        (dir / "app.bin").string() +
        " && avr-objcopy -O binary -j .eeprom --change-section-lma .eeprom=0 " + elf + " " +
        (dir / "app.eep.bin").string();
    ASSERT_EQ(std::system(command.c_str()), 0) << "avr-gcc and avr-objcopy (gcc-avr, avr-libc)";
}

}  // namespace velkor
