#include "station/station.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "devices/chip_table.h"
#include "devices/fuse_panel.h"
#include "engine/cable_test.h"

namespace velkor {
namespace {

RunResult FromSequence(int result) {
    switch (result) {
        case kSeqDone:
            return RunResult::kDone;
        case kSeqFlashFailed:
            return RunResult::kFlashFailed;
        case kSeqPortNotReady:
            return RunResult::kPortNotReady;
        case kSeqNoConnection:
            return RunResult::kNoConnection;
        case kSeqSignatureMismatch:
            return RunResult::kSignatureMismatch;
        case kSeqInvalidChip:
            return RunResult::kInvalidChip;
        case kSeqDriverCallsFailed:
            return RunResult::kDriverCallsFailed;
        case kSeqNothingToVerify:
            return RunResult::kNothingToVerify;
        case kSeqConfigWriteFailed:
            return RunResult::kConfigWriteFailed;
        case kSeqTargetLost:
            return RunResult::kTargetLost;
        case IspProgrammer::kEngineBusy:
            return RunResult::kBusy;
        default:
            return RunResult::kFlashFailed;
    }
}

// A chip the signature chose is known when its row names a chip, not "unknown" or "locked".
bool Identified(const IspProgrammer& engine) {
    return engine.AvrRecord().chipCode > 1;
}

}  // namespace

Station::Station(RunObserver* observer) : observer_(observer) {
    engine_.SetReports(this);
}

Station::~Station() {
    // The run still uses the port path and reports to the observer: let it end first.
    Join();
    engine_.SetReports(nullptr);
    port_.reset();
}

void Station::SetObserver(RunObserver* observer) {
    std::lock_guard<std::recursive_mutex> lock(observerMutex_);
    observer_ = observer;
}

void Station::OnLog() {
    std::lock_guard<std::recursive_mutex> lock(observerMutex_);
    if (observer_ != nullptr) observer_->OnLog();
}

void Station::OnProgress(int percent) {
    std::lock_guard<std::recursive_mutex> lock(observerMutex_);
    if (observer_ != nullptr) observer_->OnProgress(percent);
}

// ---- the port path ----

bool Station::BindPort(const PortPathOptions& options, std::string* problem) {
    if (Running()) return false;
    port_.reset();
    // Binding reads the extra port base the settings name.
    SettingsToEngine();
    port_ = PortPath::Bind(engine_, options, problem);
    return port_ != nullptr;
}

void Station::ReleasePort() {
    Join();
    port_.reset();
}

// ---- settings ----

void Station::SettingsToEngine() {
    // A run holds the engine's copy until it ends.
    if (!Running()) engine_.SetSettings(settings_);
}

SettingsRead Station::ReadSettingsOnce(const std::string& iniPath) {
    if (opened_ && openedPath_ == iniPath) {
        SettingsRead read = std::move(*opened_);
        opened_.reset();
        return read;
    }
    return ReadSettings(iniPath, settings_);
}

SettingsLoadResult Station::TakeSettings(SettingsRead read) {
    for (LogLine& line : read.readLines) engine_.Log(std::move(line));
    SettingsLoadResult result;
    result.file = read.file;
    result.flashPath = read.values.flashPath;
    result.eepromPath = read.values.eepromPath;
    result.flashLoad = LoadFlash(result.flashPath);
    result.eepromLoad = LoadEeprom(result.eepromPath);
    // An image the file does not name has nothing to refuse.
    if (result.flashPath.empty()) flashLoad_ = kHexLoadNoPath;
    if (result.eepromPath.empty()) eepromLoad_ = kHexLoadNoPath;
    for (LogLine& line : read.valueLines) engine_.Log(std::move(line));
    for (int k = 0; k < 3; ++k) result.fuseKeys[k] = read.fuseKeys[k];
    result.userPortDelay = read.userPortDelay;
    result.autoProgram = read.values.autoProgram;
    settings_ = read.values.programmer;
    return result;
}

SettingsLoadResult Station::OpenSettings(const std::string& iniPath) {
    SettingsLoadResult result = TakeSettings(ReadSettingsOnce(iniPath));
    ClampDelay();
    // The file's ID is the selection of its family; the other family's is kept beside it.
    for (std::uint32_t family : {kFamilyAvr, kFamily89S5x}) {
        const std::optional<std::uint32_t> kept = desktop_.familyChip[family];
        familyChip_[family] = kept && *kept < ChipList(family).size() ? *kept : 0;
    }
    if (settings_.targetFamily <= kFamily89S5x) {
        familyChip_[settings_.targetFamily] = settings_.chipIndex;
    }
    return result;
}

bool Station::ApplySettingsFile(const std::string& iniPath, SettingsLoadResult* result) {
    SettingsRead read = ReadSettingsOnce(iniPath);
    if (read.file == FileReadStatus::kRead && read.knownKeys == 0) {
        // Empty, damaged or another program's: running on the defaults it would give is a
        // run nobody asked for.
        engine_.Log({Msg::kSettingsNoKnownKey, {std::string(iniPath)}});
        if (result != nullptr) *result = {};
        return false;
    }
    desktop_ = DesktopSettingsFrom(read.document);
    const SettingsLoadResult taken = TakeSettings(std::move(read));
    // The window's FUSE box always starts unchecked.
    settings_.commands.writeFuse = 0;
    if (taken.file == FileReadStatus::kMissing) {
        engine_.Log({Msg::kSettingsMissing, {std::string(iniPath)}});
    }
    const auto loaded = [](int load) { return load == 0 || load == kHexLoadNoPath; };
    const bool applied =
        taken.file == FileReadStatus::kRead && loaded(taken.flashLoad) && loaded(taken.eepromLoad);
    if (applied) ClampDelay();
    if (result != nullptr) *result = taken;
    return applied;
}

DesktopSettings& Station::OpenDesktopSettings(const std::string& iniPath) {
    opened_ = ReadSettings(iniPath, settings_);
    openedPath_ = iniPath;
    desktop_ = DesktopSettingsFrom(opened_->document);
    engine_.SetLogLanguage(desktop_.logLanguage);
    return desktop_;
}

SettingsWrite Station::SaveSettings(const std::string& iniPath, bool autoProgram) {
    if (settings_.targetFamily <= kFamily89S5x) {
        familyChip_[settings_.targetFamily] = settings_.chipIndex;
    }
    desktop_.familyChip[kFamilyAvr] = familyChip_[kFamilyAvr];
    desktop_.familyChip[kFamily89S5x] = familyChip_[kFamily89S5x];
    StoredSettings values;
    values.programmer = settings_;
    values.flashPath = flashFile_.Path();
    values.eepromPath = eepromFile_.Path();
    values.autoProgram = autoProgram;
    SettingsWrite write = velkor::SaveSettings(
        iniPath, values, SystemFileOps(),
        [this](ProfileDocument& file) { WriteDesktopSettings(file, desktop_); });
    for (const LogLine& line : write.lines) engine_.Log(line);
    return write;
}

void Station::ClampDelay() {
    // The transfer takes the delay's low 16 bits, so a stored -100 would mean 65436 and a run
    // of hours, and 70000 almost no delay at all.
    if (settings_.speedSelection == 0) return;
    const auto stored = static_cast<std::int32_t>(settings_.userPortDelay);
    if (stored >= 0 && stored <= 0xFFFF) return;
    const int clamped = stored < 0 ? 0 : 0xFFFF;
    engine_.Log({Msg::kSettingsBadUserPortDelay, {Num(stored), Num(clamped)}});
    settings_.userPortDelay = static_cast<std::uint32_t>(clamped);
}

// ---- selection ----

void Station::SetFamily(std::uint32_t family) {
    const std::uint32_t now = settings_.targetFamily;
    if (family == now) return;
    if (now <= kFamily89S5x) familyChip_[now] = settings_.chipIndex;
    settings_.targetFamily = family;
    if (family <= kFamily89S5x) settings_.chipIndex = familyChip_[family];
}

void Station::SelectChip(std::uint32_t index, bool loadFuseDefaults) {
    settings_.chipIndex = index;
    if (!loadFuseDefaults || settings_.targetFamily != kFamilyAvr) return;
    FuseBytes fuses;
    velkor::LoadFuseDefaults(FusePanelChip(index), fuses);
    SetFuses({fuses.low, fuses.high, fuses.extended});
}

StationFuses Station::Fuses() const {
    return {settings_.fuseLow, settings_.fuseHigh, settings_.fuseExtended};
}

void Station::SetFuses(const StationFuses& fuses) {
    settings_.fuseLow = fuses.low;
    settings_.fuseHigh = fuses.high;
    settings_.fuseExtended = fuses.extended;
}

void Station::SetLockByte(std::uint8_t value) {
    settings_.lockSelect = 1;
    settings_.customLockByte = value;
}

void Station::SetSpeed(bool userDelay, std::int64_t delay) {
    settings_.speedSelection = userDelay ? 1 : 0;
    if (userDelay) settings_.userPortDelay = static_cast<std::uint32_t>(delay);
    ClampDelay();
}

void Station::SetCalibration(std::uint8_t select, bool toEeprom, std::uint32_t address) {
    settings_.calibrationSelect = select;
    settings_.calibrationSaveLocation = toEeprom ? 1 : 0;
    settings_.calibrationAddress = address;
}

// ---- images ----

int Station::LoadFlash(const std::string& path) {
    return TakeFlash(path, ReadImageFile(path, true, engine_.FlashImageLength()));
}

int Station::LoadEeprom(const std::string& path) {
    const int result = LoadEepromImage(engine_, eepromFile_, path);
    if (result != kHexLoadNoPath) eepromLoad_ = result;
    return result;
}

int Station::LoadFlashText(const std::string& path, std::string_view text) {
    return TakeFlash(path, ReadImageText(path, text, true, engine_.FlashImageLength()));
}

int Station::TakeFlash(const std::string& path, LoadedImage image) {
    // An ELF flash file brings its other memories along: they belong to the same build.
    const std::shared_ptr<const LoadedImage> eeprom = std::move(image.elfEeprom);
    const std::vector<std::uint8_t> fuses = std::move(image.elfFuses);
    const std::optional<std::uint8_t> lock = image.elfLock;
    const int result = PutImage(engine_, flashFile_, path, true, std::move(image));
    if (result != kHexLoadNoPath) flashLoad_ = result;
    if (!path.empty()) flashFileFuses_ = fuses;
    if (eeprom != nullptr) {
        LoadedImage copy = *eeprom;
        copy.length = std::max(copy.length, engine_.EepromImageLength());
        eepromLoad_ = PutImage(engine_, eepromFile_, path, false, std::move(copy));
    }
    if (fuses.empty() && !lock) return result;
    // The bytes stand in the fuse panel and the lock setting, where only the FUSE and LOCK
    // steps use them.
    StationFuses panel = Fuses();
    std::uint8_t* bytes[3] = {&panel.low, &panel.high, &panel.extended};
    static const char* const kNames[3] = {" low", " high", " extended"};
    std::string listed;
    char hex[8];
    for (std::size_t k = 0; k < 3 && k < fuses.size(); ++k) {
        *bytes[k] = fuses[k];
        std::snprintf(hex, sizeof hex, " %02X", fuses[k]);
        listed += kNames[k] + std::string(hex);
    }
    SetFuses(panel);
    if (lock) {
        SetLockByte(*lock);
        std::snprintf(hex, sizeof hex, " %02X", *lock);
        listed += " lock" + std::string(hex);
    }
    engine_.Log({Msg::kElfConfigBytes, {path, listed}});
    return result;
}

int Station::SetFlashImage(const std::string& path, const MemoryImage& image) {
    const int result = PutImage(engine_, flashFile_, path, true,
                                LoadedFromMemory(image, true, engine_.FlashImageLength()));
    if (result != kHexLoadNoPath) flashLoad_ = result;
    return result;
}

int Station::SetEepromImage(const std::string& path, const MemoryImage& image) {
    const int result = PutImage(engine_, eepromFile_, path, false,
                                LoadedFromMemory(image, false, engine_.EepromImageLength()));
    if (result != kHexLoadNoPath) eepromLoad_ = result;
    return result;
}

// ---- runs ----

RunRequest Station::Request(RunKind kind) const {
    RunRequest request;
    request.kind = kind;
    request.steps = settings_.commands;
    return request;
}

bool Station::Admit(const RunRequest& request) {
    const std::vector<Refusal> refusals = Check(request);
    for (const Refusal& refusal : refusals) {
        for (const LogLine& line : refusal.lines) engine_.Log(line);
        engine_.Log(refusal.windowLine);
    }
    return refusals.empty();
}

RunReport Station::Run(const RunRequest& request) {
    RunReport report;
    report.kind = request.kind;
    if (running_.exchange(true)) {
        engine_.Log(Msg::kBusyRefused);
        report.result = RunResult::kBusy;
        return report;
    }
    CollectWorker();
    if (Admit(request)) {
        Prepare(request);
        report = Execute(request);
        TakeBackSettings(request.kind);
    } else {
        report.result = RunResult::kRefused;
    }
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        lastReport_ = report;
    }
    running_.store(false);
    return report;
}

