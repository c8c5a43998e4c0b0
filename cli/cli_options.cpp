#include "cli/cli_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/port_base_rule.h"

namespace velkor::cli {
namespace {

bool ParseNumber(std::string_view text, int base, std::uint64_t max, std::uint64_t* out) {
    if (text.empty()) return false;
    std::string s(text);
    if (base == 0 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s = s.substr(2);
        base = 16;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(s.c_str(), &end, base == 0 ? 10 : base);
    if (errno != 0 || end == s.c_str() || *end != '\0' || s[0] == '-' || value > max) return false;
    *out = value;
    return true;
}

bool ParseHexByte(std::string_view text, std::uint8_t* out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    std::uint64_t v = 0;
    if (!ParseNumber(text, 16, 0xFF, &v)) return false;
    *out = static_cast<std::uint8_t>(v);
    return true;
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// What an option does with its value (a flag gets none) under its long name. It returns the
// usage error, or nothing when the value was taken. --fuses keeps the bytes it read before a
// bad one and a bad --lang clears the language; nothing runs after a usage error, so only the
// parsed result shows it.
using Apply = std::string (*)(Options& o, std::string_view value, std::string_view name);

template <bool ProgramSteps::*kStep>
std::string SetStep(Options& o, std::string_view, std::string_view) {
    o.steps.*kStep = true;
    return {};
}

template <bool Options::*kFlag>
std::string SetFlag(Options& o, std::string_view, std::string_view) {
    o.*kFlag = true;
    return {};
}

std::string AskForHelp(Options& o, std::string_view, std::string_view) {
    o.command = Command::kHelp;
    return {};
}

template <std::string Options::*kText>
std::string SetText(Options& o, std::string_view v, std::string_view) {
    o.*kText = v;
    return {};
}

template <std::optional<std::uint8_t> Options::*kByte>
std::string SetHexByte(Options& o, std::string_view v, std::string_view name) {
    std::uint8_t byte = 0;
    if (!ParseHexByte(v, &byte))
        return "bad value " + Quoted(v) + " for " + std::string(name) + " (hex byte)";
    o.*kByte = byte;
    return {};
}

// Bytes low, high, extended, separated by commas or colons, one kind per value.
std::string SetFuses(Options& o, std::string_view v, std::string_view) {
    std::optional<std::uint8_t>* slots[3] = {&o.fuseLow, &o.fuseHigh, &o.fuseExtended};
    std::size_t start = 0;
    const char separator = v.find(':') != std::string_view::npos ? ':' : ',';
    for (int k = 0; k < 3 && start <= v.size(); ++k) {
        const std::size_t comma = v.find(separator, start);
        const std::string_view part =
            v.substr(start, comma == std::string_view::npos ? v.npos : comma - start);
        std::uint8_t byte = 0;
        if (!ParseHexByte(part, &byte))
            return "bad fuse byte " + Quoted(part) + " in --fuses (two hex digits each)";
        *slots[k] = byte;
        if (comma == std::string_view::npos) {
            start = v.size() + 1;
            break;
        }
        start = comma + 1;
    }
    if (start <= v.size()) return "--fuses takes at most three bytes";
    return {};
}

template <std::optional<unsigned> Options::*kPosition>
std::string SetListPosition(Options& o, std::string_view v, std::string_view name) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, 1000, &n))
        return std::string(name) + " takes a list position (0, 1, ...)";
    o.*kPosition = static_cast<unsigned>(n);
    return {};
}

std::string SetCalSelect(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, 3, &n)) return "--cal-select takes 0, 1, 2 or 3";
    o.calSelect = static_cast<std::uint8_t>(n);
    return {};
}

std::string SetCalTarget(Options& o, std::string_view v, std::string_view) {
    if (v != "flash" && v != "eeprom") return "--cal-to takes flash or eeprom";
    o.calToEeprom = v == "eeprom";
    return {};
}

std::string SetCalAddress(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 0, 0xFFFFFFFF, &n)) return "bad --cal-address " + Quoted(v);
    o.calAddress = static_cast<std::uint32_t>(n);
    return {};
}

