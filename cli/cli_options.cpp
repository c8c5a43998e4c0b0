#include "cli/cli_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

}  // namespace

const char* HelpText() {
    return R"(Usage: velkorisp-cli [COMMAND] [OPTIONS]

In-system programmer for AVR and AT89S5x chips on a PC parallel port. Without a
parallel port the built-in simulated cable and chip are used.

Commands:
  program            (default) run the programming sequence with the steps below
  fuse-read          read the signature (selecting the chip by it) and the fuse bytes
  fuse-write         write the fuse bytes given with --fuses to the chosen chip
  cal-read           read the oscillator calibration bytes
  reset              pulse the target's RESET line
  detect             find the port and the cable and check the target's power
  cable-test         drive each data line in turn, report which status lines follow,
                     name the cable they match or what is wrong with it (exit 1)
  driver-check       send each of the port driver's control codes once and check the
                     answers (--backend driver or driver-sim); moves no cable line;
                     with --port-base B, B must be served, another card base refused
  read               read the chip (-p NAME) into Intel HEX files given with
                     --flash-out F.hex and --eeprom-out E.hex; trailing FF bytes
                     are left out
  chips [--all]      list the supported chips (--all: every table row, all fields)
  fuses              the fuse calculator: show what the fuse panel and wizard show
                     for --chip NAME --fuses LL:HH:EE; with --clock N [--startup M]
                     first apply those wizard choices and print the new low byte

Program steps (with none given: --erase --write-flash --verify, and --write-eeprom
when an EEPROM file is given):
  -E, --erase              erase the chip
  -W, --write-flash        write the flash image (whole chip)
  -R, --write-eeprom       write the EEPROM image
  -V, --verify             verify what was written
  -F, --write-fuses        write the fuse bytes (masked by the chip's changeable bits)
  -L, --lock               write the lock byte (the chip's default, or --lock-byte)
  -C, --copy-cal           read the calibration bytes and copy one into the image
  -S, --check-signature    stop unless the signature matches the chosen chip
  -A, --auto-select        select the chip by its signature (AVR only)

Files and chip:
  -p, --chip NAME          chip name as listed by 'chips' (mega8, tiny13, 89S52, ...)
  -f, --flash FILE         flash image: Intel HEX or Motorola S-record
  -e, --eeprom FILE        EEPROM image: Intel HEX or Motorola S-record
      --ini FILE           take everything the command line does not say from this
                           settings file (chip, family, fuses, options, steps, files)

      --flash-out FILE     (read) write the chip's flash here as Intel HEX
      --eeprom-out FILE    (read) write the chip's EEPROM here as Intel HEX
      --verify-scope file|chip
                           chip (default): a verify reads the whole flash; file:
                           only the bytes the HEX files give data for (without it,
                           the settings file's EXTRA/VerifyScope decides)

Fuse, lock and calibration options:
      --fuses L[,H[,E]]    fuse bytes low, high, extended in hex (e.g. E1,D9,FF or
                           E1:D9:FF); a fuse write needs every byte the chip writes,
                           from here or from a settings file's DEVICE/FUSE keys
      --force              write fuse values that end serial programming (RSTDISBL
                           or DWEN programmed, SPIEN unprogrammed); refused otherwise
      --clock N, --startup M
                           (fuses) positions in the wizard's clock and start-up lists
      --fuse-low HH, --fuse-high HH, --fuse-ext HH
      --lock-byte HH       write this lock byte instead of the chip's default
      --cal-select N       calibration byte to copy: 0..3 (1, 2, 4, 8 MHz)
      --cal-to flash|eeprom
                           memory the calibration byte is copied into
      --cal-address ADDR   byte address for it (0: the memory's last byte)

Speed:
      --speed fastest      shortest clock half-period (default)
      --speed N            N port reads per clock half-period (custom delay)

Port access:
      --backend auto|sim|driver-sim|driver|ppdev|direct
                           auto (default): ppdev when /dev/parport* exists, else the
                           simulator; driver-sim: the simulator reached through the
                           port driver's protocol, run in process (reports the number
                           of device calls); direct: port instructions (needs root);
                           driver (Windows NT family): the port driver Tarnel.sys
                           beside the program, installed for the run and removed
                           after it (needs administrator rights); on Windows, auto
                           takes it when Tarnel.sys is there
      --ppdev-device PATH  parport device node for LPT1 (default: by base address)
      --port-base 0xNNNN   also search the port card at this base (a PCI or PCIe
                           card, e.g. 0xD010), after LPT1..LPT3; overrides the
                           settings file's PORT/Base

Simulated bench (--backend sim or driver-sim):
      --sim-chip NAME      chip on the bench (default: --chip, else mega8)
      --sim-cable stk200|byteblaster|xilinx|lattice|plain
                           cable kinds 8, 11, 9, 10, 7 (default stk200)
      --sim-port lpt1|lpt2|lpt3|none|0xNNNN
                           where the simulated port sits (default lpt1)
      --sim-no-power       the target has no supply
      --sim-no-target      no chip on the cable
      --sim-out-of-step N  the chip's serial interface starts N bits out of step
      --sim-never-in-step  the chip never accepts Programming Enable
      --sim-locked         the chip answers 00 01 02 as its signature
      --sim-power-cut N    cut the target's supply after N port accesses
      --sim-cable-cut PIN  the cable's wire at connector pin PIN is broken
      --sim-cable-short PIN:PIN
                           two connector pins touch (18..25 are ground)
      --sim-dump DIR       afterwards write DIR/flash.bin, DIR/eeprom.bin, DIR/state.txt
      --sim-load DIR       before the run give the chip what --sim-dump wrote there,
                           so that the simulated chip keeps its memory between runs

Watching the flash file (program):
      --watch              after the run, wait for the flash file to change and program
                           again after each change, until Ctrl+C or SIGTERM (a run that is
                           going is finished first); the file is taken once it has stayed
                           unchanged for 250 ms and holds a complete HEX file, a damaged
                           one is reported and not programmed
      --watch-runs N       --watch, ending after N runs caused by changes

Output:
      --lang en|zh         the log's language: English or Chinese; without it,
                           Chinese when the locale is Chinese (LC_ALL, LC_MESSAGES or
                           LANG starting with zh; on Windows the user's display
                           language), else English
      --no-progress        no progress bar on a terminal
  -h, --help               this text

Exit status: 0 when everything asked for succeeded, 1 when a step failed (an
EEPROM failure included), 2 for a usage error or a refusal before anything ran: a
file that cannot be read or holds no data, data beyond the chip's memory, fuse
bytes not given or unsafe, a step or command the chip's family does not have.
)";
}

ParseResult ParseCommandLine(int argc, const char* const* argv) {
    ParseResult result;
    Options& o = result.options;
    bool commandSeen = false;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        bool hasInlineValue = false;
        std::string_view name = arg;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasInlineValue = true;
            }
        }
        auto takeValue = [&](std::string_view* out) {
            if (hasInlineValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        auto need = [&](std::string_view* out) {
            if (!takeValue(out)) {
                result.error = "option " + std::string(name) + " needs a value";
                return false;
            }
            // An empty value is a mistake (an unset shell variable, most likely), never a way
            // to ask for the default.
            if (out->empty()) {
                result.error = "option " + std::string(name) + " needs a non-empty value";
                return false;
            }
            return true;
        };
        std::string_view v;

        if (!arg.empty() && arg[0] != '-') {
            if (commandSeen) return fail("unexpected argument '" + std::string(arg) + "'");
            commandSeen = true;
            if (arg == "program")
                o.command = Command::kProgram;
            else if (arg == "fuse-read")
                o.command = Command::kFuseRead;
            else if (arg == "fuse-write")
                o.command = Command::kFuseWrite;
            else if (arg == "cal-read")
                o.command = Command::kCalRead;
            else if (arg == "reset")
                o.command = Command::kReset;
            else if (arg == "detect")
                o.command = Command::kDetect;
            else if (arg == "cable-test")
                o.command = Command::kCableTest;
            else if (arg == "driver-check")
                o.command = Command::kDriverCheck;
            else if (arg == "chips")
                o.command = Command::kChips;
            else if (arg == "fuses")
                o.command = Command::kFuses;
            else if (arg == "read")
                o.command = Command::kRead;
            else if (arg == "help")
                o.command = Command::kHelp;
            else
                return fail("unknown command '" + std::string(arg) + "'");
            continue;
        }
        if (name == "-h" || name == "--help") {
            o.command = Command::kHelp;
            continue;
        }
        if (name == "--all") {
            o.allChips = true;
            continue;
        }
        if (name == "-E" || name == "--erase") {
            o.steps.erase = true;
            continue;
        }
        if (name == "-W" || name == "--write-flash") {
            o.steps.writeFlash = true;
            continue;
        }
        if (name == "-R" || name == "--write-eeprom") {
            o.steps.writeEeprom = true;
            continue;
        }
        if (name == "-V" || name == "--verify") {
            o.steps.verify = true;
            continue;
        }
        if (name == "-F" || name == "--write-fuses") {
            o.steps.writeFuse = true;
            continue;
        }
        if (name == "-L" || name == "--lock") {
            o.steps.lock = true;
            continue;
        }
        if (name == "-C" || name == "--copy-cal") {
            o.steps.copyCal = true;
            continue;
        }
        if (name == "-S" || name == "--check-signature") {
            o.steps.checkId = true;
            continue;
        }
        if (name == "-A" || name == "--auto-select") {
            o.steps.autoSelect = true;
            continue;
        }
        if (name == "--force") {
            o.force = true;
            continue;
        }
        if (name == "--no-progress") {
            o.noProgressBar = true;
            continue;
        }
        if (name == "--watch") {
            o.watch = true;
            continue;
        }
        if (name == "--sim-no-power") {
            o.simNoPower = true;
            continue;
        }
        if (name == "--sim-no-target") {
            o.simNoTarget = true;
            continue;
        }
        if (name == "--sim-never-in-step") {
            o.simNeverInStep = true;
            continue;
        }
        if (name == "--sim-locked") {
            o.simLocked = true;
            continue;
        }

        if (name == "-p" || name == "--chip") {
            if (!need(&v)) return result;
            o.chip = v;
        } else if (name == "-f" || name == "--flash") {
            if (!need(&v)) return result;
            o.flashFile = v;
        } else if (name == "-e" || name == "--eeprom") {
            if (!need(&v)) return result;
            o.eepromFile = v;
        } else if (name == "--ini") {
            if (!need(&v)) return result;
            o.iniFile = v;
        } else if (name == "--fuses") {
            if (!need(&v)) return result;
            std::optional<std::uint8_t>* slots[3] = {&o.fuseLow, &o.fuseHigh, &o.fuseExtended};
            std::size_t start = 0;
            // Bytes separated by commas or colons, one kind per value.
            const char separator = v.find(':') != std::string_view::npos ? ':' : ',';
            for (int k = 0; k < 3 && start <= v.size(); ++k) {
                const std::size_t comma = v.find(separator, start);
                const std::string_view part =
                    v.substr(start, comma == std::string_view::npos ? v.npos : comma - start);
                std::uint8_t byte = 0;
                if (!ParseHexByte(part, &byte))
                    return fail("bad fuse byte '" + std::string(part) +
                                "' in --fuses (two hex digits each)");
                *slots[k] = byte;
                if (comma == std::string_view::npos) {
                    start = v.size() + 1;
                    break;
                }
                start = comma + 1;
            }
            if (start <= v.size()) return fail("--fuses takes at most three bytes");
        } else if (name == "--fuse-low" || name == "--fuse-high" || name == "--fuse-ext" ||
                   name == "--lock-byte") {
            if (!need(&v)) return result;
            std::uint8_t byte = 0;
            if (!ParseHexByte(v, &byte))
                return fail("bad value '" + std::string(v) + "' for " + std::string(name) +
                            " (hex byte)");
            if (name == "--fuse-low")
                o.fuseLow = byte;
            else if (name == "--fuse-high")
                o.fuseHigh = byte;
            else if (name == "--fuse-ext")
                o.fuseExtended = byte;
            else
                o.lockByte = byte;
        } else if (name == "--clock" || name == "--startup") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, 1000, &n))
                return fail(std::string(name) + " takes a list position (0, 1, ...)");
            (name == "--clock" ? o.clockPosition : o.startupPosition) = static_cast<unsigned>(n);
        } else if (name == "--cal-select") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, 3, &n)) return fail("--cal-select takes 0, 1, 2 or 3");
            o.calSelect = static_cast<std::uint8_t>(n);
        } else if (name == "--cal-to") {
            if (!need(&v)) return result;
            if (v == "flash")
                o.calToEeprom = false;
            else if (v == "eeprom")
                o.calToEeprom = true;
            else
                return fail("--cal-to takes flash or eeprom");
        } else if (name == "--cal-address") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 0, 0xFFFFFFFF, &n))
                return fail("bad --cal-address '" + std::string(v) + "'");
            o.calAddress = static_cast<std::uint32_t>(n);
        } else if (name == "--speed") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (v == "fastest")
                o.speedFastest = true;
            else if (ParseNumber(v, 10, 0xFFFF, &n))
                o.speedDelay = static_cast<std::uint32_t>(n);
            else
                return fail("--speed takes 'fastest' or a count 0..65535");
        } else if (name == "--backend") {
            if (!need(&v)) return result;
            if (v == "auto")
                o.backend = Backend::kAuto;
            else if (v == "sim")
                o.backend = Backend::kSim;
            else if (v == "driver-sim")
                o.backend = Backend::kDriverSim;
            else if (v == "driver")
                o.backend = Backend::kDriver;
            else if (v == "ppdev")
                o.backend = Backend::kPpdev;
            else if (v == "direct")
                o.backend = Backend::kDirect;
            else
                return fail("unknown backend '" + std::string(v) +
                            "' (auto, sim, driver-sim, driver, ppdev, direct)");
        } else if (name == "--ppdev-device") {
            if (!need(&v)) return result;
            o.ppdevDevice = v;
        } else if (name == "--port-base") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            // The block's three registers must fit below 0x10000; the first 0x100 ports
            // belong to the system board.
            if (!ParseNumber(v, 0, 0xFFFC, &n) || n < 0x100)
                return fail("--port-base takes a base address 0x100..0xFFFC, e.g. 0xD010");
            o.portBase = static_cast<std::uint16_t>(n);
        } else if (name == "--sim-cable-cut") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, 25, &n) || n == 0)
                return fail("--sim-cable-cut takes a connector pin 1..25");
            o.simCableCut = static_cast<int>(n);
        } else if (name == "--sim-cable-short") {
            if (!need(&v)) return result;
            const std::size_t colon = v.find(':');
            std::uint64_t a = 0, b = 0;
            if (colon == std::string_view::npos || !ParseNumber(v.substr(0, colon), 10, 25, &a) ||
                !ParseNumber(v.substr(colon + 1), 10, 25, &b) || a == 0 || b == 0 || a == b)
                return fail("--sim-cable-short takes two different connector pins, e.g. 2:3");
            o.simCableShort[0] = static_cast<int>(a);
            o.simCableShort[1] = static_cast<int>(b);
        } else if (name == "--sim-chip") {
            if (!need(&v)) return result;
            o.simChip = v;
        } else if (name == "--sim-cable") {
            if (!need(&v)) return result;
            if (v != "stk200" && v != "byteblaster" && v != "xilinx" && v != "lattice" &&
                v != "plain") {
                return fail("unknown cable '" + std::string(v) +
                            "' (stk200, byteblaster, xilinx, lattice, plain)");
            }
            o.simCable = v;
        } else if (name == "--sim-port") {
            if (!need(&v)) return result;
            if (v == "lpt1")
                o.simBase = 0x378;
            else if (v == "lpt2")
                o.simBase = 0x278;
            else if (v == "lpt3")
                o.simBase = 0x3BC;
            else if (v == "none")
                o.simBase = 0;
            else if (std::uint64_t n = 0; ParseNumber(v, 0, 0xFFFC, &n) && n >= 0x100)
                o.simBase = static_cast<std::uint16_t>(n);  // a port card's base, e.g. 0xD010
            else
                return fail("--sim-port takes lpt1, lpt2, lpt3, none or a base such as 0xD010");
        } else if (name == "--sim-out-of-step") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, 31, &n)) return fail("--sim-out-of-step takes 0..31");
            o.simOutOfStep = static_cast<unsigned>(n);
        } else if (name == "--sim-power-cut") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, UINT64_MAX, &n)) return fail("--sim-power-cut takes a count");
            o.simPowerCut = n;
        } else if (name == "--watch-runs") {
            if (!need(&v)) return result;
            std::uint64_t n = 0;
            if (!ParseNumber(v, 10, 1000000, &n) || n == 0)
                return fail("--watch-runs takes a count 1..1000000");
            o.watch = true;
            o.watchRuns = static_cast<unsigned>(n);
        } else if (name == "--sim-load") {
            if (!need(&v)) return result;
            o.simLoad = v;
        } else if (name == "--flash-out") {
            if (!need(&v)) return result;
            o.flashOut = v;
        } else if (name == "--eeprom-out") {
            if (!need(&v)) return result;
            o.eepromOut = v;
        } else if (name == "--verify-scope") {
            if (!need(&v)) return result;
            if (v == "file")
                o.verifyFileOnly = true;
            else if (v == "chip")
                o.verifyFileOnly = false;
            else
                return fail("--verify-scope takes file or chip");
        } else if (name == "--sim-dump") {
            if (!need(&v)) return result;
            o.simDump = v;
        } else if (name == "--lang") {
            if (!need(&v)) return result;
            o.language = ParseLanguage(v);
            if (!o.language) return fail("--lang takes en or zh, not '" + std::string(v) + "'");
        } else {
            return fail("unknown option '" + std::string(arg) + "'");
        }
    }
    return result;
}

}  // namespace velkor::cli
