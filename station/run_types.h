// The typed vocabulary of a run: what a front end asks for (RunRequest), why the station may
// refuse it (Refusal), what it did (RunReport), and how it reports while it goes (RunObserver).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/isp_programmer.h"
#include "messages/log_messages.h"

namespace velkor {

// The runs a front end can start; each is one engine command on the port.
enum class RunKind {
    kProgram,          // the steps of `steps`, in the sequence's order
    kFuseRead,         // signature and fuse bytes; the chip is chosen by its signature
    kFuseWrite,        // the selected chip's changeable fuse bits
    kCalibrationRead,  // the oscillator calibration bytes
    kResetMcu,         // a reset pulse, then the target runs
    kReadChip,         // flash and/or EEPROM read back (readFlash / readEeprom)
    kCableTest,        // the cable's lines, one by one
    kDetect,           // the port and cable search alone
};

// A run as a front end asks for it. The chip, the fuse, lock and calibration bytes, the speed
// and the images are the station's current ones (Station::Request fills them in); the front
// end says what to do and what the user has confirmed.
struct RunRequest {
    RunKind kind = RunKind::kProgram;
    // kProgram: the steps (erase, write flash, ...). Ignored by the other kinds.
    ProgramCommandSet steps;
    // kReadChip: which memories.
    bool readFlash = false;
    bool readEeprom = false;
    // A flash and EEPROM verify compares only the bytes the files gave.
    bool verifyFileOnly = false;
    // The user accepted fuse bytes that end serial programming (the window's question, or the
    // command line's --force).
    bool fuseHazardConfirmed = false;
    // Which fuse bytes the user chose; a byte the chip has but nobody chose is refused rather
    // than written as whatever it happens to hold. The window always shows and so chooses all.
    bool fuseChosen[3] = {true, true, true};
    // The chip was named (by the user or the settings); false: the signature names it during
    // the run, so its sizes are not known before.
    bool chipNamed = true;
    // An automatic run after the flash file changed: the file must have been seen whole.
    bool automatic = false;
    bool flashFileWhole = true;  // for `automatic`: the end record was there
};

// Why a run may not start. Each refusal has the lines a window logs and the command line's own
// English line for it.
enum class RefusalKind {
    kNoChip,
    kStepNotInFamily,
    kImageNotLoaded,
    kImageIncomplete,
    kNoEndRecord,
    kBeyondChip,
    kFuseByteNotChosen,
    kFuseAutoSelected,
    kFuseHazard,
    kNothingToDo,
};

struct Refusal {
    RefusalKind kind;
    std::vector<LogLine> lines;  // logged by every front end, in order
    std::string error;           // the command line's line(s) after "velkorisp-cli: "
    // The window's closing line, saying that nothing was done (the command line says it
    // with `error` and its exit status instead).
    LogLine windowLine;
};

// How a run ended.
enum class RunResult {
    kDone,
    kRefused,            // a rule refused it; nothing touched the port
    kBusy,               // another run was going
    kFlashFailed,        // a write or verify failed
    kPortNotReady,       // no port, no cable or no power
    kNoConnection,       // the chip did not answer
    kSignatureMismatch,  // another chip than the selected one
    kInvalidChip,        // the chip index is no row of the family's table
    kDriverCallsFailed,  // the steps ran but device calls failed
    kNothingToVerify,
    kConfigWriteFailed,  // a fuse or lock byte did not read back as written
    kEepromFailed,       // the EEPROM step failed (the rest ran)
    kChipUnknown,        // chosen by signature, but the signature is no known chip
    kTargetLost,         // a read lost its target's supply or answers; nothing read is kept
};

// What a run did, for the front end that asked.
struct RunReport {
    RunKind kind = RunKind::kProgram;
    RunResult result = RunResult::kRefused;
    std::uint32_t bytesWritten = 0;
    std::uint32_t bytesVerified = 0;
    std::uint32_t failedDeviceCalls = 0;
    std::uint32_t family = kFamilyAvr;
    std::uint32_t chipIndex = 0;
    std::string chipName;  // the chip the run ended with; empty: none
    std::uint8_t cableKind = 0;
    PortRequest port;                      // the port search's outcome
    std::vector<std::uint8_t> readFlash;   // kReadChip: the whole flash, or empty
    std::vector<std::uint8_t> readEeprom;  // kReadChip: the whole EEPROM, or empty
    bool openCalibrationDialog = false;    // kCalibrationRead: bytes to show
    std::vector<std::string>
        cableTestLines;                 // the report in English, as the command line prints it
    std::vector<LogLine> cableTestLog;  // the same report for a log in either language
    bool cableTestPassed = false;
    bool Ok() const { return result == RunResult::kDone; }
};

// Receives a run's reports. OnLog and OnProgress come on the run's thread (the worker's, for
// Station::Start) in the order made; OnRunEnded comes on the worker after the last of them.
class RunObserver : public EngineReports {
  public:
    // OnLog: new log text exists (Station::LogSince gives it). OnProgress: the bar moved.
    // A run started with Station::Start has ended; the report is also Station::LastReport.
    virtual void OnRunEnded() = 0;
};

}  // namespace velkor