bool Station::Start(const RunRequest& request) {
    if (running_.exchange(true)) {
        engine_.Log(Msg::kBusyRefused);
        return false;
    }
    CollectWorker();
    if (!Admit(request)) {
        running_.store(false);
        return false;
    }
    Prepare(request);
    // The settings are the front end's while the run goes (its window reads them); what the
    // run changed in them is taken back on the front end's thread, once it joins the worker.
    takeBack_ = request.kind;
    worker_ = std::thread([this, request] {
        RunReport report = Execute(request);
        {
            std::lock_guard<std::mutex> lock(reportMutex_);
            lastReport_ = std::move(report);
        }
        running_.store(false);
        std::lock_guard<std::recursive_mutex> lock(observerMutex_);
        if (observer_ != nullptr) observer_->OnRunEnded();
    });
    return true;
}

void Station::Join() {
    CollectWorker();
}

void Station::CollectWorker() {
    if (!worker_.joinable() || worker_.get_id() == std::this_thread::get_id()) return;
    worker_.join();
    if (takeBack_) TakeBackSettings(*takeBack_);
    takeBack_.reset();
}

RunReport Station::LastReport() const {
    std::lock_guard<std::mutex> lock(reportMutex_);
    return lastReport_;
}

void Station::Prepare(const RunRequest& request) {
    // On the caller's thread, before the worker starts: the run's values are set once and
    // are the run's own until it ends. The verify scope and a program run's steps stay the
    // settings' for the runs after; the read-back choice is this run's only.
    settings_.verifyFileOnly = request.verifyFileOnly;
    if (request.kind == RunKind::kProgram) {
        settings_.commands = request.steps;
        // The 89S5x family has no fuse bytes: the AVR fuse-read instructions would reach such a
        // chip as others of its own (0x50 is its page write, which could clear code bytes).
        if (settings_.targetFamily == kFamily89S5x) settings_.commands.readFuse = 0;
    }
    settings_.readBackFlash = settings_.readBackEeprom = false;
    ProgrammerSettings run = settings_;
    run.readBackFlash = request.kind == RunKind::kReadChip && request.readFlash;
    run.readBackEeprom = request.kind == RunKind::kReadChip && request.readEeprom;
    engine_.SetSettings(run);
}

