#include "cli/cli_app.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "cli/chip_listing.h"
#include "cli/cli_options.h"
#include "cli/fuse_calculator.h"
#include "cli/log_printer.h"
#include "cli/watch_loop.h"
#include "devices/chip_table.h"
#include "driverclient/driver_check.h"
#include "files/extra_settings.h"
#include "files/hex_writer.h"
#include "files/image_loader.h"
#include "files/safe_file.h"
#include "files/settings.h"
#include "files/utf8_path.h"
#include "hosting/port_path.h"
#include "hosting/sim_dump.h"
#include "station/station.h"

namespace velkor::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* CableName(std::uint8_t kind) {
    switch (kind) {
        case kCableStk200:
            return "STK200/STK300";
        case kCableXilinx:
            return "Xilinx download cable";
        case kCableLattice:
            return "Lattice download cable";
        case kCableByteBlaster:
            return "Altera ByteBlasterMV";
        case kCableUnnamed:
            return "unnamed cable (kind 7)";
        default:
            return "none";
    }
}

// Everything one invocation owns: the station, its printer and what the options chose.
struct Session {
    Session() : station(std::make_unique<Station>()) {}
    std::unique_ptr<Station> station;
    std::unique_ptr<LogPrinter> printer;
    RunRequest request;
};

// Reads the settings file into the station: everything the command line does not say.
bool ApplyIni(const Options& o, Session& s, SettingsLoadResult& ini, std::ostream& err) {
    const bool applied = s.station->ApplySettingsFile(o.iniFile, &ini);
    s.printer->Flush();
    if (!applied) {
        err << "velkorisp-cli: cannot use settings file '" << o.iniFile << "'\n";
        return false;
    }
    return true;
}

// The chip named with -p, of either family. False after a usage error.
bool SelectNamedChip(const Options& o, Station& station, std::ostream& err) {
    if (const int row = FindChipByName(kFamilyAvr, o.chip); row >= 0) {
        station.SetFamily(kFamilyAvr);
        // Choosing a chip loads its factory fuse values, as the window does.
        station.SelectChip(static_cast<std::uint32_t>(row), true);
        return true;
    }
    if (const int row89 = FindChipByName(kFamily89S5x, o.chip); row89 >= 0) {
        station.SetFamily(kFamily89S5x);
        station.SelectChip(static_cast<std::uint32_t>(row89), false);
        return true;
    }
    err << "velkorisp-cli: unknown chip '" << o.chip << "' (see 'velkorisp-cli chips')\n";
    return false;
}

// Options that make sense only for some chips, against the chip chosen: given where they do not
// apply, they would be dropped or corrected without a word. False after a usage error.
bool CheckChipOptions(const Options& o, const Station& station, std::ostream& err) {
    const ProgrammerSettings& chosen = station.Options();
    const char* name = chosen.SelectedChipName();
    const std::string chip = name != nullptr ? name : "(no chip)";
    if (o.steps.autoSelect && chosen.targetFamily == kFamily89S5x) {
        err << "velkorisp-cli: --auto-select (-A) finds AVR chips by their signature; " << chip
            << " (89S5x family) is chosen by name only\n";
        return false;
    }
    if (o.calAddress && chosen.targetFamily == kFamilyAvr && chosen.ChipIndexValid()) {
        const bool toEeprom = o.calToEeprom.value_or(chosen.calibrationSaveLocation != 0);
        const ChipRecord& record = chosen.AvrRecord();
        const std::uint32_t size = toEeprom ? record.eepromSize : record.flashSize;
        if (size > 0 && *o.calAddress >= size) {
            err << "velkorisp-cli: --cal-address " << *o.calAddress << " is beyond " << chip
                << "'s " << (toEeprom ? "EEPROM" : "flash") << " (" << size << " bytes)\n";
            return false;
        }
    }
    return true;
}