std::string SetSpeed(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (v == "fastest")
        o.speedFastest = true;
    else if (ParseNumber(v, 10, 0xFFFF, &n))
        o.speedDelay = static_cast<std::uint32_t>(n);
    else
        return "--speed takes 'fastest' or a count 0..65535";
    return {};
}

std::string SetBackend(Options& o, std::string_view v, std::string_view) {
    static constexpr struct {
        std::string_view name;
        Backend backend;
    } kBackends[] = {{"auto", Backend::kAuto},
                     {"sim", Backend::kSim},
                     {"driver-sim", Backend::kDriverSim},
                     {"driver", Backend::kDriver},
                     {"ppdev", Backend::kPpdev},
                     {"direct", Backend::kDirect}};
    for (const auto& b : kBackends) {
        if (b.name != v) continue;
        o.backend = b.backend;
        return {};
    }
    return "unknown backend " + Quoted(v) + " (auto, sim, driver-sim, driver, ppdev, direct)";
}

// A port card's base: the rule the driver holds it to as well (protocol/port_base_rule.h).
bool ParsePortBase(std::string_view v, std::uint16_t* base) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 0, 0xFFFF, &n) ||
        TarnelJudgePortBase(static_cast<std::uint32_t>(n), nullptr) != TARNEL_BASE_ADMITTED)
        return false;
    *base = static_cast<std::uint16_t>(n);
    return true;
}

std::string SetPortBase(Options& o, std::string_view v, std::string_view) {
    std::uint16_t base = 0;
    if (!ParsePortBase(v, &base))
        return "--port-base takes a port card's base: 8-aligned (or 0x3BC), 0x100..0xFFF8, "
               "clear of the system's fixed ports (IDE, display, ELCR, PCI configuration), "
               "e.g. 0xD010";
    o.portBase = base;
    return {};
}

std::string SetSimCableCut(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, 25, &n) || n == 0) return "--sim-cable-cut takes a connector pin 1..25";
    o.simCableCut = static_cast<int>(n);
    return {};
}

std::string SetSimCableShort(Options& o, std::string_view v, std::string_view) {
    const std::size_t colon = v.find(':');
    std::uint64_t a = 0, b = 0;
    if (colon == std::string_view::npos || !ParseNumber(v.substr(0, colon), 10, 25, &a) ||
        !ParseNumber(v.substr(colon + 1), 10, 25, &b) || a == 0 || b == 0 || a == b)
        return "--sim-cable-short takes two different connector pins, e.g. 2:3";
    o.simCableShort[0] = static_cast<int>(a);
    o.simCableShort[1] = static_cast<int>(b);
    return {};
}

std::string SetSimCable(Options& o, std::string_view v, std::string_view) {
    if (v != "stk200" && v != "byteblaster" && v != "xilinx" && v != "lattice" && v != "plain")
        return "unknown cable " + Quoted(v) + " (stk200, byteblaster, xilinx, lattice, plain)";
    o.simCable = v;
    return {};
}

std::string SetSimPort(Options& o, std::string_view v, std::string_view) {
    std::uint16_t base = 0;
    if (v == "lpt1")
        o.simBase = 0x378;
    else if (v == "lpt2")
        o.simBase = 0x278;
    else if (v == "lpt3")
        o.simBase = 0x3BC;
    else if (v == "none")
        o.simBase = 0;
    else if (ParsePortBase(v, &base))
        o.simBase = base;  // a port card's base, e.g. 0xD010
    else
        return "--sim-port takes lpt1, lpt2, lpt3, none or a base such as 0xD010";
    return {};
}

std::string SetSimOutOfStep(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, 31, &n)) return "--sim-out-of-step takes 0..31";
    o.simOutOfStep = static_cast<unsigned>(n);
    return {};
}

std::string SetSimPowerCut(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, UINT64_MAX, &n)) return "--sim-power-cut takes a count";
    o.simPowerCut = n;
    return {};
}

std::string SetWatchRuns(Options& o, std::string_view v, std::string_view) {
    std::uint64_t n = 0;
    if (!ParseNumber(v, 10, 1000000, &n) || n == 0) return "--watch-runs takes a count 1..1000000";
    o.watch = true;
    o.watchRuns = static_cast<unsigned>(n);
    return {};
}