void Station::TakeBackSettings(RunKind kind) {
    // What a run may change: the chip a signature selected (and the family the one-off
    // commands switch to), the fuse bytes it read and a calibration address it corrected.
    // The rest stays as the user set it, even if changed while the run went on.
    const ProgrammerSettings after = engine_.Settings();
    // The calibration command reads as an AVR; the selection the user sees stays as it was.
    if (kind != RunKind::kCalibrationRead) settings_.targetFamily = after.targetFamily;
    settings_.chipIndex = after.chipIndex;
    settings_.fuseLow = after.fuseLow;
    settings_.fuseHigh = after.fuseHigh;
    settings_.fuseExtended = after.fuseExtended;
    settings_.calibrationAddress = after.calibrationAddress;
}

RunReport Station::Execute(const RunRequest& request) {
    IspProgrammer& engine = engine_;
    RunReport report;
    report.kind = request.kind;
    int result = kSeqDone;
    switch (request.kind) {
        case RunKind::kProgram: {
            result = engine.ProgramCommand();
            report.result = FromSequence(result);
            if (report.Ok() && engine.LastEepromResult() > 0)
                report.result = RunResult::kEepromFailed;
            if (report.Ok() && request.steps.autoSelchip != 0 && !Identified(engine)) {
                report.result = RunResult::kChipUnknown;
            }
            break;
        }
        case RunKind::kFuseRead:
            report.result = FromSequence(engine.FuseReadCommand());
            if (report.Ok() && !Identified(engine)) report.result = RunResult::kChipUnknown;
            break;
        case RunKind::kFuseWrite:
            report.result = FromSequence(engine.FuseWriteCommand());
            break;
        case RunKind::kCalibrationRead:
            report.result = FromSequence(engine.OscCalCommand(&report.openCalibrationDialog));
            break;
        case RunKind::kResetMcu:
            result = engine.ResetMcuCommand();
            report.result = result == 0 && engine.PortSearch().result == kPortReady
                                ? RunResult::kDone
                                : RunResult::kPortNotReady;
            break;
        case RunKind::kReadChip:
            report.result = FromSequence(engine.ReadChipCommand());
            report.readFlash = engine.FlashReadBack();
            report.readEeprom = engine.EepromReadBack();
            break;
        case RunKind::kDetect:
            report.result = engine.OpenPort() == 0 ? RunResult::kDone : RunResult::kPortNotReady;
            report.port = engine.PortSearch();
            engine.ReleasePort();
            break;
        case RunKind::kCableTest: {
            // A path that cannot reach the ports says why before every line reads as failed.
            if (!engine.UsesDriver() && engine.Backend().Direct() != nullptr) {
                engine.Log(engine.Backend().Direct()->AccessProblem());
            }
            const CableTestResult test = RunCableTest(engine);
            report.cableTestLines = test.Lines();
            report.cableTestLog = test.LogLines();
            report.cableTestPassed = test.Passed();
            report.result = test.Passed() ? RunResult::kDone : RunResult::kFlashFailed;
            break;
        }
    }
    report.bytesWritten = engine.BytesWritten();
    report.bytesVerified = engine.BytesVerified();
    report.failedDeviceCalls = engine.FailedDriverCalls();
    // From the engine's own copy of the settings: this may run on the worker, while the
    // station's copy belongs to the front end until the run is collected.
    const ProgrammerSettings ran = engine.Settings();
    report.family = ran.targetFamily;
    report.chipIndex = ran.chipIndex;
    if (const char* name = ran.SelectedChipName(); name != nullptr) report.chipName = name;
    report.cableKind = engine.PortSearch().cableKind;
    if (request.kind != RunKind::kDetect) report.port = engine.PortSearch();
    return report;
}

}  // namespace velkor