// The byte and speed options, over whatever the settings file said.
void ApplyValueOptions(const Options& o, Station& station) {
    if (o.portBase) station.SetExtraPortBase(*o.portBase);
    StationFuses fuses = station.Fuses();
    if (o.fuseLow) fuses.low = *o.fuseLow;
    if (o.fuseHigh) fuses.high = *o.fuseHigh;
    if (o.fuseExtended) fuses.extended = *o.fuseExtended;
    station.SetFuses(fuses);
    if (o.lockByte) station.SetLockByte(*o.lockByte);
    const ProgrammerSettings& now = station.Options();
    station.SetCalibration(o.calSelect.value_or(now.calibrationSelect),
                           o.calToEeprom.value_or(now.calibrationSaveLocation != 0),
                           o.calAddress.value_or(now.calibrationAddress));
    if (o.speedDelay) {
        station.SetSpeed(true, *o.speedDelay);
    } else if (o.speedFastest) {
        station.SetSpeed(false, 0);
    }
}

// The program command's steps: the options', else the settings file's, else the default
// erase, write and verify. False after a usage error.
bool ChooseSteps(Options& o, Session& s, bool chipGiven, std::ostream& err) {
    const bool fromIni = !o.iniFile.empty();
    // With a settings file and no steps on the command line, its steps stand.
    const bool stepsFromIni = fromIni && !o.steps.Any();
    if (!o.steps.Any() && !fromIni) {
        o.steps.erase = o.steps.writeFlash = o.steps.verify = true;
        o.steps.writeEeprom = !o.eepromFile.empty();
    }
    if (!chipGiven && !fromIni && !o.steps.autoSelect) {
        // Without a named chip the signature decides which chip is on the cable.
        o.steps.autoSelect = true;
    }
    if (o.steps.writeFlash && o.flashFile.empty() && !fromIni) {
        err << "velkorisp-cli: writing flash needs a flash file (-f FILE)\n";
        return false;
    }
    if (o.steps.writeEeprom && o.eepromFile.empty() && !fromIni) {
        err << "velkorisp-cli: writing EEPROM needs an EEPROM file (-e FILE)\n";
        return false;
    }
    ProgramCommandSet& c = s.request.steps;
    if (stepsFromIni) {
        o.steps.autoSelect = c.autoSelchip != 0;
        return true;
    }
    c.erase = o.steps.erase;
    c.writeFlash = o.steps.writeFlash;
    c.writeEeprom = o.steps.writeEeprom;
    c.verify = o.steps.verify;
    c.writeFuse = o.steps.writeFuse;
    c.lock = o.steps.lock;
    c.copyCal = o.steps.copyCal;
    c.checkId = o.steps.checkId;
    c.autoSelchip = o.steps.autoSelect;
    return true;
}

// What the one-off commands need from the command line before anything runs. False after a
// usage error.
bool CheckCommandNeeds(const Options& o, Session& s, bool chipNamed, std::ostream& err) {
    if (o.command == Command::kFuseWrite && !chipNamed) {
        err << "velkorisp-cli: fuse-write needs the chip (-p NAME); its changeable bits decide "
               "what is written\n";
        return false;
    }
    if (o.command == Command::kCalRead && !chipNamed) {
        err << "velkorisp-cli: cal-read needs the chip (-p NAME); it says how many calibration "
               "bytes there are\n";
        return false;
    }
    if (o.command != Command::kRead) return true;
    if (!chipNamed) {
        err << "velkorisp-cli: read needs the chip (-p NAME); its sizes decide what is read\n";
        return false;
    }
    if (o.flashOut.empty() && o.eepromOut.empty()) {
        err << "velkorisp-cli: read needs --flash-out FILE, --eeprom-out FILE or both\n";
        return false;
    }
    // A read whose file cannot be written is refused before the port is touched.
    for (const std::string& path : {o.flashOut, o.eepromOut}) {
        if (path.empty()) continue;
        std::error_code ec;
        const std::filesystem::path parent = PathFromUtf8(path).parent_path();
        if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
            err << "velkorisp-cli: no folder for '" << path << "'\n";
            return false;
        }
        std::string target;
        if (const std::string refused = ReplaceableTarget(path, target); !refused.empty()) {
            err << "velkorisp-cli: " << refused << "\n";
            return false;
        }
    }
    // The second file would replace the first: the flash read would be lost without a word.
    if (!o.flashOut.empty() && !o.eepromOut.empty() &&
        SameReplaceableTarget(o.flashOut, o.eepromOut)) {
        err << "velkorisp-cli: --flash-out and --eeprom-out name the same file '" << o.eepromOut
            << "'\n";
        return false;
    }
    s.request.readFlash = !o.flashOut.empty();
    s.request.readEeprom = !o.eepromOut.empty();
    return true;
}

