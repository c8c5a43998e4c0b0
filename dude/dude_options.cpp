#include "dude/dude_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace velkor::dude {
namespace {

using Apply = std::string (*)(DudeOptions& o, const std::string& value, std::string_view name);

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

template <bool DudeOptions::*kFlag>
std::string SetFlag(DudeOptions& o, const std::string&, std::string_view) {
    o.*kFlag = true;
    return {};
}

template <int DudeOptions::*kCount>
std::string Count(DudeOptions& o, const std::string&, std::string_view) {
    ++(o.*kCount);
    return {};
}

template <std::string DudeOptions::*kText>
std::string SetText(DudeOptions& o, const std::string& value, std::string_view) {
    o.*kText = value;
    return {};
}

std::string AddOperation(DudeOptions& o, const std::string& value, std::string_view) {
    MemoryOperation op;
    if (std::string error = ParseMemoryOperation(value, op); !error.empty()) return error;
    o.operations.push_back(op);
    return {};
}

// A positive decimal number with an optional fraction, then `suffix` (if any) from a list.
bool ParseMeasure(const std::string& text, double& number, std::string& suffix) {
    char* end = nullptr;
    number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !(number > 0) || !std::isfinite(number)) return false;
    suffix = end;
    return true;
}

std::uint32_t DelayUnits(double microseconds) {
    return static_cast<std::uint32_t>(std::ceil(std::min(microseconds, 65535.0)));
}

// -B: the clock period in microseconds, or a frequency with Hz, kHz or MHz. A delay unit is
// one read of the port's data register, about a microsecond, and the delay is a half-period.
std::string SetBitClock(DudeOptions& o, const std::string& value, std::string_view name) {
    double number = 0;
    std::string suffix;
    if (!ParseMeasure(value, number, suffix)) {
        return "bad bit clock " + Quoted(value) + " for " + std::string(name);
    }
    double period = 0;
    if (suffix.empty() || suffix == "us") {
        period = number;
    } else if (suffix == "Hz") {
        period = 1e6 / number;
    } else if (suffix == "kHz") {
        period = 1e3 / number;
    } else if (suffix == "MHz") {
        period = 1 / number;
    } else {
        return "bad bit clock " + Quoted(value) + " for " + std::string(name) +
               " (microseconds, or Hz, kHz, MHz)";
    }
    o.delay = std::max<std::uint32_t>(1, DelayUnits(period / 2));
    return {};
}

// -i: the delay between two changes of a line, in microseconds: the half-period itself.
std::string SetBitDelay(DudeOptions& o, const std::string& value, std::string_view name) {
    double number = 0;
    std::string suffix;
    if (!ParseMeasure(value, number, suffix) || !suffix.empty()) {
        return "bad delay " + Quoted(value) + " for " + std::string(name) + " (microseconds)";
    }
    o.delay = DelayUnits(number);
    return {};
}

std::string SetLanguage(DudeOptions& o, const std::string& value, std::string_view) {
    o.language = ParseLanguage(value);
    if (!o.language) return "bad language " + Quoted(value) + " for --lang (zh or en)";
    return {};
}

// Options that make sense for other programmers, or ask for what the configuration file held:
// taken, so that a command line written for them runs, and named in a note.
std::string Ignore(DudeOptions& o, const std::string& value, std::string_view name) {
    o.notes.push_back(std::string(name) + (value.empty() ? "" : " " + value) +
                      " does not apply to this programmer; ignored");
    return {};
}

std::string IgnoreUnsafe(DudeOptions& o, const std::string&, std::string_view name) {
    o.notes.push_back(std::string(name) +
                      " ignored: fuse bytes that end serial programming need --unsafe-fuses");
    return {};
}

std::string NotOffered(DudeOptions&, const std::string&, std::string_view name) {
    return std::string(name) +
           " is not offered by this programmer (no terminal mode, no "
           "oscillator calibration run)";
}

struct OptionRow {
    char letter;           // 0: long only
    const char* longName;  // null: short only
    const char* argument;  // null: a flag
    const char* help;      // null: accepted, not listed
    Apply apply;
};

