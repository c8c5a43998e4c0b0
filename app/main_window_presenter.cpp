#include "app/main_window_presenter.h"

#include <utility>

#include "app/auto_program.h"
#include "app/flash_file_watch.h"
#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"
#include "devices/fuse_panel.h"
#include "devices/fuse_safety.h"
#include "engine/cable_test.h"
#include "files/hex_writer.h"
#include "files/image_fit.h"
#include "files/safe_file.h"

namespace velkor {
namespace {

// The controls a run must not meet: each starts a run or changes what a run reads (chip,
// family, fuse bytes, images, options, the port path).
constexpr int kRunGatedIds[] = {kProgramButtonId, kResetButtonId, kDefaultButtonId, kReadButtonId,
                                kWriteButtonId,   kChipListId,    kAvrRadioId,      kAt89RadioId,
                                kClockListId,     kStartupListId, kMenuOpenFlash,   kMenuOpenEeprom,
                                kMenuOscCal,      kMenuLockByte,  kMenuSetupSpeed,  kMenuSimulator,
                                kMenuCableTest,   kMenuSaveFlash, kMenuSaveEeprom};

// The list holds at most this many chips, as the window always had.
constexpr std::size_t kMaxChipListEntries = 100;

// The fuse wizard gives its two messages as the Chinese texts; the log takes their identities.
LogLine WizardLine(const std::string& message) {
    if (message.empty()) return {};
    if (message == kInvalidClockMessage) return Msg::kInvalidClock;
    if (message == kInvalidStartupMessage) return Msg::kInvalidStartup;
    return {Msg::kNote, {message}};
}

// The dot display shows only its first 120 columns (20 single-width characters), so only
// that much of a long log is handed to it; line breaks show as blanks.
std::string StatusPrefix(const std::string& text) {
    constexpr int kColumns = 21;  // one more than fits, so a partly visible character shows
    std::string out;
    int columns = 0;
    std::size_t i = 0;
    while (i < text.size() && columns < kColumns) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        if (i + length > text.size()) break;
        if (lead == '\r' || lead == '\n') {
            out += ' ';
        } else {
            out.append(text, i, length);
        }
        columns += lead < 0x80 ? 1 : 2;
        i += length;
    }
    return out;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

const ClockWizard& WizardOf(const ChipRecord& chip) {
    if (chip.fuseNames != nullptr && chip.fuseNames->wizard != nullptr) {
        return *chip.fuseNames->wizard;
    }
    return ClockWizardNone;
}

}  // namespace

MainWindowPresenter::MainWindowPresenter(IspProgrammer& engine, MainWindowView& view,
                                         EngineNotifier& notifier, std::string settingsPath,
                                         FlashFileWatch* watch)
    : engine_(engine),
      view_(view),
      notifier_(notifier),
      settingsPath_(std::move(settingsPath)),
      watch_(watch) {}

MainWindowPresenter::~MainWindowPresenter() {
    // The run still uses the port path and posts to the notifier: let it end first.
    if (worker_.joinable()) worker_.join();
    engine_.SetOwner(nullptr);
    port_.reset();
}

// ---- start-up ----

void MainWindowPresenter::Initialise() {
    ShowLog();
    view_.SetIcon(kIconIdle);
    view_.StatusBar(0);
    MainWindowState boxes;  // VERIFY, FLASH, ERASE and Check Signature Bytes start checked
    ShowBoxes(boxes);
    ShowStatus(std::string(kBannerText), false);
    view_.StatusStartScroll(100);
    view_.SetLinkTarget(kLinkButtonId, DirectoryOf(settingsPath_));

    // The port path is bound before anything is loaded, as the driver always was.
    desktop_ = LoadDesktopSettings(settingsPath_);
    engine_.SetLogLanguage(desktop_.logLanguage);
    view_.SetChecked(kMenuLogEnglish, desktop_.logLanguage == Language::kEn);
    BindPortPath();

    engine_.SetOwner(&notifier_);

    LoadSettings(settingsPath_, engine_, boxes, flashFile_, eepromFile_);
    if (watch_ != nullptr && !flashFile_.Path().empty()) watch_->Watch(flashFile_.Path());
    ShowBoxes(boxes);

    ApplyFamily();
    // Lines logged before the engine knew its window (the port path's) show now.
    ShowLog();
}

void MainWindowPresenter::BindPortPath() {
    port_.reset();
    std::string problem;
    port_ = PortPath::Bind(engine_, PortPathFor(desktop_), &problem);
    if (port_ == nullptr) {
        // A settings file naming a chip the simulator does not know still gets a window
        // that works: the simulated bench with its default chip.
        AppendNote(problem + "; using the simulated bench with its default chip");
        desktop_.simChip = DesktopSettings{}.simChip;
        port_ = PortPath::Bind(engine_, PortPathFor(desktop_), &problem);
    }
    if (port_ != nullptr && !port_->ChoiceNote().empty()) AppendNote(port_->ChoiceNote());
    view_.SetChecked(kMenuSimulator, desktop_.simulator);
    view_.SetChecked(kMenuVerifyFileScope, desktop_.extra.verifyScope == VerifyScope::kFile);
    UpdateTitle();
}

void MainWindowPresenter::UpdateTitle() {
    std::string title(kWindowCaption);
    title += " - ";
    title += port_ != nullptr ? port_->Describe() : std::string("no port");
    // Until a pending close happens, the title says why the window is still there.
    if (pendingEnd_ != PendingEnd::kNone) title += std::string(" - ") + kWaitForRunStatus;
    view_.SetTitle(title);
}

void MainWindowPresenter::ShowStatus(const std::string& text, bool fromLog) {
    view_.StatusText(text);
    statusShowsLog_ = fromLog;
}

void MainWindowPresenter::ShowLog() {
    view_.ShowLog(engine_.LogText());
}

void MainWindowPresenter::AppendNote(const std::string& text) {
    engine_.Log({Msg::kNote, {text + "\r\n"}});
}

// ---- family, chip, fuse panel and wizard ----

void MainWindowPresenter::ApplyFamily() {
    const std::uint32_t family = engine_.targetFamily;
    if (family != kFamilyAvr && family != kFamily89S5x) {
        view_.SetListItems(kChipListId, {}, kNoSelection);
        return;
    }
    std::vector<std::string> names = ChipList(family);
    if (names.size() > kMaxChipListEntries) names.resize(kMaxChipListEntries);
    const int selection =
        engine_.chipIndex < names.size() ? static_cast<int>(engine_.chipIndex) : kNoSelection;
    view_.SetListItems(kChipListId, names, selection);
    view_.SetChecked(kAvrRadioId, family == kFamilyAvr);
    view_.SetChecked(kAt89RadioId, family == kFamily89S5x);

    const bool avr = family == kFamilyAvr;
    std::string message;
    if (avr) {
        view_.SetText(kFuseGroupId, std::string(kFuseGroupCaption));
        const ChipRecord& chip = FusePanelChip(engine_.chipIndex);
        message = ShowWizardForChip(WizardOf(chip), engine_.fuseLow, wizard_);
    } else {
        view_.SetText(kFuseGroupId, "");
        HideWizard(wizard_);
    }
    ShowFuseBoxes();
    ShowWizard();
    for (int id : {kReadButtonId, kDefaultButtonId, kWriteButtonId}) view_.SetVisible(id, avr);
    if (!message.empty()) {
        engine_.LogQuiet(WizardLine(message));
        ShowLog();
    }
}

void MainWindowPresenter::ShowFuseBoxes() {
    const FuseBoxes boxes =
        engine_.targetFamily == kFamilyAvr
            ? RefreshFuseBoxes(FuseBytes{engine_.fuseLow, engine_.fuseHigh, engine_.fuseExtended},
                               FusePanelChip(engine_.chipIndex))
            : HiddenFuseBoxes();
    for (const FuseBoxState& box : boxes) {
        view_.SetText(box.controlId, box.caption);
        view_.SetChecked(box.controlId, box.checked);
        view_.SetEnabled(box.controlId, box.enabled && !RunGoing());
        view_.SetVisible(box.controlId, box.visible);
    }
}

void MainWindowPresenter::ShowWizard() {
    view_.SetListItems(kClockListId, wizard_.clock.entries, wizard_.clock.selection);
    view_.SetVisible(kClockListId, wizard_.clock.visible);
    view_.SetListItems(kStartupListId, wizard_.startup.entries, wizard_.startup.selection);
    view_.SetVisible(kStartupListId, wizard_.startup.visible);
}

void MainWindowPresenter::ChipSelected(int index) {
    if (index < 0) return;
    engine_.chipIndex = static_cast<std::uint32_t>(index);
    if (engine_.targetFamily == kFamilyAvr) LoadFuseDefaults();
}

void MainWindowPresenter::LoadFuseDefaults() {
    FuseBytes fuses;
    velkor::LoadFuseDefaults(FusePanelChip(engine_.chipIndex), fuses);
    engine_.fuseLow = fuses.low;
    engine_.fuseHigh = fuses.high;
    engine_.fuseExtended = fuses.extended;
    ShowFuseBoxes();
    ApplyFamily();
}

void MainWindowPresenter::ToggleFuseBox(int id) {
    if (engine_.targetFamily != kFamilyAvr) return;
    FuseBytes fuses{engine_.fuseLow, engine_.fuseHigh, engine_.fuseExtended};
    const FuseToggle toggle = ToggleFuseBit(id, fuses, FusePanelChip(engine_.chipIndex), wizard_);
    engine_.fuseLow = fuses.low;
    engine_.fuseHigh = fuses.high;
    engine_.fuseExtended = fuses.extended;
    ShowFuseBoxes();
    if (toggle.wizardSynced) ShowWizard();
    if (!toggle.message.empty()) {
        engine_.LogQuiet(WizardLine(toggle.message));
        ShowLog();
    }
}

void MainWindowPresenter::WizardChoice(int id, int index) {
    if (engine_.targetFamily != kFamilyAvr) return;
    const ClockWizard& wizard = WizardOf(FusePanelChip(engine_.chipIndex));
    std::string message;
    if (id == kClockListId) {
        message = ApplyClockOption(wizard, index, wizard_, engine_.fuseLow);
    } else {
        ApplyStartupOption(wizard, index, wizard_, engine_.fuseLow);
    }
    ShowWizard();
    ShowFuseBoxes();
    if (!message.empty()) {
        engine_.LogQuiet(WizardLine(message));
        ShowLog();
    }
}

// ---- check boxes ----

MainWindowState MainWindowPresenter::ReadBoxes() const {
    MainWindowState s;
    s.checkSignature = view_.IsChecked(kSignatureBoxId);
    s.erase = view_.IsChecked(kEraseBoxId);
    s.verify = view_.IsChecked(kVerifyBoxId);
    s.flash = view_.IsChecked(kFlashBoxId);
    s.eeprom = view_.IsChecked(kEepromBoxId);
    s.fuse = view_.IsChecked(kWriteFuseBoxId);
    s.lock = view_.IsChecked(kLockBoxId);
    s.cal = view_.IsChecked(kCalBoxId);
    s.autoProgram = view_.IsChecked(kAutoProgramBoxId);
    return s;
}

void MainWindowPresenter::ShowBoxes(const MainWindowState& s) {
    view_.SetChecked(kSignatureBoxId, s.checkSignature);
    view_.SetChecked(kEraseBoxId, s.erase);
    view_.SetChecked(kVerifyBoxId, s.verify);
    view_.SetChecked(kFlashBoxId, s.flash);
    view_.SetChecked(kEepromBoxId, s.eeprom);
    view_.SetChecked(kWriteFuseBoxId, s.fuse);
    view_.SetChecked(kLockBoxId, s.lock);
    view_.SetChecked(kCalBoxId, s.cal);
    view_.SetChecked(kAutoProgramBoxId, s.autoProgram);
}

// ---- commands ----

void MainWindowPresenter::OnCommand(int id) {
    if (ended_) return;
    if (id >= kFirstFuseBoxId && id < kFirstFuseBoxId + kFuseBoxCount) {
        if (Idle()) {
            ToggleFuseBox(id);
        } else {
            refreshAfterRun_ = true;  // the box toggled its own look; the run's end resets it
        }
        return;
    }
    switch (id) {
        case kProgramButtonId:
            ProgramCommand();
            break;
        case kResetButtonId:
            if (Idle()) StartRun(RunKind::kResetMcu);
            break;
        case kDefaultButtonId:
            if (Idle() && engine_.targetFamily == kFamilyAvr) LoadFuseDefaults();
            break;
        case kReadButtonId:
            if (Idle() && engine_.targetFamily == kFamilyAvr) StartRun(RunKind::kFuseRead);
            break;
        case kWriteButtonId:
            FuseWriteCommand();
            break;
        case kAvrRadioId:
        case kAt89RadioId:
            if (Idle()) {
                engine_.targetFamily = id == kAvrRadioId ? kFamilyAvr : kFamily89S5x;
                ApplyFamily();
            } else {
                refreshAfterRun_ = true;
            }
            break;
        case kMenuOpenFlash:
            OpenFlash();
            break;
        case kMenuOpenEeprom:
            OpenEeprom();
            break;
        case kMenuExit:
            BeginEnd(PendingEnd::kExit);
            break;
        case kMenuAbout:
        case kSysMenuAbout: {
            ModalScope modal(*this);
            view_.ShowAbout(std::string(kWindowCaption) + "\n" +
                            (port_ != nullptr ? port_->Describe() : std::string()));
            break;
        }
        case kMenuOscCal:
            OscCalCommand();
            break;
        case kMenuLockByte:
        case kMenuSetupSpeed:
            if (Idle()) {
                ModalScope modal(*this);
                view_.ShowOptionDialog(id);
            }
            break;
        case kMenuCableTest:
            if (Idle()) StartRun(RunKind::kCableTest);
            break;
        case kMenuSimulator:
            ToggleSimulator();
            break;
        case kMenuLogEnglish:
            // Also during a run: the log is rendered under its lock, the run only appends.
            desktop_.logLanguage =
                desktop_.logLanguage == Language::kEn ? Language::kZh : Language::kEn;
            engine_.SetLogLanguage(desktop_.logLanguage);
            view_.SetChecked(kMenuLogEnglish, desktop_.logLanguage == Language::kEn);
            if (statusShowsLog_) ShowStatus(StatusPrefix(engine_.LogText()), true);
            ShowLog();
            break;
        case kMenuVerifyFileScope:
            ToggleVerifyScope();
            break;
        case kMenuSaveFlash:
        case kMenuSaveEeprom:
            SaveCommand(id == kMenuSaveFlash);
            break;
        default:
            break;  // the option check boxes are read when a command starts
    }
    TakeDeferredChange();
}

void MainWindowPresenter::OnListSelection(int id, int index) {
    if (ended_) return;
    if (!Idle()) {
        refreshAfterRun_ = true;  // the list moved on its own; the run's end shows it again
        return;
    }
    if (id == kChipListId) {
        ChipSelected(index);
    } else if (id == kClockListId || id == kStartupListId) {
        WizardChoice(id, index);
    }
}

bool MainWindowPresenter::Idle() {
    if (ended_) return false;
    if (RunGoing()) {
        engine_.Log(Msg::kBusyRefused);
        return false;
    }
    return true;
}

void MainWindowPresenter::ProgramCommand() {
    if (!Idle()) return;
    const MainWindowState boxes = ReadBoxes();
    if (boxes.fuse && (!FuseWriteConfirmed() || !Idle())) return;
    CollectCommandFlags(boxes, engine_.commands);
    // An image meant for a bigger chip would be written only in part. The run starts a new
    // log, so the warning is shown before it and again after its last line.
    fitWarning_ = ImageFitMessages(engine_, flashFile_, eepromFile_);
    for (const LogLine& line : fitWarning_) engine_.Log(line);
    view_.SetIcon(kIconRunning);
    StartRun(RunKind::kProgram);
}

void MainWindowPresenter::FuseWriteCommand() {
    if (!Idle() || engine_.targetFamily != kFamilyAvr) return;
    if (!FuseWriteConfirmed() || !Idle()) return;
    StartRun(RunKind::kFuseWrite);
}

bool MainWindowPresenter::FuseWriteConfirmed() {
    if (engine_.targetFamily != kFamilyAvr) return true;  // 89S5x chips have no fuses
    const std::vector<FuseHazard> hazards =
        FindFuseHazards(FuseBytes{engine_.fuseLow, engine_.fuseHigh, engine_.fuseExtended},
                        FusePanelChip(engine_.chipIndex));
    if (hazards.empty()) return true;
    std::string text;
    for (const FuseHazard& hazard : hazards) text += FuseHazardLine(hazard);
    ModalScope modal(*this);
    if (view_.Confirm(text + kFuseWriteQuestion, kFuseWriteCaption)) return true;
    engine_.Log(Msg::kFuseWriteCancelled);
    return false;
}

void MainWindowPresenter::OscCalCommand() {
    if (!Idle()) return;
    if (engine_.targetFamily != kFamilyAvr) {
        // The engine would read an AVR chip's calibration bytes and leave the family at AVR
        // while the window still shows 89S5x.
        engine_.Log(Msg::kCalibrationNot89);
        return;
    }
    StartRun(RunKind::kOscCal);
}

void MainWindowPresenter::SaveCommand(bool flash) {
    if (!Idle()) return;
    if (!flash && engine_.targetFamily == kFamily89S5x) {
        engine_.Log(Msg::kSaveNoEeprom89);
        return;
    }
    // The name comes first: a user who cancels has not waited for a whole read, and a read
    // that fails afterwards leaves no file behind.
    const char* chip = engine_.SelectedChipName();
    if (chip == nullptr) chip = "chip";
    std::string folder;
    if (!flashFile_.Path().empty()) folder = DirectoryOf(flashFile_.Path());
    SaveChoice choice{flash ? kSaveFlashTitle : kSaveEepromTitle,
                      std::string(flash ? kFlashFilterTitle : kEepromFilterTitle),
                      flash ? "*.hex" : "*.hex;*.eep",
                      folder + chip + (flash ? "-flash.hex" : "-eeprom.hex"), "hex"};
    std::optional<std::string> path;
    {
        ModalScope modal(*this);
        path = view_.ChooseSaveFile(choice);
    }
    if (!path || !Idle()) return;
    savePath_ = *path;
    view_.SetIcon(kIconRunning);
    StartRun(flash ? RunKind::kSaveFlash : RunKind::kSaveEeprom);
}

void MainWindowPresenter::SaveReadBack(bool flash) {
    const std::vector<std::uint8_t>& bytes = flash ? engine_.readFlash : engine_.readEeprom;
    if (readResult_ != kSeqDone || bytes.empty()) {
        engine_.Log(Msg::kSaveReadFailed);
        return;
    }
    // Replaced in one step: a full disk or a failed write keeps the file that was there.
    if (const std::string problem = SaveIntelHexFile(savePath_, bytes); !problem.empty()) {
        engine_.Log({Msg::kSaveWriteFailed, {problem}});
        return;
    }
    engine_.Log(
        {Msg::kSaved, {std::string(flash ? "Flash" : "EEPROM"), Num(bytes.size()), savePath_}});
}

void MainWindowPresenter::StartRun(RunKind kind) {
    run_ = kind;
    familyBeforeRun_ = engine_.targetFamily;
    openCalibrationDialog_ = false;
    engine_.verifyFileOnly = desktop_.extra.verifyScope == VerifyScope::kFile;
    engine_.readBackFlash = kind == RunKind::kSaveFlash;
    engine_.readBackEeprom = kind == RunKind::kSaveEeprom;
    SetRunControls(false);
    worker_ = std::thread([this, kind] {
        switch (kind) {
            case RunKind::kProgram:
                engine_.ProgramCommand();
                break;
            case RunKind::kFuseRead:
                engine_.FuseReadCommand();
                break;
            case RunKind::kFuseWrite:
                engine_.FuseWriteCommand();
                break;
            case RunKind::kOscCal:
                engine_.OscCalCommand(&openCalibrationDialog_);
                break;
            case RunKind::kResetMcu:
                engine_.ResetMcuCommand();
                break;
            case RunKind::kCableTest:
                for (const std::string& line : RunCableTest(engine_).Lines()) {
                    engine_.Log({Msg::kNote, {line + "\r\n"}});
                }
                break;
            case RunKind::kSaveFlash:
            case RunKind::kSaveEeprom:
                readResult_ = engine_.ReadChipCommand();
                break;
            case RunKind::kNone:
                break;
        }
        notifier_.PostMessage(WM_ISP_LOG, 1, 0);
    });
}

void MainWindowPresenter::RunEnded() {
    if (worker_.joinable()) worker_.join();
    const RunKind kind = std::exchange(run_, RunKind::kNone);
    SetRunControls(true);
    if (std::exchange(refreshAfterRun_, false)) ApplyFamily();
    switch (kind) {
        case RunKind::kProgram: {
            view_.SetIcon(kIconIdle);
            std::string warning;
            for (const LogLine& line : fitWarning_) warning += Render(line, engine_.LogLanguage());
            if (!warning.empty() && engine_.LogText().find(warning) == std::string::npos) {
                for (const LogLine& line : fitWarning_) engine_.Log(line);
            }
            break;
        }
        case RunKind::kFuseRead:
        case RunKind::kFuseWrite:
            // The panel shows the bytes read or written, the list the chip found.
            ApplyFamily();
            break;
        case RunKind::kOscCal:
            engine_.targetFamily = familyBeforeRun_;
            if (pendingEnd_ == PendingEnd::kNone && openCalibrationDialog_) {
                ModalScope modal(*this);
                view_.ShowOptionDialog(kMenuOscCal);
            }
            break;
        case RunKind::kSaveFlash:
        case RunKind::kSaveEeprom:
            view_.SetIcon(kIconIdle);
            engine_.readBackFlash = engine_.readBackEeprom = false;
            SaveReadBack(kind == RunKind::kSaveFlash);
            ShowLog();
            break;
        case RunKind::kResetMcu:
        case RunKind::kCableTest:
        case RunKind::kNone:
            break;
    }
    if (pendingEnd_ != PendingEnd::kNone) {
        Finish(pendingEnd_);
        return;
    }
    TakeDeferredChange();
}

void MainWindowPresenter::SetRunControls(bool enabled) {
    for (int id : kRunGatedIds) view_.SetEnabled(id, enabled);
    ShowFuseBoxes();  // enabled again only where the chip's mask allows
}

// ---- engine messages ----

void MainWindowPresenter::OnEngineMessage(unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    if (ended_) return;
    if (message == WM_ISP_PROGRESS) {
        view_.StatusBar(static_cast<int>(lParam));
    } else if (message == WM_ISP_LOG) {
        if (wParam != 0) {
            RunEnded();
            return;
        }
        const std::string log = engine_.LogText();
        view_.StatusStopScroll();
        if (pendingEnd_ == PendingEnd::kNone) ShowStatus(StatusPrefix(log), true);
        view_.ShowLog(log);
    }
}

// ---- files ----

void MainWindowPresenter::OpenFlash() {
    if (!Idle()) return;
    std::optional<std::string> path;
    {
        ModalScope modal(*this);
        path = view_.ChooseFile({std::string(kFlashFilterTitle), "*.hex", "hex"});
    }
    if (path) {
        LoadFlashImage(engine_, flashFile_, *path);
        if (watch_ != nullptr) watch_->Watch(flashFile_.Path());
    }
    ShowLog();
}

void MainWindowPresenter::OpenEeprom() {
    if (!Idle()) return;
    std::optional<std::string> path;
    {
        ModalScope modal(*this);
        path = view_.ChooseFile({std::string(kEepromFilterTitle), "*.hex;*.eep", "hex"});
    }
    if (path) LoadEepromImage(engine_, eepromFile_, *path);
    ShowLog();
}

void MainWindowPresenter::OnFlashFileChanged() {
    if (ended_) return;
    if (RunGoing() || modal_ > 0) {
        // Reloading now would change the image under the run, or start one while a dialog
        // asks something; the change is taken up when the run ends or the dialog closes.
        if (!fileChangePending_) engine_.Log(Msg::kHexChangedDuringRun);
        fileChangePending_ = true;
        return;
    }
    ShowStatus(std::string(kFileChangedText), false);
    const std::string flashPath = flashFile_.Path();
    const std::string eepromPath = eepromFile_.Path();
    // The file is read once: the bytes judged whole are the bytes loaded. Read twice, a build
    // tool writing it again in between would get a half-written file programmed.
    std::string text;
    std::string error;
    HexFileCheck check;
    if (ReadWholeFile(flashPath, text, error, kMaxHexFileBytes) == FileReadStatus::kRead) {
        LoadHexText(engine_, flashFile_, flashPath, text, true);
        check = CheckHexText(text);
    } else {
        LoadFlashImage(engine_, flashFile_, flashPath);  // logs why it cannot be read
    }
    LoadEepromImage(engine_, eepromFile_, eepromPath);
    // A file its build tool has not finished is loaded but not programmed: the finished file's
    // own change brings the run.
    if (AutoProgrammer::ShouldProgram(check.state, view_.IsChecked(kAutoProgramBoxId))) {
        ProgramCommand();
    } else {
        view_.SetIcon(kIconFileChanged);
    }
}

void MainWindowPresenter::TakeDeferredChange() {
    if (!fileChangePending_ || RunGoing() || modal_ > 0 || ended_) return;
    fileChangePending_ = false;
    OnFlashFileChanged();
}

void MainWindowPresenter::ToggleSimulator() {
    if (!Idle()) {
        view_.SetChecked(kMenuSimulator, desktop_.simulator);
        return;
    }
    desktop_.simulator = !desktop_.simulator;
    BindPortPath();
    ShowLog();
}

void MainWindowPresenter::ToggleVerifyScope() {
    // Read when the next run starts, so a change during a run leaves that run alone.
    VerifyScope& scope = desktop_.extra.verifyScope;
    scope = scope == VerifyScope::kFile ? VerifyScope::kChip : VerifyScope::kFile;
    view_.SetChecked(kMenuVerifyFileScope, scope == VerifyScope::kFile);
}

// ---- the window's end ----

void MainWindowPresenter::OnClose() {
    BeginEnd(PendingEnd::kClose);
}

void MainWindowPresenter::OnEscape() {
    BeginEnd(PendingEnd::kEscape);
}

void MainWindowPresenter::BeginEnd(PendingEnd how) {
    if (ended_) return;
    if (RunGoing()) {
        // The run owns the port path until it ends; the window closes right after.
        if (pendingEnd_ == PendingEnd::kNone) {
            engine_.Log(Msg::kWaitForRun);
        }
        // A later Exit or close box asks for the settings to be written after all.
        if (pendingEnd_ == PendingEnd::kNone || how != PendingEnd::kEscape) pendingEnd_ = how;
        ShowStatus(kWaitForRunStatus, false);
        UpdateTitle();
        return;
    }
    Finish(how);
}

void MainWindowPresenter::Finish(PendingEnd how) {
    if (how != PendingEnd::kEscape) {
        if (watch_ != nullptr) watch_->Unwatch();
        port_.reset();
        const MainWindowState boxes = ReadBoxes();
        if (SaveSettings(settingsPath_, engine_, boxes, flashFile_, eepromFile_)) {
            SaveDesktopSettings(settingsPath_, desktop_, engine_);
        }
    }
    ended_ = true;
    view_.EndDialog(how == PendingEnd::kExit);
}

}  // namespace velkor
