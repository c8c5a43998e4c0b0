// Every AVR row held against the part descriptions avr-libc installs with the toolchain
// (scripts/install-deps.sh installs the package): signature bytes, flash end, page size,
// EEPROM end, fuse byte count, and for the rows added after the first 43 also each fuse bit's
// name and the factory defaults where the header gives them. A row named for two parts is
// held against both headers. The header is run through the C preprocessor with the part's
// macro defined, exactly as a build for that part would see it.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "devices/chip_table.h"
#include "devices/fuse_bit_names.h"

namespace velkor {
namespace {

constexpr const char* kAvrInclude = "/usr/lib/avr/include";
constexpr std::uint32_t kFirstNewRow = 43;

// Where a header disagrees with the part's data sheet, the row follows the data sheet (and
// avrdude's part data agrees with it). Each entry names the part as avr-libc does and the
// field whose header value is known to be wrong.
const std::set<std::pair<std::string, std::string>> kHeaderErrors = {
    // Signatures copied from a sibling part.
    {"AT90S4434", "signature"},   // header gives the AT90S8535's 1E 93 03
    {"ATmega165", "signature"},   // header gives 1E 94 05 (ATmega169); the part reads 1E 94 07
    {"ATmega164P", "signature"},  // 1E 94 0A and the 164A's 1E 94 0F are swapped in the header
    {"ATmega164A", "signature"},
    {"ATmega169A", "signature"},   // the A part reads 1E 94 11
    {"ATmega329PA", "signature"},  // the P/PA parts read their own 1E 95 0B
    {"ATmega3290P", "signature"},  // 1E 95 0C
    {"ATmega6490P", "signature"},  // 1E 96 0C
    {"ATmega325P", "signature"},   // 1E 95 0D
    {"ATmega645P", "signature"},   // 1E 96 0D
    {"ATmega3250P", "signature"},  // 1E 95 0E
    {"ATmega6450P", "signature"},  // 1E 96 0E
    // Headers that give no signature at all; the data sheets give 1E 93 81 and 1E 93 82.
    {"AT90PWM2", "signature"},
    {"AT90PWM3", "signature"},
    {"AT90USB82", "signature"},
    // Factory defaults the header states wrongly: these parts leave the factory on the 8 MHz
    // RC oscillator with the longest start-up (low byte 62), or, on the USB parts, on an
    // external crystal with CKDIV8 (5E) and the hardware boot pin enabled.
    {"ATmega164P", "low default"},
    {"ATmega164A", "low default"},
    {"ATmega324PA", "low default"},
    {"ATmega644", "low default"},
    {"ATmega644A", "low default"},
    {"ATmega644P", "low default"},
    {"ATmega644PA", "low default"},
    {"ATmega1284P", "low default"},
    {"ATmega1284P", "high default"},  // BOOTSZ1:0 are both programmed (99)
    {"ATmega128RFA1", "low default"},
    {"ATmega32M1", "low default"},
    {"ATmega64M1", "low default"},
    {"ATmega16U4", "low default"},
    {"ATmega16U4", "extended default"},
    {"ATmega32U4", "low default"},
    {"ATmega32U4", "high default"},
    {"ATmega32U4", "extended default"},
    {"ATmega8U2", "low default"},
    {"ATmega8U2", "extended default"},
    {"ATmega16U2", "low default"},
    {"ATmega16U2", "extended default"},
    {"ATmega32U2", "low default"},
    {"ATmega32U2", "extended default"},
    {"AT90USB646", "low default"},
    {"AT90USB647", "low default"},
    {"AT90USB1286", "low default"},
    {"AT90USB1287", "low default"},
    {"ATtiny4313", "low default"},  // 8 MHz RC (CKSEL 0100, 64), not the 4 MHz one
    {"ATmega165A", "low default"},  // the header gives no defaults at all for this part
    {"ATmega165A", "high default"},
};

struct PartHeader {
    std::map<std::string, std::string> defines;             // the macros that matter here, as text
    std::array<std::array<std::string, 8>, 3> fuseNames;    // as the data sheets name them
    std::array<std::array<std::string, 8>, 3> headerNames;  // as the header spells them
    std::map<int, std::string> fuseDefaults;                // byte -> expression
};

std::string Trim(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

// "0x1FFF", "(0x1FFFU)", "(1024 - 1)", "128U": the forms the headers use.
std::optional<long> Value(std::string text) {
    std::string s;
    for (char c : text) {
        if (c != '(' && c != ')' && c != ' ') s += c;
    }
    const std::regex form(R"(^(0x[0-9A-Fa-f]+|\d+)U?(?:-(0x[0-9A-Fa-f]+|\d+)U?)?$)");
    std::smatch m;
    if (!std::regex_match(s, m, form)) return std::nullopt;
    long v = std::stol(m[1].str(), nullptr, 0);
    if (m[2].matched) v -= std::stol(m[2].str(), nullptr, 0);
    return v;
}

// Some headers name the combined clock and start-up bits SUT_CKSELn or CKSEL_SUTn; the data
// sheets of the same parts call bits 0..3 CKSEL0..3 and bits 4..5 SUT0..1 (one SUT bit alone
// is plain SUT).
void NormaliseClockNames(std::array<std::string, 8>& bits) {
    const bool twoSut = bits[5].rfind("SUT_CKSEL", 0) == 0 || bits[5].rfind("CKSEL_SUT", 0) == 0;
    for (int i = 0; i < 8; ++i) {
        std::string& n = bits[static_cast<std::size_t>(i)];
        if (n.rfind("SUT_CKSEL", 0) != 0 && n.rfind("CKSEL_SUT", 0) != 0) continue;
        n = i < 4 ? "CKSEL" + std::to_string(i) : twoSut ? "SUT" + std::to_string(i - 4) : "SUT";
    }
}

std::optional<PartHeader> ReadHeader(const std::string& part) {
    const std::string command = "printf '#include <avr/io.h>\\n' | cpp -nostdinc -isystem " +
                                std::string(kAvrInclude) + " -D__AVR_" + part +
                                "__ -dD -C -P - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;

    PartHeader h;
    const std::regex define(R"(^#define (\w+)\s+(.*)$)");
    const std::regex fuseBit(R"(^#define FUSE_(\w+)\s+(?:\(unsigned char\))?\s*~_BV\((\d)\))");
    const std::regex fuseDefault(R"(^#define ([LHE]?)FUSE_DEFAULT\s+(.*)$)");
    bool inFuses = false;
    int byte = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::smatch m;
        if (std::regex_match(line, m, define)) {
            static const std::set<std::string> wanted = {
                "SIGNATURE_0", "SIGNATURE_1",  "SIGNATURE_2",     "FLASHEND",
                "E2END",       "SPM_PAGESIZE", "FUSE_MEMORY_SIZE"};
            if (wanted.count(m[1].str()) != 0) h.defines[m[1].str()] = Trim(m[2].str());
            if (m[1].str() == "FUSE_MEMORY_SIZE") inFuses = true;
        }
        if (!inFuses) continue;
        if (line.rfind("/*", 0) == 0) {
            std::string lower;
            for (char c : line)
                lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (lower.find("fuse") != std::string::npos) {
                if (lower.find("low") != std::string::npos ||
                    lower.find("lfuse") != std::string::npos) {
                    byte = 0;
                } else if (lower.find("high") != std::string::npos ||
                           lower.find("hfuse") != std::string::npos) {
                    byte = 1;
                } else if (lower.find("extended") != std::string::npos ||
                           lower.find("efuse") != std::string::npos) {
                    byte = 2;
                }
            }
        } else if (std::regex_search(line, m, fuseBit)) {
            if (byte < 3)
                h.fuseNames[static_cast<std::size_t>(byte)][std::stoul(m[2].str())] = m[1].str();
        } else if (std::regex_match(line, m, fuseDefault)) {
            const int which = m[1].str() == "H" ? 1 : m[1].str() == "E" ? 2 : 0;
            h.fuseDefaults[which] = Trim(m[2].str());
            byte = which + 1;  // the next names belong to the next byte
        } else if (line.rfind("#define SIGNATURE_2", 0) == 0) {
            inFuses = false;
        }
    }
    h.headerNames = h.fuseNames;
    for (auto& bits : h.fuseNames) NormaliseClockNames(bits);
    return h;
}

// "(FUSE_CKSEL0 & FUSE_SUT0)" or "(0xFF)" over the names of one fuse byte.
std::optional<int> DefaultValue(const std::string& expression,
                                const std::array<std::string, 8>& raw,
                                const std::array<std::string, 8>& names) {
    if (const std::optional<long> v = Value(expression)) return static_cast<int>(*v);
    int value = 0xFF;
    const std::regex term(R"(FUSE_(\w+))");
    for (auto it = std::sregex_iterator(expression.begin(), expression.end(), term);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1].str();
        bool found = false;
        for (int i = 0; i < 8; ++i) {
            if (raw[static_cast<std::size_t>(i)] == name ||
                names[static_cast<std::size_t>(i)] == name) {
                value &= ~(1 << i);
                found = true;
            }
        }
        if (!found) return std::nullopt;
    }
    return value;
}

// "mega164P/164PA" -> ATmega164P, ATmega164PA; "90USB646/647" -> AT90USB646, AT90USB647.
std::vector<std::string> PartsOfRow(const std::string& rowName) {
    std::vector<std::string> parts;
    const std::size_t slash = rowName.find('/');
    const std::string first = rowName.substr(0, slash);
    parts.push_back("AT" + first);
    if (slash == std::string::npos) return parts;
    std::size_t family = 0;
    while (family < first.size() && std::isdigit(static_cast<unsigned char>(first[family])))
        ++family;
    while (family < first.size() && std::isalpha(static_cast<unsigned char>(first[family])))
        ++family;
    std::size_t from = slash + 1;
    while (from <= rowName.size()) {
        std::size_t next = rowName.find('/', from);
        if (next == std::string::npos) next = rowName.size();
        parts.push_back("AT" + first.substr(0, family) + rowName.substr(from, next - from));
        from = next + 1;
    }
    return parts;
}

int FuseBytesOfKind(std::uint8_t kind) {
    return kind < 5 ? 1 : kind == 5 ? 2 : 3;
}

bool Known(const std::string& part, const std::string& field) {
    return kHeaderErrors.count({part, field}) != 0;
}

TEST(AvrLibcCrossCheck, EveryRowAgreesWithTheInstalledPartHeaders) {
    ASSERT_TRUE(std::filesystem::exists(std::string(kAvrInclude) + "/avr/io.h"))
        << "avr-libc is not installed: run scripts/install-deps.sh";
    std::set<std::pair<std::string, std::string>> exceptionsUsed;
    for (std::uint32_t row = 0; row < kLockedChipRow; ++row) {
        const ChipRecord& chip = ChipTable[row];
        for (const std::string& part : PartsOfRow(chip.name)) {
            SCOPED_TRACE(std::string(chip.name) + " as " + part);
            const std::optional<PartHeader> header = ReadHeader(part);
            ASSERT_TRUE(header.has_value()) << "the preprocessor could not read the header";
            const auto value = [&](const char* name) -> std::optional<long> {
                const auto it = header->defines.find(name);
                return it == header->defines.end() ? std::nullopt : Value(it->second);
            };
            const auto check = [&](const std::string& field, long expected, long actual) {
                if (Known(part, field)) {
                    exceptionsUsed.insert({part, field});
                    EXPECT_NE(expected, actual) << field << " is listed as wrong but agrees";
                } else {
                    EXPECT_EQ(expected, actual) << field;
                }
            };
            if (!value("FLASHEND").has_value()) {
                // avr-libc never described the ATmega603, a part withdrawn before it was made.
                EXPECT_EQ(part, "ATmega603") << "avr-libc has no header for this part";
                continue;
            }
            check("flash end", *value("FLASHEND"), chip.flashSize - 1);
            if (value("E2END")) check("EEPROM end", *value("E2END"), long{chip.eepromSize} - 1);
            if (value("SPM_PAGESIZE")) check("page size", *value("SPM_PAGESIZE"), chip.pageSize);
            if (value("SIGNATURE_0")) {
                const long header3 = *value("SIGNATURE_0") << 16 | *value("SIGNATURE_1") << 8 |
                                     *value("SIGNATURE_2");
                check("signature", header3,
                      chip.signature[0] << 16 | chip.signature[1] << 8 | chip.signature[2]);
            } else if (Known(part, "signature")) {
                exceptionsUsed.insert({part, "signature"});
            } else {
                EXPECT_LT(row, kFirstNewRow) << "every added part must have its signature checked";
            }
            if (chip.fuseKind != 0 && value("FUSE_MEMORY_SIZE")) {
                check("fuse bytes", *value("FUSE_MEMORY_SIZE"), FuseBytesOfKind(chip.fuseKind));
            }
            if (row < kFirstNewRow) continue;  // the first 43 keep the names users know

            static const char* const kByteNames[3] = {"low", "high", "extended"};
            for (std::size_t k = 0; k < 3; ++k) {
                for (std::size_t i = 0; i < 8; ++i) {
                    const char* ours = FuseBitName(*chip.fuseNames, k, i);
                    EXPECT_EQ(ours ? std::string(ours) : "", header->fuseNames[k][i])
                        << kByteNames[k] << " bit " << i;
                }
                const auto it = header->fuseDefaults.find(static_cast<int>(k));
                if (it == header->fuseDefaults.end()) {
                    if (Known(part, std::string(kByteNames[k]) + " default")) {
                        exceptionsUsed.insert({part, std::string(kByteNames[k]) + " default"});
                    }
                    continue;
                }
                const std::optional<int> d =
                    DefaultValue(it->second, header->headerNames[k], header->fuseNames[k]);
                ASSERT_TRUE(d.has_value()) << it->second;
                check(std::string(kByteNames[k]) + " default", *d, chip.fuseDefault[k]);
            }
        }
    }
    // An exception nobody needs any more hides the next real disagreement.
    for (const auto& e : kHeaderErrors) {
        EXPECT_EQ(exceptionsUsed.count(e), 1u) << e.first << " " << e.second << " is not used";
    }
}

}  // namespace
}  // namespace velkor