constexpr OptionRow kOptions[] = {
    {'p', nullptr, "PART",
     "the chip: avrdude's part id or name (m8, atmega328p, t85, 89s52); ? lists them",
     SetText<&DudeOptions::part>},
    {'c', nullptr, "PROGRAMMER",
     "the cable by avrdude's name (stk200, pony-stk200, frank-stk200, xil, abcmini, blaster); ? "
     "lists them",
     SetText<&DudeOptions::programmer>},
    {'P', nullptr, "PORT", "/dev/parportN, lpt1..lpt3, a port base such as 0x378, or sim",
     SetText<&DudeOptions::port>},
    {'U', nullptr, "MEM:OP:FILE[:FMT]",
     "a memory operation, run in order: MEM flash, eeprom, lfuse, hfuse, efuse, fuse, lock, "
     "signature, calibration; OP r, w, v; FMT a, i, s, r, e, m (and h, d, o, b for reading)",
     AddOperation},
    {'e', nullptr, nullptr, "erase the chip first", SetFlag<&DudeOptions::erase>},
    {'D', nullptr, nullptr, "no erase before writing flash", SetFlag<&DudeOptions::noAutoErase>},
    {'n', nullptr, nullptr, "write nothing to the chip (reads and verifies still run)",
     SetFlag<&DudeOptions::noWrite>},
    {'V', nullptr, nullptr, "no verify after writing", SetFlag<&DudeOptions::noVerify>},
    {'F', nullptr, nullptr, "go on when the signature is not the part's",
     SetFlag<&DudeOptions::force>},
    {'A', nullptr, nullptr, "keep trailing 0xFF bytes of flash reads",
     SetFlag<&DudeOptions::keepTrailingFF>},
    {'B', nullptr, "BITCLOCK", "clock period in microseconds (or with Hz, kHz, MHz)", SetBitClock},
    {'i', nullptr, "DELAY", "microseconds between two changes of a line", SetBitDelay},
    {'v', nullptr, nullptr, "say more", Count<&DudeOptions::verbose>},
    {'q', nullptr, nullptr, "say less: no progress bar; twice, no log", Count<&DudeOptions::quiet>},
    {0, "unsafe-fuses", nullptr,
     "write fuse bytes that end serial programming (RSTDISBL, SPIEN off, DWEN); -F does not",
     SetFlag<&DudeOptions::unsafeFuses>},
    {0, "lang", "zh|en", "the log's language (default: the locale's)", SetLanguage},
    {'?', "help", nullptr, "this text", SetFlag<&DudeOptions::help>},
    {'h', nullptr, nullptr, nullptr, SetFlag<&DudeOptions::help>},
    {'C', nullptr, "CONFIG", nullptr, Ignore},
    {'b', nullptr, "BAUD", nullptr, Ignore},
    {'E', nullptr, "EXITSPEC", nullptr, Ignore},
    {'x', nullptr, "PARAM", nullptr, Ignore},
    {'l', nullptr, "LOGFILE", nullptr, Ignore},
    {'Y', nullptr, "CYCLES", nullptr, Ignore},
    {'s', nullptr, nullptr, nullptr, Ignore},
    {'y', nullptr, nullptr, nullptr, Ignore},
    {'N', nullptr, nullptr, nullptr, Ignore},
    {'r', nullptr, nullptr, nullptr, Ignore},
    {'u', nullptr, nullptr, nullptr, IgnoreUnsafe},
    {'t', nullptr, nullptr, nullptr, NotOffered},
    {'T', nullptr, "COMMAND", nullptr, NotOffered},
    {'O', nullptr, nullptr, nullptr, NotOffered},
};

const OptionRow* FindShort(char letter) {
    for (const OptionRow& row : kOptions) {
        if (row.letter == letter) return &row;
    }
    return nullptr;
}

const OptionRow* FindLong(std::string_view name) {
    for (const OptionRow& row : kOptions) {
        if (row.longName != nullptr && name == row.longName) return &row;
    }
    return nullptr;
}

struct MemoryName_ {
    const char* name;
    Memory memory;
};
constexpr MemoryName_ kMemories[] = {
    {"flash", Memory::kFlash},
    {"eeprom", Memory::kEeprom},
    {"lfuse", Memory::kLowFuse},
    {"hfuse", Memory::kHighFuse},
    {"efuse", Memory::kExtendedFuse},
    {"fuse", Memory::kFuse},
    {"lock", Memory::kLock},
    {"signature", Memory::kSignature},
    {"calibration", Memory::kCalibration},
};

}  // namespace

const char* MemoryName(Memory memory) {
    for (const MemoryName_& m : kMemories) {
        if (m.memory == memory) return m.name;
    }
    return "?";
}