std::string SetVerifyScope(Options& o, std::string_view v, std::string_view) {
    if (v != "file" && v != "chip") return "--verify-scope takes file or chip";
    o.verifyFileOnly = v == "file";
    return {};
}

std::string SetLanguage(Options& o, std::string_view v, std::string_view) {
    o.language = ParseLanguage(v);
    if (!o.language) return "--lang takes en or zh, not " + Quoted(v);
    return {};
}

// How a row appears in --help.
enum class Shown {
    kListed,
    kWithNext,  // named on the next row's line, which gives the help for both
    kUnlisted,  // documented elsewhere in the text
    kHeading,   // not an option: a section's heading (empty: a blank line)
};

struct OptionRow {
    std::string_view longName;
    std::string_view shortName;  // empty: none
    std::string_view argument;   // the value's name in --help; empty: a flag, which takes none
    std::string_view help;       // its lines, separated by '\n'
    Apply apply;
    Shown shown = Shown::kListed;
};

constexpr OptionRow Heading(std::string_view text) {
    return {"", "", "", text, nullptr, Shown::kHeading};
}

// Every option, in the order --help lists them: the parser and --help both read this table.
// A name may have more than one row when its values read differently (--speed): the first
// row parses, all are shown.
constexpr OptionRow kOptions[] = {
    Heading("Program steps (with none given: --erase --write-flash --verify, and --write-eeprom\n"
            "when an EEPROM file is given):"),
    {"--erase", "-E", "", "erase the chip", SetStep<&ProgramSteps::erase>},
    {"--write-flash", "-W", "", "write the flash image (whole chip)",
     SetStep<&ProgramSteps::writeFlash>},
    {"--write-eeprom", "-R", "", "write the EEPROM image", SetStep<&ProgramSteps::writeEeprom>},
    {"--verify", "-V", "", "verify what was written", SetStep<&ProgramSteps::verify>},
    {"--write-fuses", "-F", "", "write the fuse bytes (masked by the chip's changeable bits)",
     SetStep<&ProgramSteps::writeFuse>},
    {"--lock", "-L", "", "write the lock byte (the chip's default, or --lock-byte)",
     SetStep<&ProgramSteps::lock>},
    {"--copy-cal", "-C", "", "read the calibration bytes and copy one into the image",
     SetStep<&ProgramSteps::copyCal>},
    {"--check-signature", "-S", "", "stop unless the signature matches the chosen chip",
     SetStep<&ProgramSteps::checkId>},
    {"--auto-select", "-A", "", "select the chip by its signature (AVR only)",
     SetStep<&ProgramSteps::autoSelect>},

    Heading("Files and chip:"),
    {"--chip", "-p", "NAME", "chip name as listed by 'chips' (mega8, tiny13, 89S52, ...)",
     SetText<&Options::chip>},
    {"--flash", "-f", "FILE", "flash image: Intel HEX, Motorola S-record or ELF",
     SetText<&Options::flashFile>},
    {"--eeprom", "-e", "FILE", "EEPROM image: Intel HEX, S-record or ELF (its .eeprom)",
     SetText<&Options::eepromFile>},
    {"--ini", "", "FILE",
     "take everything the command line does not say from this\n"
     "settings file (chip, family, fuses, options, steps, files)",
     SetText<&Options::iniFile>},
    Heading(""),
    {"--flash-out", "", "FILE", "(read) write the chip's flash here as Intel HEX",
     SetText<&Options::flashOut>},
    {"--eeprom-out", "", "FILE", "(read) write the chip's EEPROM here as Intel HEX",
     SetText<&Options::eepromOut>},
    {"--verify-scope", "", "file|chip",
     "chip (default): a verify reads the whole flash; file:\n"
     "only the bytes the HEX files give data for (without it,\n"
     "the settings file's EXTRA/VerifyScope decides)",
     SetVerifyScope},

    Heading("Fuse, lock and calibration options:"),
    {"--fuses", "", "L[,H[,E]]",
     "fuse bytes low, high, extended in hex (e.g. E1,D9,FF or\n"
     "E1:D9:FF); a fuse write needs every byte the chip writes,\n"
     "from here or from a settings file's DEVICE/FUSE keys",
     SetFuses},
    {"--force", "", "",
     "write fuse values that end serial programming (RSTDISBL\n"
     "or DWEN programmed, SPIEN unprogrammed); refused otherwise",
     SetFlag<&Options::force>},
    {"--clock", "", "N", "", SetListPosition<&Options::clockPosition>, Shown::kWithNext},
    {"--startup", "", "M", "(fuses) positions in the wizard's clock and start-up lists",
     SetListPosition<&Options::startupPosition>},
    {"--fuse-low", "", "HH", "", SetHexByte<&Options::fuseLow>, Shown::kWithNext},
    {"--fuse-high", "", "HH", "", SetHexByte<&Options::fuseHigh>, Shown::kWithNext},
    {"--fuse-ext", "", "HH", "", SetHexByte<&Options::fuseExtended>},
    {"--lock-byte", "", "HH", "write this lock byte instead of the chip's default",
     SetHexByte<&Options::lockByte>},
    {"--cal-select", "", "N", "calibration byte to copy: 0..3 (1, 2, 4, 8 MHz)", SetCalSelect},
    {"--cal-to", "", "flash|eeprom", "memory the calibration byte is copied into", SetCalTarget},
    {"--cal-address", "", "ADDR", "byte address for it (0: the memory's last byte)", SetCalAddress},

    Heading("Speed:"),
    {"--speed", "", "fastest", "shortest clock half-period (default)", SetSpeed},
    {"--speed", "", "N", "N port reads per clock half-period (custom delay)", SetSpeed},

    Heading("Port access:"),
    {"--backend", "", "auto|sim|driver-sim|driver|ppdev|direct",
     "auto (default): ppdev when /dev/parport* exists, else the\n"
     "simulator; driver-sim: the simulator reached through the\n"
     "port driver's protocol, run in process (reports the number\n"
     "of device calls); direct: port instructions (needs root);\n"
     "driver (Windows NT family): the port driver Tarnel.sys\n"
     "beside the program, installed for the run and removed\n"
     "after it (needs administrator rights); on Windows, auto\n"
     "takes it, also without Tarnel.sys (and says so)",
     SetBackend},
    {"--ppdev-device", "", "PATH", "parport device node for LPT1 (default: by base address)",
     SetText<&Options::ppdevDevice>},
    {"--port-base", "", "0xNNNN",
     "also search the port card at this base (a PCI or PCIe\n"
     "card, e.g. 0xD010), after LPT1..LPT3; overrides the\n"
     "settings file's PORT/Base",
     SetPortBase},

    Heading("Simulated bench (--backend sim or driver-sim):"),
    {"--sim-chip", "", "NAME", "chip on the bench (default: --chip, else mega8)",
     SetText<&Options::simChip>},
    {"--sim-cable", "", "stk200|byteblaster|xilinx|lattice|plain",
     "cable kinds 8, 11, 9, 10, 7 (default stk200)", SetSimCable},
    {"--sim-port", "", "lpt1|lpt2|lpt3|none|0xNNNN", "where the simulated port sits (default lpt1)",
     SetSimPort},
    {"--sim-no-power", "", "", "the target has no supply", SetFlag<&Options::simNoPower>},
    {"--sim-no-target", "", "", "no chip on the cable", SetFlag<&Options::simNoTarget>},
    {"--sim-out-of-step", "", "N", "the chip's serial interface starts N bits out of step",
     SetSimOutOfStep},
    {"--sim-never-in-step", "", "", "the chip never accepts Programming Enable",
     SetFlag<&Options::simNeverInStep>},
    {"--sim-locked", "", "", "the chip answers 00 01 02 as its signature",
     SetFlag<&Options::simLocked>},
    {"--sim-power-cut", "", "N", "cut the target's supply after N port accesses", SetSimPowerCut},
    {"--sim-cable-cut", "", "PIN", "the cable's wire at connector pin PIN is broken",
     SetSimCableCut},
    {"--sim-cable-short", "", "PIN:PIN", "two connector pins touch (18..25 are ground)",
     SetSimCableShort},
    {"--sim-dump", "", "DIR", "afterwards write DIR/flash.bin, DIR/eeprom.bin, DIR/state.txt",
     SetText<&Options::simDump>},
    {"--sim-load", "", "DIR",
     "before the run give the chip what --sim-dump wrote there,\n"
     "so that the simulated chip keeps its memory between runs",
     SetText<&Options::simLoad>},

    Heading("Watching the flash file (program):"),
    {"--watch", "", "",
     "after the run, wait for the flash file to change and program\n"
     "again after each change, until Ctrl+C or SIGTERM (a run that is\n"
     "going is finished first); the file is taken once it has stayed\n"
     "unchanged for 250 ms and holds a complete HEX file, a damaged\n"
     "one is reported and not programmed",
     SetFlag<&Options::watch>},
    {"--watch-runs", "", "N", "--watch, ending after N runs caused by changes", SetWatchRuns},

    Heading("Output:"),
    {"--lang", "", "en|zh",
     "the log's language: English or Chinese; without it,\n"
     "Chinese when the locale is Chinese (LC_ALL, LC_MESSAGES or\n"
     "LANG starting with zh; on Windows the user's display\n"
     "language), else English",
     SetLanguage},
    {"--no-progress", "", "", "no progress bar on a terminal", SetFlag<&Options::noProgressBar>},
    {"--help", "-h", "", "this text", AskForHelp},
    // Listed with the chips command.
    {"--all", "", "", "", SetFlag<&Options::allChips>, Shown::kUnlisted},
};

