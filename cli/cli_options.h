// The command line of velkorisp-cli, parsed into plain values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "messages/log_messages.h"

namespace velkor::cli {

enum class Command {
    kProgram,
    kFuseRead,
    kFuseWrite,
    kCalRead,
    kReset,
    kDetect,
    kCableTest,
    kDriverCheck,
    kChips,
    kFuses,
    kRead,
    kHelp
};
enum class Backend { kAuto, kSim, kDriverSim, kDriver, kPpdev, kDirect };

struct ProgramSteps {
    bool erase = false, writeFlash = false, writeEeprom = false, verify = false;
    bool writeFuse = false, lock = false, copyCal = false, checkId = false, autoSelect = false;
    bool Any() const {
        return erase || writeFlash || writeEeprom || verify || writeFuse || lock || copyCal ||
               checkId || autoSelect;
    }
};

struct Options {
    Command command = Command::kProgram;
    bool allChips = false;
    std::string chip;  // chip list name; empty: the default (or the settings file's)
    std::string flashFile;
    std::string eepromFile;
    std::string iniFile;
    ProgramSteps steps;
    std::optional<std::uint8_t> fuseLow, fuseHigh, fuseExtended;
    std::optional<std::uint8_t> lockByte;  // custom lock byte; absent: the chip's default
    std::optional<std::uint8_t> calSelect;
    std::optional<bool> calToEeprom;
    std::optional<std::uint32_t> calAddress;
    std::optional<std::uint32_t> speedDelay;  // SpeedSel 1 with this UserPortDly; absent: 0
    bool speedFastest = false;
    Backend backend = Backend::kAuto;
    std::string ppdevDevice;
    std::optional<std::uint16_t> portBase;  // a fourth port to search, after LPT1..LPT3
    // Simulated bench.
    std::string simChip;
    std::string simCable = "stk200";
    std::uint16_t simBase = 0x378;
    bool simNoPower = false;
    bool simNoTarget = false;
    unsigned simOutOfStep = 0;
    bool simNeverInStep = false;
    bool simLocked = false;
    std::optional<std::uint64_t> simPowerCut;
    int simCableCut = 0;            // connector pin whose wire is broken
    int simCableShort[2] = {0, 0};  // two connector pins that touch
    std::string simDump;
    std::string simLoad;
    // read: where the chip's memories go.
    std::string flashOut;
    std::string eepromOut;
    // --verify-scope: true for file (compare only the files' bytes), false for chip (the default).
    std::optional<bool> verifyFileOnly;
    bool noProgressBar = false;
    std::optional<Language> language;  // the log's; absent: the locale's
    bool watch = false;                // program again after each change of the flash file
    unsigned watchRuns = 0;  // with watch: end after this many runs after changes; 0: never
    bool force = false;      // write fuse values that end serial programming
    // The fuse calculator.
    std::optional<unsigned> clockPosition, startupPosition;
};

struct ParseResult {
    Options options;
    std::string error;  // non-empty: a usage error
};

// Both read one table of the options, so that --help lists exactly what the parser takes.
ParseResult ParseCommandLine(int argc, const char* const* argv);
const char* HelpText();

}  // namespace velkor::cli