std::string ParseMemoryOperation(const std::string& text, MemoryOperation& out) {
    out = {};
    out.text = text;
    const std::size_t first = text.find(':');
    // A lone file name (no colon, or a Windows drive letter's only) is flash:w:file:a.
    if (first == std::string::npos ||
        (first == 1 && std::isalpha(static_cast<unsigned char>(text[0])) &&
         text.find(':', 2) == std::string::npos)) {
        out.file = text;
        return text.empty() ? "empty -U argument" : "";
    }
    const std::string memory = text.substr(0, first);
    bool known = false;
    for (const MemoryName_& m : kMemories) {
        if (memory == m.name) {
            out.memory = m.memory;
            known = true;
        }
    }
    if (!known) {
        return "unknown memory " + Quoted(memory) + " in -U " + text +
               " (flash, eeprom, lfuse, hfuse, efuse, fuse, lock, signature, calibration)";
    }
    if (text.size() < first + 3 || text[first + 2] != ':') {
        return "-U " + text + ": expected MEMORY:OP:FILE[:FORMAT] with OP r, w or v";
    }
    switch (text[first + 1]) {
        case 'r':
            out.op = Operation::kRead;
            break;
        case 'w':
            out.op = Operation::kWrite;
            break;
        case 'v':
            out.op = Operation::kVerify;
            break;
        default:
            return "-U " + text + ": unknown operation " + Quoted(text.substr(first + 1, 1)) +
                   " (r, w or v)";
    }
    std::string rest = text.substr(first + 3);
    // A last ":X" names the format; a file name with a colon of its own needs one.
    if (rest.size() >= 2 && rest[rest.size() - 2] == ':') {
        out.format = rest.back();
        rest.resize(rest.size() - 2);
    }
    out.file = rest;
    if (out.file.empty()) return "-U " + text + ": no file name";
    if (out.format == 'I') out.format = 'i';  // Intel HEX with comments: the same records
    const std::string_view input = "aisrem";
    const std::string_view output = "aisrehdob";
    const std::string_view allowed = out.op == Operation::kRead ? output : input;
    if (allowed.find(out.format) == std::string_view::npos) {
        return "-U " + text + ": format " + Quoted(std::string(1, out.format)) + " is not one " +
               (out.op == Operation::kRead ? "for reading (a, i, s, r, e, h, d, o, b)"
                                           : "for writing or verifying (a, i, s, r, e, m)");
    }
    if (out.op == Operation::kRead && out.format == 'e') {
        return "-U " + text + ": ELF files are read, not written";
    }
    return {};
}

DudeParseResult ParseDudeCommandLine(int argc, const char* const* argv) {
    DudeParseResult result;
    DudeOptions& o = result.options;
    auto fail = [&](std::string error) {
        result.error = std::move(error);
        return result;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const std::size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionRow* row = FindLong(name);
            if (row == nullptr) return fail("unknown option --" + name);
            std::string value;
            if (row->argument != nullptr) {
                if (equals != std::string::npos) {
                    value = arg.substr(equals + 1);
                } else if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    return fail("--" + name + " needs " + row->argument);
                }
            } else if (equals != std::string::npos) {
                return fail("--" + name + " takes no value");
            }
            if (std::string error = row->apply(o, value, "--" + name); !error.empty()) {
                return fail(error);
            }
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') return fail("unexpected argument " + Quoted(arg));
        // Letters may be grouped (-eV) and an argument may follow its letter directly (-pm8).
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionRow* row = FindShort(arg[k]);
            const std::string name = std::string("-") + arg[k];
            if (row == nullptr) return fail("unknown option " + name);
            std::string value;
            if (row->argument != nullptr) {
                if (k + 1 < arg.size()) {
                    value = arg.substr(k + 1);
                } else if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    return fail(name + " needs " + row->argument);
                }
                k = arg.size();
            }
            if (std::string error = row->apply(o, value, name); !error.empty()) return fail(error);
        }
    }
    return result;
}

std::string DudeHelpText() {
    std::string text =
        "Usage: velkorisp-dude -p PART [-c PROGRAMMER] [-P PORT] [options] [-U "
        "MEM:OP:FILE[:FMT]]...\n"
        "avrdude's command line for the parallel-port cables of VelkorISP.\n\nOptions:\n";
    for (const OptionRow& row : kOptions) {
        if (row.help == nullptr) continue;
        std::string left = "  ";
        if (row.letter != 0) left += std::string("-") + row.letter;
        if (row.longName != nullptr) {
            left += std::string(row.letter != 0 ? ", " : "") + "--" + row.longName;
        }
        if (row.argument != nullptr) left += std::string(" ") + row.argument;
        if (left.size() < 26)
            left.resize(26, ' ');
        else
            left += "\n" + std::string(26, ' ');
        text += left + row.help + "\n";
    }
    text +=
        "\nAccepted and ignored with a note: -C, -b, -E, -x, -l, -Y, -s, -y, -N, -r, -u.\n"
        "Exit status: 0 done, 1 failed.\n";
    return text;
}

}  // namespace velkor::dude