struct CommandRow {
    std::string_view name;
    std::string_view usage;  // what --help shows after the name
    Command command;
    std::string_view help;  // its lines, separated by '\n'; empty: not listed
};

constexpr CommandRow kCommands[] = {
    {"program", "", Command::kProgram,
     "(default) run the programming sequence with the steps below"},
    {"fuse-read", "", Command::kFuseRead,
     "read the signature (selecting the chip by it) and the fuse bytes"},
    {"fuse-write", "", Command::kFuseWrite,
     "write the fuse bytes given with --fuses to the chosen chip"},
    {"cal-read", "", Command::kCalRead, "read the oscillator calibration bytes"},
    {"reset", "", Command::kReset, "pulse the target's RESET line"},
    {"detect", "", Command::kDetect, "find the port and the cable and check the target's power"},
    {"cable-test", "", Command::kCableTest,
     "drive each data line in turn, report which status lines follow,\n"
     "name the cable they match or what is wrong with it (exit 1)"},
    {"driver-check", "", Command::kDriverCheck,
     "send each of the port driver's control codes once and check the\n"
     "answers (--backend driver or driver-sim); moves no cable line;\n"
     "with --port-base B, B must be served, another card base refused"},
    {"read", "", Command::kRead,
     "read the chip (-p NAME) into Intel HEX files given with\n"
     "--flash-out F.hex and --eeprom-out E.hex; trailing FF bytes\n"
     "are left out"},
    {"chips", "[--all]", Command::kChips,
     "list the supported chips (--all: every table row, all fields)"},
    {"fuses", "", Command::kFuses,
     "the fuse calculator: show what the fuse panel and wizard show\n"
     "for --chip NAME --fuses LL:HH:EE; with --clock N [--startup M]\n"
     "first apply those wizard choices and print the new low byte"},
    {"help", "", Command::kHelp, ""},
};

