#include "hosting/sim_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>
#include <vector>

#include "files/utf8_path.h"

namespace velkor {
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

// Reads the whole file; false when it is no regular file, cannot be read or exceeds `limit`.
bool ReadSmallFile(const std::filesystem::path& path, std::size_t limit, std::string& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > limit) return false;
    std::ifstream file(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return static_cast<bool>(file) || file.eof();
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

std::string LoadSimChip(SimBench& bench, const std::string& dir) {
    const std::filesystem::path root = PathFromUtf8(dir);
    sim::AvrChip* avr = bench.Avr();
    sim::At89Chip* at89 = bench.At89();
    if (avr == nullptr && at89 == nullptr) return "--sim-load needs a chip on the bench";
    const std::size_t flashSize = avr != nullptr ? avr->Flash().size() : at89->Flash().size();
    const std::size_t eepromSize = avr != nullptr ? avr->Eeprom().size() : 0;

    std::string flash, eeprom, state;
    for (const auto& [name, size, text] : {std::tuple{"flash.bin", flashSize, &flash},
                                           std::tuple{"eeprom.bin", eepromSize, &eeprom}}) {
        const std::filesystem::path path = root / name;
        if (!ReadSmallFile(path, size + 1, *text))
            return "--sim-load: cannot read " + PathToUtf8(path);
        if (text->size() != size) {
            return "--sim-load: " + PathToUtf8(path) + " holds " + std::to_string(text->size()) +
                   " bytes, the simulated chip's memory " + std::to_string(size) +
                   " (a dump of another chip?)";
        }
    }
    if (!ReadSmallFile(root / "state.txt", 4096, state))
        return "--sim-load: cannot read " + PathToUtf8(root / "state.txt");
    const char* const keys[4] = {"fuse_low", "fuse_high", "fuse_ext", "lock"};
    std::uint8_t bytes[4] = {};
    bool seen[4] = {};
    std::istringstream lines(state);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        for (int k = 0; k < 4; ++k) {
            if (line.compare(0, eq, keys[k]) != 0) continue;
            const std::string value = line.substr(eq + 1);
            char* end = nullptr;
            const unsigned long v = std::strtoul(value.c_str(), &end, 16);
            if (value.empty() || value.size() > 2 || *end != '\0')
                return "--sim-load: bad line '" + line + "' in state.txt";
            bytes[k] = static_cast<std::uint8_t>(v);
            seen[k] = true;
        }
    }
    for (int k = 0; k < 4; ++k) {
        if (!seen[k]) return std::string("--sim-load: state.txt gives no ") + keys[k];
    }

    auto copy = [](const std::string& from, std::vector<std::uint8_t>& to) {
        std::copy(from.begin(), from.end(), reinterpret_cast<char*>(to.data()));
    };
    if (avr != nullptr) {
        copy(flash, avr->Flash());
        copy(eeprom, avr->Eeprom());
        avr->RestoreConfig(bytes[0], bytes[1], bytes[2], bytes[3]);
    } else {
        copy(flash, at89->Flash());
    }
    return {};
}

}  // namespace velkor
