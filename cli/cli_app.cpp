#include "cli/cli_app.h"

#include <filesystem>
#include <memory>
#include <string>

#include "cli/chip_listing.h"
#include "cli/cli_options.h"
#include "cli/log_printer.h"
#include "cli/sim_dump.h"
#include "devices/chip_table.h"
#include "driverclient/channel_driver_access.h"
#include "driverclient/driver_binding.h"
#include "driverclient/driver_check.h"
#include "driverclient/in_process_channel.h"
#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "files/utf8_path.h"
#ifdef _WIN32
#include "driverclient/win32_device_channel.h"
#include "driverclient/win32_service_manager.h"
#include "hosting/win32_clock.h"
#include "hosting/win32_platform.h"
#else
#include "hosting/linux_direct_port.h"
#include "hosting/linux_ppdev_port.h"
#endif
#include "hosting/sim_bench.h"
#include "hosting/steady_clock.h"

namespace velkor::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

#ifdef _WIN32
using HostClock = Win32Clock;
#else
using HostClock = SteadyClock;
#endif

#ifdef _WIN32
// On Windows the driver is the way to the ports, when it ships beside the program.
bool DriverFileBesideProgram() {
    std::error_code ec;
    return std::filesystem::exists(
        PathFromUtf8(ProgramDirectory(CurrentExecutablePath()) + "Tarnel.sys"), ec);
}
#else
bool AnyParportNode() {
    std::error_code ec;
    for (int n = 0; n < 8; ++n) {
        if (std::filesystem::exists("/dev/parport" + std::to_string(n), ec)) return true;
    }
    return false;
}
#endif

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
    std::unique_ptr<SimBench> bench;
    std::unique_ptr<PortIo> io;
#ifdef _WIN32
    // Declared before the driver access that uses the binding, so that it goes away after it:
    // the device is closed and the service stopped and deleted when the session ends.
    std::unique_ptr<Win32ServiceManager> scm;
    std::unique_ptr<Win32DeviceOpener> opener;
    std::unique_ptr<DriverBinding> binding;
#endif
    std::unique_ptr<InProcessChannel> channel;
    DriverChannel* deviceChannel = nullptr;  // the driver path's channel, either kind
    std::unique_ptr<ChannelDriverAccess> driver;
    HostClock clock;
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

// Binds the engine to the port path the options choose. False after a usage error.
bool BindPortPath(const Options& o, Session& s, std::ostream& err) {
    IspProgrammer& engine = *s.engine;
    const bool chipGiven = !o.chip.empty();
    Backend backend = o.backend;
    if (backend == Backend::kAuto) {
#ifdef _WIN32
        backend = DriverFileBesideProgram() ? Backend::kDriver : Backend::kSim;
#else
        backend = AnyParportNode() ? Backend::kPpdev : Backend::kSim;
#endif
    }
    if (backend == Backend::kSim || backend == Backend::kDriverSim) {
        SimBenchOptions bench;
        bench.chip = o.simNoTarget        ? ""
                     : !o.simChip.empty() ? o.simChip
                     : chipGiven          ? o.chip
                                          : "mega8";
        bench.cable = o.simCable;
        bench.base = o.simBase;
        bench.targetPower = !o.simNoPower;
        bench.faults.outOfStepBits = o.simOutOfStep;
        bench.faults.neverInStep = o.simNeverInStep;
        bench.faults.locked = o.simLocked;
        std::string problem;
        s.bench = std::make_unique<SimBench>(engine, bench, &problem);
        if (!problem.empty()) {
            err << "velkorisp-cli: " << problem << " for the simulated bench\n";
            return false;
        }
        if (o.simPowerCut) s.bench->Machine().CutPowerAfter(*o.simPowerCut);
        if (backend == Backend::kDriverSim) {
            // Every port access and memory command goes through the driver's protocol and
            // its own serial engine, run in process over the simulated port.
            s.io = std::make_unique<SimPortIo>(s.bench->Machine());
            sim::SimMachine& machine = s.bench->Machine();
            s.channel = std::make_unique<InProcessChannel>(
                *s.io, [&machine] { machine.CountDeviceCall(); });
            s.driver = std::make_unique<ChannelDriverAccess>(*s.channel);
            s.deviceChannel = s.channel.get();
            engine.Backend().BindDriver(s.driver.get());
            engine.useDriver = 1;
        }
        if (o.backend == Backend::kAuto) {
            err << "velkorisp-cli: no parallel port found; using the built-in simulated "
                << (bench.chip.empty() ? "bench" : bench.chip) << " on a " << bench.cable
                << " cable\n";
        }
    } else if (backend == Backend::kDriver) {
#ifdef _WIN32
        if (!SystemNeedsDriver()) {
            err << "velkorisp-cli: the port driver is for the Windows NT family only\n";
            return false;
        }
        s.scm = std::make_unique<Win32ServiceManager>();
        s.opener = std::make_unique<Win32DeviceOpener>();
        s.binding = std::make_unique<DriverBinding>(*s.scm, *s.opener);
        BindDriverAtStartup(true, engine, *s.binding, ProgramDirectory(CurrentExecutablePath()));
        s.driver = std::make_unique<ChannelDriverAccess>(*s.binding);
        s.deviceChannel = s.binding.get();
        engine.Backend().BindDriver(s.driver.get());
        engine.SetClock(&s.clock);
        // Without the device every port reads as missing; say why before the run does.
        const std::string notice = s.binding->TakeNotOpenNotice();
        if (!notice.empty()) engine.AppendLog(notice.c_str());
#else
        err << "velkorisp-cli: --backend driver is the Windows NT port path\n";
        return false;
#endif
    } else {
#ifdef _WIN32
        err << "velkorisp-cli: --backend ppdev and direct are Linux port paths\n";
        return false;
#else
        if (backend == Backend::kPpdev) {
            LinuxPpdevPortIo::Paths paths;
            paths.explicitDevices[0] = o.ppdevDevice;
            s.io = std::make_unique<LinuxPpdevPortIo>(paths);
        } else {
            s.io = std::make_unique<LinuxDirectPortIo>();
        }
        engine.Backend().BindDirect(s.io.get());
        engine.SetClock(&s.clock);
#endif
    }
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
        case Command::kReset:
            engine.ResetMcuCommand();
            status = engine.portRequest.result == kPortReady ? kExitOk : kExitFailed;
            break;
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
            if (s.deviceChannel == nullptr) {
                err << "velkorisp-cli: driver-check needs --backend driver or driver-sim\n";
                return kExitUsage;
            }
            s.printer->Flush();
            bool passed = true;
            for (const DriverCheckResult& r : CheckDriverProtocol(*s.deviceChannel)) {
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
    if (!o.simDump.empty() && s.bench == nullptr) {
        err << "velkorisp-cli: --sim-dump needs the simulated bench (--backend sim)\n";
        return kExitUsage;
    }
    const int status = RunCommand(o, s, out, err);
    s.printer->Flush();
    if (s.channel != nullptr) {
        const sim::AccessCounters& c = s.bench->Machine().Counters();
        out << "driver device calls: " << c.deviceCalls << " (port reads " << c.portReads
            << ", port writes " << c.portWrites << ")\n";
    }

    if (!o.simDump.empty()) {
        if (const std::string problem = DumpSimChip(*s.bench, o.simDump); !problem.empty()) {
            err << "velkorisp-cli: " << problem << "\n";
            return kExitUsage;
        }
    }
    return status;
}

}  // namespace velkor::cli