constexpr std::string_view kHelpIntro =
    "Usage: velkorisp-cli [COMMAND] [OPTIONS]\n"
    "\n"
    "In-system programmer for AVR and AT89S5x chips on a PC parallel port. Without a\n"
    "parallel port the built-in simulated cable and chip are used.\n"
    "\n"
    "Commands:\n";

constexpr std::string_view kHelpExitStatus =
    "\n"
    "Exit status: 0 when everything asked for succeeded, 1 when a step failed (an\n"
    "EEPROM failure included), 2 for a usage error or a refusal before anything ran: a\n"
    "file that cannot be read or holds no data, data beyond the chip's memory, fuse\n"
    "bytes not given or unsafe, a step or command the chip's family does not have.\n";

// Columns where the help of a command and of an option starts.
constexpr std::size_t kCommandHelpColumn = 21;
constexpr std::size_t kOptionHelpColumn = 27;

// One entry of --help: the label, then the help's lines from `column` on, the first beside the
// label when at least two spaces fit between them, else from the next line.
void AppendEntry(std::string& text, std::string label, std::string_view help, std::size_t column) {
    if (help.empty()) {
        text += label + "\n";
        return;
    }
    if (label.size() + 2 <= column) {
        label.resize(column, ' ');
    } else {
        text += label + "\n";
        label.assign(column, ' ');
    }
    for (std::size_t start = 0; start <= help.size();) {
        const std::size_t end = std::min(help.find('\n', start), help.size());
        text += label;
        text += help.substr(start, end - start);
        text += '\n';
        label.assign(column, ' ');
        start = end + 1;
    }
}

