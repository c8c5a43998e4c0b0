#include "cli/cli_app.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/chip_listing.h"
#include "cli/cli_options.h"
#include "cli/log_printer.h"
#include "cli/sim_dump.h"
#include "devices/chip_table.h"
#include "driverclient/driver_check.h"
#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "files/settings.h"
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
};

// Fills the engine from the settings file (if any) and the command line, and loads the image
// files. False after a usage error, which it has reported.
bool ConfigureEngine(Options& o, Session& s, std::ostream& err) {
    IspProgrammer& engine = *s.engine;

    // ---- settings file: everything the command line does not say ----
    const bool fromIni = !o.iniFile.empty();
    if (fromIni) {
        const bool applied = ApplySettingsFile(engine, o.iniFile);
        s.printer->Flush();
        if (!applied) {
            err << "velkorisp-cli: cannot use settings file '" << o.iniFile << "'\n";
            return false;
        }
    }

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
                << path << "'\n";
            return false;
        }
        if (result > 0) {
            // Programming half a file is worse than not programming: refuse it.
            err << "velkorisp-cli: " << path << ": faulty record at line " << result << "\n";
            return false;
        }
        return true;
    };
    return load(true, o.flashFile) && load(false, o.eepromFile);
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
                    << ")\ncable: " << CableName(engine.portRequest.cableKind)
                    << "\npower: " << (engine.portRequest.result == kPortReady ? "ok" : "missing")
                    << "\n";
            }
            engine.ReleasePort();
            status = result == 0 ? kExitOk : kExitFailed;
            break;
        }
        case Command::kDriverCheck: {
            if (s.port->DeviceChannel() == nullptr) {
                err << "velkorisp-cli: driver-check needs --backend driver or driver-sim\n";
                return kExitUsage;
            }
            s.printer->Flush();
            bool passed = true;
            for (const DriverCheckResult& r : CheckDriverProtocol(*s.port->DeviceChannel())) {
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
    const char* chip =
        engine.targetFamily == kFamily89S5x ? engine.At89Record().name : engine.AvrRecord().name;
    char time[32];
    std::snprintf(time, sizeof time, "%.1f", seconds);
    err << "velkorisp-cli: " << (chip != nullptr ? chip : "no chip") << " on "
        << CableName(engine.portRequest.cableKind) << ": " << engine.bytesWritten
        << " bytes written, " << engine.bytesVerified << " verified, " << time
        << " s: " << (status == kExitOk ? "ok" : "failed") << "\n";
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           std::ostream* progress) {
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
    if (o.command == Command::kChips) {
        if (o.allChips) {
            PrintAllChipRows(out);
        } else {
            PrintChipNames(out);
        }
        return kExitOk;
    }
    Session s;
    s.printer = std::make_unique<LogPrinter>(*s.engine, out, o.noProgressBar ? nullptr : progress);
    s.engine->SetOwner(s.printer.get());
    if (!ConfigureEngine(o, s, err) || !BindPortPath(o, s, err)) return kExitUsage;
    if (!o.simDump.empty() && s.port->Bench() == nullptr) {
        err << "velkorisp-cli: --sim-dump needs the simulated bench (--backend sim)\n";
        return kExitUsage;
    }
    const auto started = std::chrono::steady_clock::now();
    const int status = RunCommand(o, s, out, err);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    s.printer->Flush();
    if (o.command == Command::kProgram || o.command == Command::kFuseRead ||
        o.command == Command::kFuseWrite) {
        PrintOutcome(*s.engine, took.count(), status, err);
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