// Loads the image files the options name. False after an error, which it has reported.
bool LoadImages(const Options& o, Session& s, std::ostream& err) {
    auto load = [&](bool flash, const std::string& path) {
        if (path.empty()) return true;
        const int result = flash ? s.station->LoadFlash(path) : s.station->LoadEeprom(path);
        s.printer->Flush();
        if (result == kHexLoadOpenFailed) {
            err << "velkorisp-cli: cannot read " << (flash ? "flash" : "EEPROM") << " file '"
                << path << "' (see the line above)\n";
            return false;
        }
        if (result > 0) {
            // Programming half a file is worse than not programming: refuse it.
            err << "velkorisp-cli: " << path << ": faulty record at line " << result << "\n";
            return false;
        }
        if (result == kHexLoadNoData) {
            err << "velkorisp-cli: " << path << ": no data record (not a HEX or S-record file)\n";
            return false;
        }
        return true;
    };
    if (!load(true, o.flashFile) || !load(false, o.eepromFile)) return false;
    // A line that is no record may be a record mangled (a blank before it, a lower-case 's'):
    // programming the file without it would lose its data without a word. The window only says
    // it; here, where nobody may read the log, the file is refused.
    for (const HexFile* file : {&s.station->FlashFile(), &s.station->EepromFile()}) {
        if (!file->IsOpen() || file->Extent().otherLines == 0) continue;
        err << "velkorisp-cli: " << file->Path() << ": " << file->Extent().otherLines
            << " line(s) that are not records, the first at line " << file->Extent().firstOtherLine
            << "; refusing the file\n";
        return false;
    }
    return true;
}

RunKind RunKindOf(Command command) {
    switch (command) {
        case Command::kFuseRead:
            return RunKind::kFuseRead;
        case Command::kFuseWrite:
            return RunKind::kFuseWrite;
        case Command::kCalRead:
            return RunKind::kCalibrationRead;
        case Command::kReset:
            return RunKind::kResetMcu;
        case Command::kRead:
            return RunKind::kReadChip;
        case Command::kDetect:
            return RunKind::kDetect;
        case Command::kCableTest:
            return RunKind::kCableTest;
        case Command::kDriverCheck:
            return RunKind::kDetect;  // no run of the station's: the device's own requests
        default:
            return RunKind::kProgram;
    }
}

// Fills the station from the settings file (if any) and the command line, loads the image
// files and builds the run's request. False after a usage error, which it has reported.
bool Configure(Options& o, Session& s, std::ostream& err) {
    Station& station = *s.station;
    const bool fromIni = !o.iniFile.empty();
    SettingsLoadResult ini;
    if (fromIni && !ApplyIni(o, s, ini, err)) return false;
    const bool chipGiven = !o.chip.empty();
    if (chipGiven && !SelectNamedChip(o, station, err)) return false;
    if (!CheckChipOptions(o, station, err)) return false;
    ApplyValueOptions(o, station);
    s.request = station.Request(RunKindOf(o.command));
    // Which fuse bytes the user actually chose: a settings file's keys count only while its
    // chip stands (naming a chip loads that chip's factory values over them).
    const bool givenOnLine[3] = {o.fuseLow.has_value(), o.fuseHigh.has_value(),
                                 o.fuseExtended.has_value()};
    for (int k = 0; k < 3; ++k) {
        s.request.fuseChosen[k] = givenOnLine[k] || (fromIni && !chipGiven && ini.fuseKeys[k]);
    }
    s.request.fuseHazardConfirmed = o.force;
    if (o.command == Command::kProgram && !ChooseSteps(o, s, chipGiven, err)) return false;
    s.request.chipNamed = chipGiven || fromIni;
    if (!CheckCommandNeeds(o, s, s.request.chipNamed, err)) return false;
    if (o.verifyFileOnly) {
        s.request.verifyFileOnly = *o.verifyFileOnly;
    } else if (fromIni) {
        s.request.verifyFileOnly = station.Desktop().extra.verifyScope == VerifyScope::kFile;
    }
    if (!LoadImages(o, s, err)) return false;
    // An ELF flash file's fuse bytes count as chosen; bytes given on the line stay as given.
    const std::size_t fileFuses = station.FlashFileFuses().size();
    for (std::size_t k = 0; k < 3 && k < fileFuses; ++k) s.request.fuseChosen[k] = true;
    if (fileFuses != 0) ApplyValueOptions(o, station);
    return true;
}