std::string OptionLabel(const OptionRow& row) {
    std::string label(row.longName);
    if (!row.argument.empty()) label += " " + std::string(row.argument);
    return label;
}

void AppendOptions(std::string& text) {
    std::string joined;  // rows named on a later row's line
    for (const OptionRow& row : kOptions) {
        if (row.shown == Shown::kHeading) {
            text += "\n" + std::string(row.help) + (row.help.empty() ? "" : "\n");
            continue;
        }
        if (row.shown == Shown::kUnlisted) continue;
        if (row.shown == Shown::kWithNext) {
            joined += OptionLabel(row) + ", ";
            continue;
        }
        const std::string name = row.shortName.empty() ? "    " : std::string(row.shortName) + ", ";
        AppendEntry(text, "  " + name + joined + OptionLabel(row), row.help, kOptionHelpColumn);
        joined.clear();
    }
}

std::string BuildHelpText() {
    std::string text(kHelpIntro);
    for (const CommandRow& c : kCommands) {
        if (c.help.empty()) continue;
        std::string label = "  " + std::string(c.name);
        if (!c.usage.empty()) label += " " + std::string(c.usage);
        AppendEntry(text, label, c.help, kCommandHelpColumn);
    }
    AppendOptions(text);
    text += kHelpExitStatus;
    return text;
}

const OptionRow* FindOption(std::string_view name) {
    for (const OptionRow& row : kOptions) {
        if (row.shown == Shown::kHeading) continue;
        if (row.longName == name || (!row.shortName.empty() && row.shortName == name)) return &row;
    }
    return nullptr;
}

std::string TakeCommand(std::string_view word, bool& commandSeen, Options& o) {
    if (commandSeen) return "unexpected argument " + Quoted(word);
    commandSeen = true;
    for (const CommandRow& c : kCommands) {
        if (c.name != word) continue;
        o.command = c.command;
        return {};
    }
    return "unknown command " + Quoted(word);
}

// Takes the option at argv[i] and, when it has a value, the value: after '=' in a long
// option, else the next argument (i then moves past it). A flag ignores an '=' part.
std::string TakeOption(int argc, const char* const* argv, int& i, Options& o) {
    const std::string_view arg = argv[i];
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
    }
    const OptionRow* row = FindOption(name);
    if (row == nullptr) return "unknown option " + Quoted(arg);
    if (row->argument.empty()) return row->apply(o, {}, row->longName);
    std::string_view value;
    if (inlineValue)
        value = *inlineValue;
    else if (i + 1 < argc)
        value = argv[++i];
    else
        return "option " + std::string(name) + " needs a value";
    // An empty value is a mistake (an unset shell variable, most likely), never a way to ask
    // for the default.
    if (value.empty()) return "option " + std::string(name) + " needs a non-empty value";
    return row->apply(o, value, row->longName);
}

}  // namespace

const char* HelpText() {
    static const std::string text = BuildHelpText();
    return text.c_str();
}

ParseResult ParseCommandLine(int argc, const char* const* argv) {
    ParseResult result;
    bool commandSeen = false;
    for (int i = 1; i < argc && result.error.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (!arg.empty() && arg[0] != '-')
            result.error = TakeCommand(arg, commandSeen, result.options);
        else
            result.error = TakeOption(argc, argv, i, result.options);
    }
    return result;
}

}  // namespace velkor::cli
