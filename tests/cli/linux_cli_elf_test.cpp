// avr-gcc's ELF file as the flash file of velkorisp-cli, loaded by the station: its sections
// reach the simulated chip as avr-objcopy reads them, and the watcher takes it once whole.
#include <gtest/gtest.h>

#include <fstream>

#include "station/station.h"
#include "tests/cli/cli_run.h"
#include "tests/dude/elf_fixture.h"
#include "watch/auto_program.h"

namespace velkor::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CliElf, SectionsReachFlashEepromAndFusesAndTheLineKeepsItsFuse) {
    const fs::path dir = FreshDir("cli-elf");
    BuildElfFixture(dir);
    const std::string elf = (dir / "app.elf").string();
    const CliRun run =
        Cli({"--lang", "en", "--backend", "sim", "-p", "mega8", "-f", elf, "-e", elf, "-E", "-W",
             "-R", "-V", "-F", "--fuse-high", "D8", "--sim-dump", (dir / "chip").string()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("gives these bytes: low E4 high D9"), std::string::npos) << run.out;
    const std::string flash = ReadText(dir / "chip/flash.bin");
    const std::string code = ReadText(dir / "app.bin");
    ASSERT_FALSE(code.empty());
    EXPECT_EQ(flash.substr(0, code.size()), code);
    EXPECT_EQ(flash.find_first_not_of('\xFF', code.size()), std::string::npos);
    const std::string eeprom = ReadText(dir / "app.eep.bin");
    EXPECT_EQ(ReadText(dir / "chip/eeprom.bin").substr(0, eeprom.size()), eeprom);
    // The ELF file's low byte, and the high byte the command line gave over the file's.
    const std::string state = ReadText(dir / "chip/state.txt");
    EXPECT_NE(state.find("fuse_low=E4\nfuse_high=D8\n"), std::string::npos) << state;

    // Opened as the flash file alone (the window's OpenFlash), it brings its EEPROM along.
    Station station;
    ASSERT_EQ(station.LoadFlash(elf), 0);
    EXPECT_EQ(station.EepromFile().Path(), elf);
    const auto image = station.Engine().EepromImage();
    EXPECT_EQ(std::string(image.begin(), image.begin() + static_cast<long>(eeprom.size())), eeprom);
    EXPECT_EQ(station.Fuses().low, 0xE4);
}

TEST(CliElf, AnotherProcessorsOrADamagedFileIsRefusedAndACutOneIsUnfinished) {
    const fs::path dir = FreshDir("cli-elf-bad");
    BuildElfFixture(dir);
    const std::string whole = ReadText(dir / "app.elf");
    std::ofstream(dir / "cut.elf", std::ios::binary) << whole.substr(0, whole.size() / 2);
    EXPECT_EQ(CheckHexText(whole).state, HexFileState::kComplete);
    EXPECT_EQ(CheckHexText(whole.substr(0, whole.size() / 2)).state, HexFileState::kUnfinished);

    const CliRun host =
        Cli({"--lang", "en", "--backend", "sim", "-p", "mega8", "-f", "/usr/bin/true"});
    EXPECT_EQ(host.status, 2);
    EXPECT_NE(host.out.find("is an ELF file for another processor (machine 62)"), std::string::npos)
        << host.out;
    const CliRun cut =
        Cli({"--lang", "en", "--backend", "sim", "-p", "mega8", "-f", (dir / "cut.elf").string()});
    EXPECT_EQ(cut.status, 2);
    EXPECT_NE(cut.out.find("cut.elf is damaged"), std::string::npos) << cut.out;
}

}  // namespace
}  // namespace velkor::cli