// The station's rules: a refused run logs its lines, prints its reasons and touches no port.
bool CheckBeforeRun(Session& s, std::ostream& err) {
    const std::vector<Refusal> refusals = s.station->Check(s.request);
    for (const Refusal& refusal : refusals) {
        for (const LogLine& line : refusal.lines) s.station->Log(line);
    }
    s.printer->Flush();
    for (const Refusal& refusal : refusals) {
        std::size_t begin = 0;
        while (begin < refusal.error.size()) {
            std::size_t end = refusal.error.find('\n', begin);
            if (end == std::string::npos) end = refusal.error.size();
            err << "velkorisp-cli: " << refusal.error.substr(begin, end - begin) << "\n";
            begin = end + 1;
        }
    }
    return refusals.empty();
}

PortPathKind PathKindOf(Backend backend) {
    switch (backend) {
        case Backend::kSim:
            return PortPathKind::kSim;
        case Backend::kDriverSim:
            return PortPathKind::kDriverSim;
        case Backend::kDriver:
            return PortPathKind::kDriver;
        case Backend::kPpdev:
            return PortPathKind::kPpdev;
        case Backend::kDirect:
            return PortPathKind::kDirect;
        case Backend::kAuto:
            break;
    }
    return PortPathKind::kAuto;
}

// Binds the station to the port path the options choose. False after a usage error.
bool BindPortPath(const Options& o, Session& s, std::ostream& err) {
    PortPathOptions path;
    path.kind = PathKindOf(o.backend);
    path.ppdevDevice = o.ppdevDevice;
    SimBenchOptions& bench = path.bench;
    bench.chip = o.simNoTarget        ? ""
                 : !o.simChip.empty() ? o.simChip
                 : !o.chip.empty()    ? o.chip
                                      : "mega8";
    bench.cable = o.simCable;
    bench.base = o.simBase;
    bench.targetPower = !o.simNoPower;
    bench.faults.outOfStepBits = o.simOutOfStep;
    bench.faults.neverInStep = o.simNeverInStep;
    bench.faults.locked = o.simLocked;
    bench.cableFaults.cutPin = o.simCableCut;
    bench.cableFaults.shortPins[0] = o.simCableShort[0];
    bench.cableFaults.shortPins[1] = o.simCableShort[1];
    path.simPowerCut = o.simPowerCut;
    std::string problem;
    if (!s.station->BindPort(path, &problem)) {
        err << "velkorisp-cli: " << problem << "\n";
        return false;
    }
    const PortPath& port = *s.station->Port();
    if (!port.ChoiceNote().empty()) err << "velkorisp-cli: " << port.ChoiceNote() << "\n";
    return true;
}

// Writes the memories a read brought back into the files the options name.
int SaveReadBack(const Options& o, const RunReport& report, std::ostream& err) {
    int status = kExitOk;
    for (const auto& [path, bytes] :
         {std::pair{&o.flashOut, &report.readFlash}, std::pair{&o.eepromOut, &report.readEeprom}}) {
        if (path->empty()) continue;
        if (bytes->empty()) {  // the chip has no such memory
            err << "velkorisp-cli: " << *path << " not written: the chip has no EEPROM\n";
            status = kExitFailed;
        } else if (const std::string problem = SaveIntelHexFile(*path, *bytes); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            status = kExitFailed;
        } else {
            err << "velkorisp-cli: " << bytes->size() << " bytes read into " << *path << "\n";
        }
    }
    return status;
}

