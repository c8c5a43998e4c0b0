#include "hosting/port_path.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "driver/port_guard.h"
#include "driverclient/channel_driver_access.h"
#include "driverclient/driver_architecture.h"
#include "driverclient/driver_binding.h"
#include "driverclient/in_process_channel.h"
#include "files/settings.h"
#include "files/utf8_path.h"
#include "hosting/sim_port.h"
#ifdef _WIN32
#include "driverclient/driver_integrity.h"
#include "driverclient/tarnel_digests.h"
#include "driverclient/win32_device_channel.h"
#include "driverclient/win32_service_manager.h"
#include "hosting/win32_clock.h"
#include "hosting/win32_platform.h"
#else
#include "hosting/linux_direct_port.h"
#include "hosting/linux_ppdev_port.h"
#include "hosting/steady_clock.h"
#endif

namespace velkor {

#ifdef _WIN32
using HostClock = Win32Clock;
#else
using HostClock = SteadyClock;
#endif

// What a bound path owns besides the simulated bench, in the order it must go away: the
// driver access before the channel it calls, the binding (which closes the device and stops
// and deletes the service) before the service manager it uses.
struct PortPath::Owned {
    HostClock clock;
    std::unique_ptr<PortIo> io;
#ifdef _WIN32
    std::unique_ptr<Win32ServiceManager> scm;
    std::unique_ptr<Win32DeviceOpener> opener;
    std::unique_ptr<DriverBinding> binding;
#endif
    std::unique_ptr<InProcessChannel> channel;
    std::unique_ptr<ChannelDriverAccess> driver;
};

namespace {

#ifdef _WIN32
std::filesystem::path DriverFile() {
    return PathFromUtf8(ProgramDirectory(CurrentExecutablePath()) + kDriverFileName);
}

// The machine of the Tarnel.sys beside the program (kUnknown: none, or unreadable).
ImageMachine DriverFileMachine() {
    ImageMachine driver = ImageMachine::kUnknown;
    std::ifstream file(DriverFile(), std::ios::binary);
    std::uint8_t head[1024];
    if (file.read(reinterpret_cast<char*>(head), sizeof head) || file.gcount() > 0) {
        driver = PeImageMachine(head, static_cast<std::size_t>(file.gcount()));
    }
    return driver;
}

// What keeps this program from its driver here (a 32-bit program on 64-bit Windows, a
// driver file of the other architecture beside it); empty when nothing does.
std::string DriverArchitectureProblemHere() {
    return DriverArchitectureProblem(kProgramMachine, SystemIs64Bit(), DriverFileMachine());
}

// The choice of the simulated bench when that problem stands in the way: the problem's
// own sentence and the bench, one line, taken in the order DriverArchitectureProblem
// tests them.
LogLine SimChoiceForArchitecture(LogArg chip, const std::string& cable) {
    if (kProgramMachine == ImageMachine::kX86 && SystemIs64Bit()) {
        return {Msg::kPortChoiceSim32On64, {std::move(chip), cable}};
    }
    const std::string program = MachineName(kProgramMachine);
    return {
        Msg::kPortChoiceSimDriverOtherMachine,
        {std::string(MachineName(DriverFileMachine())), program, program, std::move(chip), cable}};
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

}  // namespace

const char* PortPathName(PortPathKind kind) {
    switch (kind) {
        case PortPathKind::kAuto:
            return "auto";
        case PortPathKind::kSim:
            return "sim";
        case PortPathKind::kDriverSim:
            return "driver-sim";
        case PortPathKind::kDriver:
            return "driver";
        case PortPathKind::kPpdev:
            return "ppdev";
        case PortPathKind::kDirect:
            return "direct";
    }
    return "?";
}

PortPath::PortPath(IspProgrammer& engine) : engine_(engine), owned_(std::make_unique<Owned>()) {}

PortPath::~PortPath() {
    // The engine must not keep pointers into what goes away here.
    engine_.Backend().BindDriver(nullptr);
    if (owned_->io != nullptr && engine_.Backend().Direct() == owned_->io.get()) {
        engine_.Backend().BindDirect(nullptr);
    }
    if (bench_ == nullptr) engine_.SetClock(nullptr);
    engine_.SetUseDriver(false);
    owned_.reset();
    bench_.reset();
}

void PortPath::SetChoice(LogLine line) {
    choiceLine_ = std::move(line);
    choiceNote_ = Render(choiceLine_, Language::kEn);
    while (!choiceNote_.empty() && (choiceNote_.back() == '\n' || choiceNote_.back() == '\r')) {
        choiceNote_.pop_back();
    }
}

std::string PortPath::Describe() const {
    switch (kind_) {
        case PortPathKind::kSim:
        case PortPathKind::kDriverSim: {
            std::string text = kind_ == PortPathKind::kSim ? "simulator" : "simulator via driver";
            text += ": ";
            text += benchChip_.empty() ? std::string("no chip") : benchChip_;
            text += " on ";
            text += benchCable_.empty() ? std::string("no cable") : benchCable_;
            return text;
        }
        case PortPathKind::kDriver:
            return "Tarnel driver";
        case PortPathKind::kPpdev:
            return "ppdev";
        case PortPathKind::kDirect:
            return "port instructions";
        case PortPathKind::kAuto:
            break;
    }
    return "none";
}

std::unique_ptr<PortPath> PortPath::Bind(IspProgrammer& engine, const PortPathOptions& options,
                                         std::string* problem) {
    std::unique_ptr<PortPath> path(new PortPath(engine));
    Owned& own = *path->owned_;
    PortPathKind kind = options.kind;
    // Said at start, whichever path the user asked for: the driver cannot serve this build
    // here, and what to start instead.
    std::string architectureProblem;
#ifdef _WIN32
    if (kind == PortPathKind::kAuto || kind == PortPathKind::kDriver) {
        architectureProblem = DriverArchitectureProblemHere();
    }
#endif
    if (kind == PortPathKind::kAuto) {
#ifdef _WIN32
        // The driver is the way to the ports: without its file the binding says where it was
        // looked for, and the simulator stays the user's choice. Only a program that cannot
        // load any driver here says so and falls back on it.
        kind = architectureProblem.empty() ? PortPathKind::kDriver : PortPathKind::kSim;
#else
        kind = AnyParportNode() ? PortPathKind::kPpdev : PortPathKind::kSim;
#endif
    }
    path->kind_ = kind;
    auto fail = [&](const std::string& text) -> std::unique_ptr<PortPath> {
        if (problem != nullptr) *problem = text;
        return nullptr;
    };

    if (kind == PortPathKind::kSim || kind == PortPathKind::kDriverSim) {
        const SimBenchOptions& bench = options.bench;
        std::string benchProblem;
        path->bench_ = std::make_unique<SimBench>(engine, bench, &benchProblem);
        if (!benchProblem.empty()) return fail(benchProblem + " for the simulated bench");
        path->benchChip_ = bench.chip;
        path->benchCable_ = bench.cable;
        if (options.simPowerCut) path->bench_->Machine().CutPowerAfter(*options.simPowerCut);
        if (kind == PortPathKind::kDriverSim) {
            // Every port access and memory command goes through the driver's protocol and its
            // own serial engine, run in process over the simulated port. Like the installed
            // driver, which reads the configured card base when it loads, it admits that
            // base too (0 leaves it the three standard blocks).
            (void)TarnelAdmitExtraBase(engine.Settings().extraPortBase);
            sim::SimMachine& machine = path->bench_->Machine();
            own.io = std::make_unique<SimPortIo>(machine);
            own.channel = std::make_unique<InProcessChannel>(
                *own.io, [&machine] { machine.CountDeviceCall(); });
            own.driver = std::make_unique<ChannelDriverAccess>(*own.channel);
            path->deviceChannel_ = own.channel.get();
            engine.Backend().BindDriver(own.driver.get());
            engine.SetUseDriver(true);
        }
        if (options.kind == PortPathKind::kAuto) {
            const LogArg chip =
                bench.chip.empty() ? LogArg{Msg::kTermSimBench} : LogArg{bench.chip};
            LogLine choice{Msg::kPortChoiceSim, {chip, bench.cable}};
#ifdef _WIN32
            if (!architectureProblem.empty()) choice = SimChoiceForArchitecture(chip, bench.cable);
#endif
            path->SetChoice(std::move(choice));
        }
        return path;
    }

    if (kind == PortPathKind::kDriver) {
#ifdef _WIN32
        if (!SystemNeedsDriver()) return fail("the port driver is for the Windows NT family only");
        if (!architectureProblem.empty()) return fail(architectureProblem);
        own.scm = std::make_unique<Win32ServiceManager>();
        own.opener = std::make_unique<Win32DeviceOpener>();
        own.binding = std::make_unique<DriverBinding>(
            *own.scm, *own.opener, [](const std::string& driverPath) {
                return CheckDriverFile(driverPath, BuiltDriverDigests());
            });
        BindDriverAtStartup(true, engine, *own.binding, ProgramDirectory(CurrentExecutablePath()));
        own.driver = std::make_unique<ChannelDriverAccess>(*own.binding);
        path->deviceChannel_ = own.binding.get();
        engine.Backend().BindDriver(own.driver.get());
        engine.SetClock(&own.clock);
        // Without the device every port reads as missing; say why before a run does.
        engine.Log(own.binding->TakeNotOpenNotice());
        if (options.kind == PortPathKind::kAuto && own.binding->IsOpen()) {
            path->SetChoice(Msg::kPortChoiceDriver);
        }
        return path;
#else
        return fail("--backend driver is the Windows NT port path");
#endif
    }

#ifdef _WIN32
    return fail("--backend ppdev and direct are Linux port paths");
#else
    if (kind == PortPathKind::kPpdev) {
        LinuxPpdevPortIo::Paths paths;
        paths.explicitDevices[0] = options.ppdevDevice;
        auto ppdev = std::make_unique<LinuxPpdevPortIo>(paths);
        // Which parports the kernel has and where: a card's base for PORT/Base is read here.
        engine.Log(ppdev->FoundPortsLine());
        own.io = std::move(ppdev);
        if (options.kind == PortPathKind::kAuto) {
            path->SetChoice(Msg::kPortChoicePpdev);
        }
    } else {
        own.io = std::make_unique<LinuxDirectPortIo>();
    }
    engine.Backend().BindDirect(own.io.get());
    engine.SetClock(&own.clock);
    return path;
#endif
}

}  // namespace velkor
