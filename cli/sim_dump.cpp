#include "cli/sim_dump.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "files/utf8_path.h"

namespace velkor::cli {
namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string Hex2(std::uint8_t v) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", v);
    return buffer;
}

}  // namespace

std::string DumpSimChip(const SimBench& bench, const std::string& dir) {
    const std::filesystem::path root = PathFromUtf8(dir);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) return "cannot create " + dir + ": " + ec.message();
    std::vector<std::uint8_t> flash, eeprom;
    std::uint8_t fuses[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    if (const sim::AvrChip* avr = bench.Avr()) {
        flash = avr->Flash();
        eeprom = avr->Eeprom();
        fuses[0] = avr->FuseLow();
        fuses[1] = avr->FuseHigh();
        fuses[2] = avr->FuseExtended();
        fuses[3] = avr->Lock();
    } else if (const sim::At89Chip* at89 = bench.At89()) {
        flash = at89->Flash();
    }
    if (!WriteFile(root / "flash.bin", flash) || !WriteFile(root / "eeprom.bin", eeprom)) {
        return "cannot write the memory dumps into " + dir;
    }
    // Binary, so that the file reads the same on every platform: "\n" line ends.
    std::ofstream state(root / "state.txt", std::ios::binary | std::ios::trunc);
    state << "fuse_low=" << Hex2(fuses[0]) << "\nfuse_high=" << Hex2(fuses[1])
          << "\nfuse_ext=" << Hex2(fuses[2]) << "\nlock=" << Hex2(fuses[3]) << "\n";
    if (!state) return "cannot write " + PathToUtf8(root / "state.txt");
    return {};
}

std::string CheckSimDumpDir(const std::string& dir) {
    const std::filesystem::path root = PathFromUtf8(dir);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec) return "cannot create --sim-dump directory " + dir + ": " + ec.message();
    if (!std::filesystem::is_directory(root, ec))
        return "--sim-dump " + dir + " is not a directory";
    const std::filesystem::path probe = root / ".velkorisp-dump-probe";
    {
        std::ofstream file(probe, std::ios::binary | std::ios::trunc);
        file << "x";
        if (!file) return "cannot write into --sim-dump directory " + dir;
    }
    std::filesystem::remove(probe, ec);
    return {};
}

}  // namespace velkor::cli