void PrintDetected(const RunReport& report, std::ostream& out) {
    const PortRequest& port = report.port;
    if (port.result != kPortReady && port.result != kPortNoPower) return;
    out << "port: LPT" << port.lptIndex + 1 << " (0x" << std::hex << std::uppercase << port.portBase
        << std::dec << ")\ncable: " << CableName(port.cableKind) << "\npower: "
        << (port.cableKind == kCableByteBlaster ? "not sensed (this cable has no supply sense line)"
            : port.result == kPortReady         ? "ok"
                                                : "missing")
        << "\n";
}

int CheckDriver(Session& s, std::ostream& out, std::ostream& err) {
    DriverChannel* channel = s.station->Port()->DeviceChannel();
    if (channel == nullptr) {
        err << "velkorisp-cli: driver-check needs --backend driver or driver-sim\n";
        return kExitUsage;
    }
    s.printer->Flush();
    bool passed = true;
    for (const DriverCheckResult& r :
         CheckDriverProtocol(*channel, 0x378, s.station->ExtraPortBase())) {
        out << r.code << ": " << (r.passed ? "ok" : "FAILED") << " (" << r.detail << ")\n";
        passed = passed && r.passed;
    }
    return passed ? kExitOk : kExitFailed;
}

// Runs the command through the station and gives the exit status.
int RunCommand(const Options& o, Session& s, RunReport& report, std::ostream& out,
               std::ostream& err) {
    if (o.command == Command::kDriverCheck) return CheckDriver(s, out, err);
    report = s.station->Run(s.request);
    s.printer->Flush();
    if (report.result == RunResult::kRefused) return kExitUsage;
    int status = report.Ok() ? kExitOk : kExitFailed;
    switch (o.command) {
        case Command::kRead:
            if (status == kExitOk) status = SaveReadBack(o, report, err);
            break;
        case Command::kDetect:
            PrintDetected(report, out);
            break;
        case Command::kCableTest:
            for (const std::string& line : report.cableTestLines) out << line << "\n";
            break;
        default:
            break;
    }
    return status;
}

// One English line for scripts and for the user who does not read the log: which chip on
// which cable, how much was written and read back equal, how long it took, and the outcome.
void PrintOutcome(const RunReport& report, double seconds, int status, std::ostream& err) {
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", seconds);
    err << "velkorisp-cli: " << (!report.chipName.empty() ? report.chipName : "no chip") << " on "
        << CableName(report.cableKind) << ": " << report.bytesWritten << " bytes written, "
        << report.bytesVerified << " verified, " << time
        << " s: " << (status == kExitOk ? "ok" : "failed") << "\n";
}

// The simulated bench's own options, checked and applied once the path is bound.
bool PrepareBench(const Options& o, Session& s, std::ostream& err) {
    SimBench* bench = s.station->Port()->Bench();
    if (!o.simDump.empty()) {
        if (bench == nullptr) {
            err << "velkorisp-cli: --sim-dump needs the simulated bench (--backend sim)\n";
            return false;
        }
        if (const std::string problem = CheckSimDumpDir(o.simDump); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return false;
        }
    }
    if (!o.simLoad.empty()) {
        if (bench == nullptr) {
            err << "velkorisp-cli: --sim-load needs the simulated bench (--backend sim)\n";
            return false;
        }
        if (const std::string problem = LoadSimChip(*bench, o.simLoad); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return false;
        }
    }
    return true;
}

