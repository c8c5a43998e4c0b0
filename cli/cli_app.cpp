#include "cli/cli_app.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/chip_listing.h"
#include "cli/cli_options.h"
#include "cli/fuse_calculator.h"
#include "cli/log_printer.h"
#include "cli/sim_dump.h"
#include "cli/watch_loop.h"
#include "devices/chip_table.h"
#include "devices/fuse_safety.h"
#include "driverclient/driver_check.h"
#include "engine/cable_test.h"
#include "engine/isp_programmer.h"
#include "files/extra_settings.h"
#include "files/hex_writer.h"
#include "files/image_fit.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "files/utf8_path.h"
#include "hosting/port_path.h"

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

// Everything one invocation owns: the engine, its printer and the port path in use.
struct Session {
    std::unique_ptr<IspProgrammer> engine = std::make_unique<IspProgrammer>();
    std::unique_ptr<LogPrinter> printer;
    std::unique_ptr<PortPath> port;
    HexFile flashFile;
    HexFile eepromFile;
    bool fuseChosen[3] = {false, false, false};  // by --fuses/--fuse-* or the settings file
    bool chipNamed = false;                      // by -p or the settings file
};

// Fills the engine from the settings file (if any) and the command line, and loads the image
// files. False after a usage error, which it has reported.
bool ConfigureEngine(Options& o, Session& s, std::ostream& err) {
    IspProgrammer& engine = *s.engine;

    // ---- settings file: everything the command line does not say ----
    const bool fromIni = !o.iniFile.empty();
    SettingsLoadResult ini;
    if (fromIni) {
        const bool applied = ApplySettingsFile(engine, o.iniFile, s.flashFile, s.eepromFile, &ini);
        s.printer->Flush();
        if (!applied) {
            err << "velkorisp-cli: cannot use settings file '" << o.iniFile << "'\n";
            return false;
        }
        // The speed option takes 0..65535; a stored delay outside it would be cut to its low 16
        // bits by the transfer, so a huge value could mean almost no delay at all.
        if (engine.speedSelection == 1 && !o.speedDelay && !o.speedFastest &&
            (ini.userPortDelay < 0 || ini.userPortDelay > 0xFFFF)) {
            const int clamped = ini.userPortDelay < 0 ? 0 : 0xFFFF;
            engine.Log({Msg::kSettingsBadUserPortDelay, {Num(ini.userPortDelay), Num(clamped)}});
            s.printer->Flush();
            engine.userPortDelay = static_cast<std::uint32_t>(clamped);
        }
    }

    if (o.portBase) engine.extraPortBase = *o.portBase;

    // ---- chip ----
    bool chipGiven = !o.chip.empty();
    if (chipGiven) {
        if (const int row = FindChipByName(kFamilyAvr, o.chip); row >= 0) {
            engine.targetFamily = kFamilyAvr;
            engine.chipIndex = static_cast<std::uint32_t>(row);
        } else if (const int row89 = FindChipByName(kFamily89S5x, o.chip); row89 >= 0) {
            engine.targetFamily = kFamily89S5x;
            engine.chipIndex = static_cast<std::uint32_t>(row89);
        } else {
            err << "velkorisp-cli: unknown chip '" << o.chip << "' (see 'velkorisp-cli chips')\n";
            return false;
        }
    }
    if (chipGiven && engine.targetFamily == kFamilyAvr && engine.chipIndex < kLockedChipRow) {
        // Choosing a chip loads its factory fuse values, as the window does.
        const ChipRecord& chip = ChipTable[engine.chipIndex];
        engine.fuseLow = chip.fuseDefault[0];
        engine.fuseHigh = chip.fuseDefault[1];
        engine.fuseExtended = chip.fuseDefault[2];
    }
    if (o.fuseLow) engine.fuseLow = *o.fuseLow;
    if (o.fuseHigh) engine.fuseHigh = *o.fuseHigh;
    if (o.fuseExtended) engine.fuseExtended = *o.fuseExtended;
    // Which fuse bytes the user actually chose: a settings file's keys count only while its
    // chip stands (naming a chip loads that chip's factory values over them).
    const bool givenOnLine[3] = {o.fuseLow.has_value(), o.fuseHigh.has_value(),
                                 o.fuseExtended.has_value()};
    for (int k = 0; k < 3; ++k) {
        s.fuseChosen[k] = givenOnLine[k] || (fromIni && !chipGiven && ini.fuseKeys[k]);
    }
    if (o.lockByte) {
        engine.lockSelect = 1;
        engine.customLockByte = *o.lockByte;
    }
    if (o.calSelect) engine.calibrationSelect = *o.calSelect;
    if (o.calToEeprom) engine.calibrationSaveLocation = *o.calToEeprom ? 1 : 0;
    if (o.calAddress) engine.calibrationAddress = *o.calAddress;
    if (o.speedDelay) {
        engine.speedSelection = 1;
        engine.userPortDelay = *o.speedDelay;
    } else if (o.speedFastest) {
        engine.speedSelection = 0;
    }

    // ---- program steps and files ----
    // With a settings file and no steps on the command line, its steps stand.
    const bool stepsFromIni = fromIni && !o.steps.Any();
    if (o.command == Command::kProgram) {
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
        if (stepsFromIni) {
            o.steps.autoSelect = engine.commands.autoSelchip != 0;
        }
    }
    if (o.command == Command::kProgram && !stepsFromIni) {
        ProgramCommandSet& c = engine.commands;
        c.erase = o.steps.erase;
        c.writeFlash = o.steps.writeFlash;
        c.writeEeprom = o.steps.writeEeprom;
        c.verify = o.steps.verify;
        c.writeFuse = o.steps.writeFuse;
        c.lock = o.steps.lock;
        c.copyCal = o.steps.copyCal;
        c.checkId = o.steps.checkId;
        c.autoSelchip = o.steps.autoSelect;
    }
    if (o.command == Command::kFuseWrite && !chipGiven && !fromIni) {
        err << "velkorisp-cli: fuse-write needs the chip (-p NAME); its changeable bits decide "
               "what is written\n";
        return false;
    }
    if (o.command == Command::kRead) {
        if (!chipGiven && !fromIni) {
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
        }
        engine.readBackFlash = !o.flashOut.empty();
        engine.readBackEeprom = !o.eepromOut.empty();
    }
    if (o.verifyFileOnly) {
        engine.verifyFileOnly = *o.verifyFileOnly;
    } else if (fromIni) {
        engine.verifyFileOnly = LoadExtraSettings(o.iniFile).verifyScope == VerifyScope::kFile;
    }
    if (o.command == Command::kCalRead && !chipGiven && !fromIni) {
        err << "velkorisp-cli: cal-read needs the chip (-p NAME); it says how many calibration "
               "bytes there are\n";
        return false;
    }
    auto load = [&](bool flash, const std::string& path) {
        if (path.empty()) return true;
        const int result = flash ? LoadFlashImage(engine, s.flashFile, path)
                                 : LoadEepromImage(engine, s.eepromFile, path);
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
    s.chipNamed = chipGiven || fromIni;
    return load(true, o.flashFile) && load(false, o.eepromFile);
}

// Everything that must be refused before the port is touched: steps the chip's family does not
// have, data the chip cannot take, fuse bytes nobody chose, and fuse values that would end
// serial programming. False after a refusal, which it has reported.
bool CheckBeforeRun(const Options& o, Session& s, std::ostream& err) {
    IspProgrammer& engine = *s.engine;
    const ProgramCommandSet& c = engine.commands;
    const bool program = o.command == Command::kProgram;
    const bool at89 = engine.targetFamily == kFamily89S5x;
    const char* name = engine.SelectedChipName();
    const std::string chipName = name != nullptr ? name : "(no chip)";

    if (at89) {
        // The one-off commands switch the engine to the AVR family and would use the AVR row
        // that happens to have this 89S5x chip's row number.
        const char* command = o.command == Command::kFuseRead    ? "fuse-read"
                              : o.command == Command::kFuseWrite ? "fuse-write"
                              : o.command == Command::kCalRead   ? "cal-read"
                                                                 : nullptr;
        if (command != nullptr) {
            err << "velkorisp-cli: " << command << " is for AVR chips; " << chipName
                << " (89S5x family) has no fuse or calibration bytes\n";
            return false;
        }
        if (o.command == Command::kRead && !o.eepromOut.empty()) {
            err << "velkorisp-cli: " << chipName << " (89S5x family) has no EEPROM to read\n";
            return false;
        }
        if (program) {
            const char* missing = c.writeEeprom ? "EEPROM (--write-eeprom)"
                                  : c.writeFuse ? "fuse bytes (--write-fuses)"
                                  : c.lock      ? "lock byte (--lock)"
                                  : c.copyCal   ? "calibration bytes (--copy-cal)"
                                                : nullptr;
            if (missing != nullptr) {
                err << "velkorisp-cli: " << chipName << " (89S5x family) has no " << missing
                    << " step\n";
                return false;
            }
        }
    }

    if (program && (c.writeFlash || c.writeEeprom || c.verify)) {
        // With the chip chosen by its signature during the run the sizes are not known yet.
        const bool chipKnown = !(c.autoSelchip && !s.chipNamed);
        if (chipKnown) {
            HexFile none;
            const std::vector<LogLine> lines =
                ImageFitMessages(engine, c.writeFlash || c.verify ? s.flashFile : none,
                                 c.writeEeprom ? s.eepromFile : none);
            if (!lines.empty()) {
                for (const LogLine& line : lines) engine.Log(line);
                s.printer->Flush();
                err << "velkorisp-cli: the image holds data beyond " << chipName
                    << "'s memory (see the line above); refusing the run\n";
                return false;
            }
        }
    }

    const bool writesFuses = o.command == Command::kFuseWrite || (program && c.writeFuse);
    if (writesFuses) {
        if (program && c.autoSelchip) {
            err << "velkorisp-cli: --write-fuses needs the chip named (-p NAME), not chosen by "
                   "its signature: the bytes are judged by that chip's fuse layout\n";
            return false;
        }
        const ChipRecord& chip = engine.AvrRecord();
        static const char* const kOptionNames[3] = {"--fuse-low", "--fuse-high", "--fuse-ext"};
        for (int k = 0; k < 3; ++k) {
            if (chip.fuseMask[k] != 0 && !s.fuseChosen[k]) {
                err << "velkorisp-cli: writing fuses to " << chip.name << " needs the "
                    << (k == 0   ? "low"
                        : k == 1 ? "high"
                                 : "extended")
                    << " fuse byte: give --fuses or " << kOptionNames[k]
                    << ", or a settings file with DEVICE/FUSE" << k << "\n";
                return false;
            }
        }
        const FuseBytes bytes{engine.fuseLow, engine.fuseHigh, engine.fuseExtended};
        const std::vector<FuseHazard> hazards = FindFuseHazards(bytes, chip);
        if (!hazards.empty() && !o.force) {
            for (const FuseHazard& h : hazards) engine.Log(FuseHazardMessage(h));
            s.printer->Flush();
            for (const FuseHazard& h : hazards)
                err << "velkorisp-cli: " << FuseHazardLineEnglish(h) << "\n";
            err << "velkorisp-cli: refusing to write these fuse bytes to " << chip.name
                << "; give --force to write them anyway\n";
            return false;
        }
    }
    return true;
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

// Binds the engine to the port path the options choose. False after a usage error.
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
    s.port = PortPath::Bind(*s.engine, path, &problem);
    if (s.port == nullptr) {
        err << "velkorisp-cli: " << problem << "\n";
        return false;
    }
    if (!s.port->ChoiceNote().empty()) err << "velkorisp-cli: " << s.port->ChoiceNote() << "\n";
    return true;
}

// Runs the command and gives the exit status.
int RunCommand(const Options& o, Session& s, std::ostream& out, std::ostream& err) {
    IspProgrammer& engine = *s.engine;
    int status = kExitOk;
    switch (o.command) {
        case Command::kProgram: {
            const int result = engine.ProgramCommand();
            const bool identified = !o.steps.autoSelect || engine.AvrRecord().chipCode > 1;
            const bool eepromOk = engine.lastEepromResult <= 0;
            status = result == kSeqDone && eepromOk && identified ? kExitOk : kExitFailed;
            break;
        }
        case Command::kFuseRead: {
            const int result = engine.FuseReadCommand();
            status = result == kSeqDone && engine.AvrRecord().chipCode > 1 ? kExitOk : kExitFailed;
            break;
        }
        case Command::kRead: {
            status = engine.ReadChipCommand() == kSeqDone ? kExitOk : kExitFailed;
            s.printer->Flush();
            for (const auto& [path, bytes] : {std::pair{&o.flashOut, &engine.readFlash},
                                              std::pair{&o.eepromOut, &engine.readEeprom}}) {
                if (status != kExitOk || path->empty()) continue;
                if (bytes->empty()) {  // the chip has no such memory
                    err << "velkorisp-cli: " << *path << " not written: the chip has no EEPROM\n";
                    status = kExitFailed;
                } else if (const std::string problem = SaveIntelHexFile(*path, *bytes);
                           !problem.empty()) {
                    err << "velkorisp-cli: " << problem << "\n";
                    status = kExitFailed;
                } else {
                    err << "velkorisp-cli: " << bytes->size() << " bytes read into " << *path
                        << "\n";
                }
            }
            break;
        }
        case Command::kFuseWrite:
            status = engine.FuseWriteCommand() == kSeqDone ? kExitOk : kExitFailed;
            break;
        case Command::kCalRead: {
            bool dialog = false;
            const int result = engine.OscCalCommand(&dialog);
            status = result == kSeqDone ? kExitOk : kExitFailed;
            break;
        }
        case Command::kReset: {
            const int result = engine.ResetMcuCommand();
            status = result == 0 && engine.portRequest.result == kPortReady ? kExitOk : kExitFailed;
            break;
        }
        case Command::kDetect: {
            const int result = engine.OpenPort();
            if (engine.portRequest.result == kPortReady ||
                engine.portRequest.result == kPortNoPower) {
                out << "port: LPT" << engine.portRequest.lptIndex + 1 << " (0x" << std::hex
                    << std::uppercase << engine.portRequest.portBase << std::dec
                    << ")\ncable: " << CableName(engine.portRequest.cableKind) << "\npower: "
                    << (engine.portRequest.cableKind == kCableByteBlaster
                            ? "not sensed (this cable has no supply sense line)"
                        : engine.portRequest.result == kPortReady ? "ok"
                                                                  : "missing")
                    << "\n";
            }
            engine.ReleasePort();
            status = result == 0 ? kExitOk : kExitFailed;
            break;
        }
        case Command::kCableTest: {
            if (engine.useDriver == 0 && engine.Backend().Direct() != nullptr) {
                engine.Log(engine.Backend().Direct()->AccessProblem());
            }
            s.printer->Flush();
            const CableTestResult result = RunCableTest(engine);
            for (const std::string& line : result.Lines()) out << line << "\n";
            status = result.Passed() ? kExitOk : kExitFailed;
            break;
        }
        case Command::kDriverCheck: {
            if (s.port->DeviceChannel() == nullptr) {
                err << "velkorisp-cli: driver-check needs --backend driver or driver-sim\n";
                return kExitUsage;
            }
            s.printer->Flush();
            bool passed = true;
            for (const DriverCheckResult& r :
                 CheckDriverProtocol(*s.port->DeviceChannel(), 0x378, engine.extraPortBase)) {
                out << r.code << ": " << (r.passed ? "ok" : "FAILED") << " (" << r.detail << ")\n";
                passed = passed && r.passed;
            }
            status = passed ? kExitOk : kExitFailed;
            break;
        }
        default:
            break;
    }
    return status;
}

// One English line for scripts and for the user who does not read the log: which chip on
// which cable, how much was written and read back equal, how long it took, and the outcome.
void PrintOutcome(const IspProgrammer& engine, double seconds, int status, std::ostream& err) {
    const char* chip = engine.SelectedChipName();
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", seconds);
    err << "velkorisp-cli: " << (chip != nullptr ? chip : "no chip") << " on "
        << CableName(engine.portRequest.cableKind) << ": " << engine.bytesWritten
        << " bytes written, " << engine.bytesVerified << " verified, " << time
        << " s: " << (status == kExitOk ? "ok" : "failed") << "\n";
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
    s.engine->SetLogLanguage(o.language.value_or(defaultLanguage));
    s.printer = std::make_unique<LogPrinter>(*s.engine, out, o.noProgressBar ? nullptr : progress);
    s.engine->SetOwner(s.printer.get());
    if (!ConfigureEngine(o, s, err) || !CheckBeforeRun(o, s, err) || !BindPortPath(o, s, err))
        return kExitUsage;
    if (!o.simDump.empty()) {
        if (s.port->Bench() == nullptr) {
            err << "velkorisp-cli: --sim-dump needs the simulated bench (--backend sim)\n";
            return kExitUsage;
        }
        if (const std::string problem = CheckSimDumpDir(o.simDump); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return kExitUsage;
        }
    }
    if (!o.simLoad.empty()) {
        if (s.port->Bench() == nullptr) {
            err << "velkorisp-cli: --sim-load needs the simulated bench (--backend sim)\n";
            return kExitUsage;
        }
        if (const std::string problem = LoadSimChip(*s.port->Bench(), o.simLoad);
            !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return kExitUsage;
        }
    }
    // --watch: Ctrl+C and SIGTERM become a request taken between runs, and the file is watched
    // from before the first run, so that a change during it is not missed.
    std::unique_ptr<StopSignal> stopSignal;
    std::unique_ptr<WatchLoop> watchLoop;
    if (o.watch) {
        if (o.command != Command::kProgram || s.flashFile.Path().empty()) {
            err << "velkorisp-cli: --watch needs the program command and a flash file\n";
            return kExitUsage;
        }
        stopSignal = std::make_unique<StopSignal>();
        watchLoop = std::make_unique<WatchLoop>(s.flashFile.Path(), *stopSignal, err);
        if (!watchLoop->Watching()) return kExitUsage;
    }
    auto runOnce = [&] {
        const auto started = std::chrono::steady_clock::now();
        const int result = RunCommand(o, s, out, err);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        s.printer->Flush();
        if (o.command == Command::kProgram || o.command == Command::kFuseRead ||
            o.command == Command::kFuseWrite) {
            PrintOutcome(*s.engine, took.count(), result, err);
        }
        return result;
    };
    int status = runOnce();
    if (watchLoop) {
        status = watchLoop->Run(
            o.watchRuns,
            [&](std::string_view flashText) {
                LoadHexText(*s.engine, s.flashFile, s.flashFile.Path(), flashText, true);
                const int eeprom = LoadEepromImage(*s.engine, s.eepromFile, s.eepromFile.Path());
                s.printer->Flush();
                if (eeprom != 0 && eeprom != kHexLoadNoPath) {
                    err << "velkorisp-cli: cannot use EEPROM file '" << s.eepromFile.Path()
                        << "'; not programmed\n";
                    return kExitUsage;
                }
                return runOnce();
            },
            status);
        watchLoop.reset();
        stopSignal.reset();
    }
    if (s.port->Kind() == PortPathKind::kDriverSim) {
        const sim::AccessCounters& c = s.port->Bench()->Machine().Counters();
        out << "driver device calls: " << c.deviceCalls << " (port reads " << c.portReads
            << ", port writes " << c.portWrites << ")\n";
    }

    if (!o.simDump.empty()) {
        if (const std::string problem = DumpSimChip(*s.port->Bench(), o.simDump);
            !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return kExitUsage;
        }
    }
    return status;
}

}  // namespace velkor::cli
