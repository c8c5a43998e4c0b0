// A second witness for the chip table: avrdude's part data (/etc/avrdude.conf, from the
// avrdude package). Every part a row stands for must match its avrdude part in signature,
// flash, page and EEPROM size; for the rows added after the first 43 the row's waits must also
// cover avrdude's longest write delays and its poll value must be the value avrdude reads back
// during a write.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "devices/chip_table.h"

namespace velkor {
namespace {

constexpr const char* kAvrdudeConf = "/etc/avrdude.conf";

struct Part {
    std::map<std::string, std::string> fields;
    std::map<std::string, std::map<std::string, std::string>> memories;
    std::string parent;
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// The parts by id, with what each inherits from its parent already merged in.
std::map<std::string, Part> ReadAvrdudeParts(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, Part> parts;
    std::optional<Part> part;
    std::string memory;
    const std::regex partStart(R"re(^part(\s+parent\s+"([^"]+)")?\s*$)re");
    const std::regex memoryStart(R"re(^memory\s+"([^"]+)"\s*$)re");
    const std::regex field(R"(^(\w+)\s*=\s*(.*?)\s*;?\s*$)");
    for (std::string line; std::getline(in, line);) {
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        std::size_t start = 0;
        while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start])))
            ++start;
        line = line.substr(start);
        if (line.empty()) continue;
        std::smatch m;
        if (std::regex_match(line, m, partStart)) {
            part = Part{};
            part->parent = m[2].str();
            memory.clear();
        } else if (!part) {
            continue;
        } else if (std::regex_match(line, m, memoryStart)) {
            memory = m[1].str();
        } else if (line == ";") {
            if (!memory.empty()) {
                memory.clear();
                continue;
            }
            Part done = std::move(*part);
            part.reset();
            if (!done.parent.empty() && parts.count(done.parent) != 0) {
                Part merged = parts[done.parent];
                for (auto& [k, v] : done.fields) merged.fields[k] = v;
                for (auto& [name, mem] : done.memories) {
                    for (auto& [k, v] : mem) merged.memories[name][k] = v;
                }
                done = std::move(merged);
            }
            parts[Unquote(done.fields["id"])] = std::move(done);
        } else if (std::regex_match(line, m, field)) {
            if (memory.empty()) {
                part->fields[m[1].str()] = m[2].str();
            } else {
                part->memories[memory][m[1].str()] = m[2].str();
            }
        }
    }
    return parts;
}

long Number(const std::string& text) {
    return std::stol(text, nullptr, 0);
}

TEST(AvrdudeCrossCheck, EveryRowAgreesWithAvrdudesPartData) {
    if (!std::filesystem::exists(kAvrdudeConf)) GTEST_SKIP() << "avrdude is not installed";
    const std::map<std::string, Part> parts = ReadAvrdudeParts(kAvrdudeConf);
    std::map<std::string, const Part*> byDescription;
    for (const auto& [id, part] : parts) {
        const auto it = part.fields.find("desc");
        if (it != part.fields.end()) byDescription[Lower(Unquote(it->second))] = &part;
    }
    ASSERT_GT(byDescription.size(), 100u) << "avrdude.conf was not understood";
    // Parts avrdude describes with another signature than the data sheet of the part that the
    // row was made for: the row keeps the signature that users' chips of the first 43 answer.
    const std::set<std::string> firstRowsKnownApart = {"ATmega165"};
    int checked = 0;
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& chip = ChipTable[row];
        for (const std::string& name : PartNamesOfRow(chip.name)) {
            const std::string desc = "AT" + name;
            const auto found = byDescription.find(Lower(desc));
            if (found == byDescription.end()) {
                // Old parts avrdude's part data no longer describes.
                static const std::set<std::string> kNotInAvrdude = {"ATmega603", "AT90S2323",
                                                                    "ATtiny22", "ATmega323"};
                EXPECT_TRUE(row < 43 && kNotInAvrdude.count(desc) != 0)
                    << desc << " is not in avrdude's part data";
                continue;
            }
            SCOPED_TRACE(std::string(chip.name) + " as " + desc);
            const Part& part = *found->second;
            const auto& flash = part.memories.at("flash");
            const auto& eeprom = part.memories.at("eeprom");
            std::istringstream signature(part.fields.at("signature"));
            std::string byte;
            for (int i = 0; i < 3 && signature >> byte; ++i) {
                if (firstRowsKnownApart.count(desc) == 0) {
                    EXPECT_EQ(Number(byte), chip.signature[i]) << "signature byte " << i;
                }
            }
            EXPECT_EQ(Number(flash.at("size")), chip.flashSize);
            EXPECT_EQ(Number(eeprom.at("size")), chip.eepromSize);
            if (chip.pageSize != 0) {
                EXPECT_EQ(Number(flash.at("page_size")), chip.pageSize);
            }
            ++checked;
            if (row < 43) continue;
            EXPECT_GE(chip.flashWaitMs * 1000L, Number(flash.at("max_write_delay")));
            EXPECT_GE(chip.eepromWaitMs * 1000L, Number(eeprom.at("max_write_delay")));
            if (const auto readback = flash.find("readback"); readback != flash.end()) {
                std::istringstream values(readback->second);
                std::string first;
                values >> first;
                EXPECT_EQ(Number(first), chip.pollValue);
            }
        }
    }
    EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace velkor