// --watch: each change of the flash file that is judged whole reloads both images and runs
// again, through the same rules as the first run.
int WatchAndRun(const Options& o, Session& s, WatchLoop& loop, int status,
                const std::function<int()>& runOnce, std::ostream& err) {
    return loop.Run(
        o.watchRuns,
        [&](std::string_view flashText) {
            Station& station = *s.station;
            station.LoadFlashText(station.FlashFile().Path(), flashText);
            const int eeprom = station.LoadEeprom(station.EepromFile().Path());
            s.printer->Flush();
            if (eeprom != 0 && eeprom != kHexLoadNoPath) {
                err << "velkorisp-cli: cannot use EEPROM file '" << station.EepromFile().Path()
                    << "'; not programmed\n";
                return kExitUsage;
            }
            return runOnce();
        },
        status);
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           std::ostream* progress, Language defaultLanguage) {
    const ParseResult parsed = ParseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        err << "velkorisp-cli: " << parsed.error << "\nTry 'velkorisp-cli --help'.\n";
        return kExitUsage;
    }
    Options o = parsed.options;
    if (o.command == Command::kHelp) {
        out << HelpText();
        return kExitOk;
    }
    if (o.command == Command::kFuses) return RunFuseCalculator(o, out, err);
    if (o.command == Command::kChips) {
        if (o.allChips) {
            PrintAllChipRows(out);
        } else {
            PrintChipNames(out);
        }
        return kExitOk;
    }
    Session s;
    s.station->SetLanguage(o.language.value_or(defaultLanguage));
    s.printer = std::make_unique<LogPrinter>(*s.station, out, o.noProgressBar ? nullptr : progress);
    s.station->SetObserver(s.printer.get());
    if (!Configure(o, s, err) || !CheckBeforeRun(s, err) || !BindPortPath(o, s, err) ||
        !PrepareBench(o, s, err)) {
        return kExitUsage;
    }
    if (o.watch && (o.command != Command::kProgram || s.station->FlashFile().Path().empty())) {
        err << "velkorisp-cli: --watch needs the program command and a flash file\n";
        return kExitUsage;
    }
    // Ctrl+C and SIGTERM from here on: a run they interrupt ends its page, releases the cable
    // and writes its last lines, and the simulated chip is still dumped. A one-shot run stops
    // at the first; --watch ends after the run going at the first and stops that run at the
    // second.
    auto stopSignal = std::make_unique<StopSignal>();
    stopSignal->OnAbort(o.watch ? 2 : 1, [station = s.station.get()] { station->RequestStop(); });
    // --watch: the file is watched from before the first run, so that a change during it is
    // not missed.
    std::unique_ptr<WatchLoop> watchLoop;
    if (o.watch) {
        watchLoop = std::make_unique<WatchLoop>(s.station->FlashFile().Path(), *stopSignal, err,
                                                [&s](const LogLine& line) {
                                                    s.station->Log(line);
                                                    s.printer->Flush();
                                                });
        if (!watchLoop->Watching()) return kExitUsage;
    }
    auto runOnce = [&] {
        const auto started = std::chrono::steady_clock::now();
        RunReport report;
        const int result = RunCommand(o, s, report, out, err);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        s.printer->Flush();
        if (report.result != RunResult::kRefused &&
            (o.command == Command::kProgram || o.command == Command::kFuseRead ||
             o.command == Command::kFuseWrite)) {
            PrintOutcome(report, took.count(), result, err);
        }
        return result;
    };
    int status = runOnce();
    if (watchLoop) {
        status = WatchAndRun(o, s, *watchLoop, status, runOnce, err);
        watchLoop.reset();
    }
    const PortPath& port = *s.station->Port();
    if (port.Kind() == PortPathKind::kDriverSim) {
        const sim::AccessCounters& c = port.Bench()->Machine().Counters();
        out << "driver device calls: " << c.deviceCalls << " (port reads " << c.portReads
            << ", port writes " << c.portWrites << ")\n";
    }
    if (!o.simDump.empty()) {
        if (const std::string problem = DumpSimChip(*port.Bench(), o.simDump); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return kExitUsage;
        }
    }
    if (stopSignal->Aborted()) {
        // As a shell reports a process ended by the signal: 128 + its number.
        const int signal = stopSignal->FirstSignal();
        err << "velkorisp-cli: stopped by " << (signal == SIGINT ? "SIGINT" : "SIGTERM") << "\n";
        return 128 + signal;
    }
    return status;
}

}  // namespace velkor::cli
