#include "app/main_window_presenter.h"

#include <utility>

#include "app/main_window_template.h"
#include "devices/chip_table.h"
#include "devices/clock_wizard.h"
#include "devices/fuse_bit_names.h"
#include "devices/fuse_panel.h"
#include "devices/fuse_safety.h"
#include "files/hex_writer.h"
#include "files/profile_file.h"
#include "files/safe_file.h"
#include "watch/auto_program.h"
#include "watch/flash_file_watch.h"

namespace velkor {
namespace {

// The controls a run must not meet: each starts a run or changes what a run reads (chip,
// family, fuse bytes, images, options, the port path).
constexpr int kRunGatedIds[] = {kProgramButtonId, kResetButtonId, kDefaultButtonId, kReadButtonId,
                                kWriteButtonId,   kChipListId,    kAvrRadioId,      kAt89RadioId,
                                kClockListId,     kStartupListId, kMenuOpenFlash,   kMenuOpenEeprom,
                                kMenuOscCal,      kMenuLockByte,  kMenuSetupSpeed,  kMenuSimulator,
                                kMenuCableTest,   kMenuSaveFlash, kMenuSaveEeprom};

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

MainWindowPresenter::MainWindowPresenter(Station& station, MainWindowView& view,
                                         std::string settingsPath, FlashFileWatch* watch)
    : station_(station), view_(view), settingsPath_(std::move(settingsPath)), watch_(watch) {}

MainWindowPresenter::~MainWindowPresenter() {
    // The watch reports to this window: it ends with it, whichever way the window ended.
    if (watch_ != nullptr) watch_->Unwatch();
    // The run still uses the port path and reports to the window: let it end first.
    station_.ReleasePort();
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
    const DesktopSettings& desktop = station_.OpenDesktopSettings(settingsPath_);
    view_.SetChecked(kMenuLogEnglish, desktop.logLanguage == Language::kEn);
    BindPortPath();

    const SettingsLoadResult read = station_.OpenSettings(settingsPath_);
    if (watch_ != nullptr && FlashFile().Watchable()) watch_->Watch(FlashFile().Path());
    ShowBoxes(BoxesFromCommands(station_.Options().commands, read.autoProgram));

    ApplyFamily();
    // Lines logged before the engine knew its window (the port path's) show now.
    ShowLog();
}

void MainWindowPresenter::BindPortPath() {
    DesktopSettings& desktop = station_.Desktop();
    std::string problem;
    if (!station_.BindPort(PortPathFor(desktop), &problem)) {
        // A settings file naming a chip the simulator does not know still gets a window
        // that works: the simulated bench with its default chip.
        // (The settings give only the chip; the bench's cable is always one it knows.)
        const bool listed = FindChipByName(kFamilyAvr, desktop.simChip) >= 0 ||
                            FindChipByName(kFamily89S5x, desktop.simChip) >= 0;
        station_.Log({listed ? Msg::kSimPartMissing : Msg::kSimChipUnknown, {desktop.simChip}});
        desktop.simChip = DesktopSettings{}.simChip;
        station_.BindPort(PortPathFor(desktop), &problem);
    }
    if (Port() != nullptr && !Port()->ChoiceLine().Empty()) station_.Log(Port()->ChoiceLine());
    view_.SetChecked(kMenuSimulator, desktop.simulator);
    view_.SetChecked(kMenuVerifyFileScope, desktop.extra.verifyScope == VerifyScope::kFile);
    UpdateTitle();
}

void MainWindowPresenter::UpdateTitle() {
    std::string title(kWindowCaption);
    title += " - ";
    title += Port() != nullptr ? Port()->Describe() : std::string("no port");
    // Until a pending close happens, the title says why the window is still there.
    if (pendingEnd_ != PendingEnd::kNone) title += std::string(" - ") + kWaitForRunStatus;
    view_.SetTitle(title);
}

void MainWindowPresenter::ShowStatus(const std::string& text, bool fromLog) {
    view_.StatusText(text);
    statusShowsLog_ = fromLog;
}

void MainWindowPresenter::ShowLog() {
    LogDelta delta = station_.LogSince(logShown_);
    // The dot display shows only the log's start: that much is kept, not the whole log.
    constexpr std::size_t kHeadBytes = 128;
    if (delta.replace) {
        logHead_ = delta.text.substr(0, kHeadBytes);
        view_.ShowLog(delta.text);
    } else if (!delta.text.empty()) {
        if (logHead_.size() < kHeadBytes) {
            logHead_ += delta.text.substr(0, kHeadBytes - logHead_.size());
        }
        view_.AppendLog(delta.text);
    }
}

// ---- family, chip, fuse panel and wizard ----

void MainWindowPresenter::ApplyFamily() {
    const std::uint32_t family = station_.Family();
    if (family != kFamilyAvr && family != kFamily89S5x) {
        view_.SetListItems(kChipListId, {}, kNoSelection);
        return;
    }
    const std::vector<std::string> names = ChipList(family);
    const std::uint32_t chip = station_.ChipIndex();
    const int selection = chip < names.size() ? static_cast<int>(chip) : kNoSelection;
    view_.SetListItems(kChipListId, names, selection);
    view_.SetChecked(kAvrRadioId, family == kFamilyAvr);
    view_.SetChecked(kAt89RadioId, family == kFamily89S5x);

    const bool avr = family == kFamilyAvr;
    std::string message;
    if (avr) {
        view_.SetText(kFuseGroupId, std::string(kFuseGroupCaption));
        const ChipRecord& record = FusePanelChip(chip);
        message = ShowWizardForChip(WizardOf(record), station_.Fuses().low, wizard_);
    } else {
        view_.SetText(kFuseGroupId, "");
        HideWizard(wizard_);
    }
    ShowFuseBoxes();
    ShowWizard();
    for (int id : {kReadButtonId, kDefaultButtonId, kWriteButtonId}) view_.SetVisible(id, avr);
    if (!message.empty()) {
        station_.LogQuiet(WizardLine(message));
        ShowLog();
    }
}

FuseBytes MainWindowPresenter::Fuses() const {
    const StationFuses f = station_.Fuses();
    return FuseBytes{f.low, f.high, f.extended};
}

void MainWindowPresenter::SetFuses(const FuseBytes& fuses) {
    station_.SetFuses({fuses.low, fuses.high, fuses.extended});
}

void MainWindowPresenter::ShowFuseBoxes() {
    const FuseBoxes boxes = station_.Family() == kFamilyAvr
                                ? RefreshFuseBoxes(Fuses(), FusePanelChip(station_.ChipIndex()))
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
    station_.SelectChip(static_cast<std::uint32_t>(index), false);
    if (station_.Family() == kFamilyAvr) LoadFuseDefaults();
}

void MainWindowPresenter::LoadFuseDefaults() {
    station_.SelectChip(station_.ChipIndex(), true);
    ShowFuseBoxes();
    ApplyFamily();
}

void MainWindowPresenter::ToggleFuseBox(int id) {
    if (station_.Family() != kFamilyAvr) return;
    FuseBytes fuses = Fuses();
    const FuseToggle toggle =
        ToggleFuseBit(id, fuses, FusePanelChip(station_.ChipIndex()), wizard_);
    SetFuses(fuses);
    ShowFuseBoxes();
    if (toggle.wizardSynced) ShowWizard();
    if (!toggle.message.empty()) {
        station_.LogQuiet(WizardLine(toggle.message));
        ShowLog();
    }
}

void MainWindowPresenter::WizardChoice(int id, int index) {
    if (station_.Family() != kFamilyAvr) return;
    const ClockWizard& wizard = WizardOf(FusePanelChip(station_.ChipIndex()));
    FuseBytes fuses = Fuses();
    std::string message;
    if (id == kClockListId) {
        message = ApplyClockOption(wizard, index, wizard_, fuses.low);
    } else {
        ApplyStartupOption(wizard, index, wizard_, fuses.low);
    }
    SetFuses(fuses);
    ShowWizard();
    ShowFuseBoxes();
    if (!message.empty()) {
        station_.LogQuiet(WizardLine(message));
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
            if (Idle()) StartRun(WindowRun::kResetMcu);
            break;
        case kDefaultButtonId:
            if (Idle() && station_.Family() == kFamilyAvr) LoadFuseDefaults();
            break;
        case kReadButtonId:
            if (Idle() && station_.Family() == kFamilyAvr) StartRun(WindowRun::kFuseRead);
            break;
        case kWriteButtonId:
            FuseWriteCommand();
            break;
        case kAvrRadioId:
        case kAt89RadioId:
            if (Idle()) {
                station_.SetFamily(id == kAvrRadioId ? kFamilyAvr : kFamily89S5x);
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
                            (Port() != nullptr ? Port()->Describe() : std::string()));
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
            if (Idle()) StartRun(WindowRun::kCableTest);
            break;
        case kMenuSimulator:
            ToggleSimulator();
            break;
        case kMenuLogEnglish: {
            // Also during a run: the log is rendered under its lock, the run only appends.
            Language& language = station_.Desktop().logLanguage;
            language = language == Language::kEn ? Language::kZh : Language::kEn;
            station_.SetLanguage(language);
            view_.SetChecked(kMenuLogEnglish, language == Language::kEn);
            ShowLog();
            if (statusShowsLog_) ShowStatus(StatusPrefix(logHead_), true);
            break;
        }
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
        station_.Log(Msg::kBusyRefused);
        return false;
    }
    return true;
}

void MainWindowPresenter::ProgramCommand(bool automatic, bool whole) {
    if (!Idle()) return;
    const MainWindowState boxes = ReadBoxes();
    RunRequest request = station_.Request(RunKind::kProgram);
    CollectCommandFlags(boxes, request.steps);
    request.automatic = automatic;
    request.flashFileWhole = whole;
    if (boxes.fuse && station_.Family() == kFamilyAvr) {
        // Asked only when the station's rules would refuse nothing else: a question about
        // fuse bytes of a run that cannot start is no help.
        RunRequest withoutFuses = request;
        withoutFuses.steps.writeFuse = 0;
        if (!station_.Check(withoutFuses).empty()) {
            StartRun(WindowRun::kProgram, request);
            return;
        }
        if (!FuseWriteConfirmed() || !Idle()) return;
        request.fuseHazardConfirmed = true;
    }
    StartRun(WindowRun::kProgram, request);
}

void MainWindowPresenter::FuseWriteCommand() {
    if (!Idle() || station_.Family() != kFamilyAvr) return;
    if (!FuseWriteConfirmed() || !Idle()) return;
    RunRequest request = station_.Request(RunKind::kFuseWrite);
    request.fuseHazardConfirmed = true;
    StartRun(WindowRun::kFuseWrite, request);
}

bool MainWindowPresenter::FuseWriteConfirmed() {
    if (station_.Family() != kFamilyAvr) return true;  // 89S5x chips have no fuses
    const std::vector<FuseHazard> hazards =
        FindFuseHazards(Fuses(), FusePanelChip(station_.ChipIndex()));
    if (hazards.empty()) return true;
    std::string text;
    for (const FuseHazard& hazard : hazards) text += FuseHazardLine(hazard);
    ModalScope modal(*this);
    if (view_.Confirm(text + kFuseWriteQuestion, kFuseWriteCaption)) return true;
    station_.Log(Msg::kFuseWriteCancelled);
    ShowLog();
    return false;
}

void MainWindowPresenter::OscCalCommand() {
    if (Idle()) StartRun(WindowRun::kOscCal);
}

void MainWindowPresenter::SaveCommand(bool flash) {
    if (!Idle()) return;
    RunRequest request = station_.Request(RunKind::kReadChip);
    request.readFlash = flash;
    request.readEeprom = !flash;
    // Refused before the name is asked: there is nothing to save.
    if (const std::vector<Refusal> refusals = station_.Check(request); !refusals.empty()) {
        StartRun(flash ? WindowRun::kSaveFlash : WindowRun::kSaveEeprom, request);
        return;
    }
    // The name comes first: a user who cancels has not waited for a whole read, and a read
    // that fails afterwards leaves no file behind.
    const char* chip = station_.SelectedChipName();
    if (chip == nullptr) chip = "chip";
    std::string folder;
    if (!FlashFile().Path().empty()) folder = DirectoryOf(FlashFile().Path());
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
    // A device or a pipe chosen by name would be swapped for a plain file: refused before the
    // chip is read.
    if (std::string target; !ReplaceableTarget(*path, target).empty()) {
        station_.Log({Msg::kSaveTargetNotRegular, {*path}});
        ShowLog();
        return;
    }
    savePath_ = *path;
    StartRun(flash ? WindowRun::kSaveFlash : WindowRun::kSaveEeprom, request);
}

void MainWindowPresenter::SaveReadBack(bool flash) {
    const RunReport report = station_.LastReport();
    const std::vector<std::uint8_t>& bytes = flash ? report.readFlash : report.readEeprom;
    if (!report.Ok() || bytes.empty()) {
        station_.Log(Msg::kSaveReadFailed);
        return;
    }
    // Replaced in one step: a full disk or a failed write keeps the file that was there.
    if (const std::string problem = SaveIntelHexFile(savePath_, bytes); !problem.empty()) {
        station_.Log({Msg::kSaveWriteFailed, {problem}});
        return;
    }
    station_.Log(
        {Msg::kSaved, {std::string(flash ? "Flash" : "EEPROM"), Num(bytes.size()), savePath_}});
}

bool MainWindowPresenter::StartRun(WindowRun kind) {
    RunKind station = RunKind::kResetMcu;
    switch (kind) {
        case WindowRun::kFuseRead:
            station = RunKind::kFuseRead;
            break;
        case WindowRun::kOscCal:
            station = RunKind::kCalibrationRead;
            break;
        case WindowRun::kCableTest:
            station = RunKind::kCableTest;
            break;
        default:
            break;
    }
    return StartRun(kind, station_.Request(station));
}

bool MainWindowPresenter::StartRun(WindowRun kind, RunRequest request) {
    // Read when each run starts, so a change during a run leaves that run alone.
    request.verifyFileOnly = Desktop().extra.verifyScope == VerifyScope::kFile;
    if (!station_.Start(request)) {
        // Refused by the station's rules (their lines are in the log) or busy.
        ShowLog();
        return false;
    }
    run_ = kind;
    SetRunControls(false);
    const bool shows = kind == WindowRun::kProgram || kind == WindowRun::kSaveFlash ||
                       kind == WindowRun::kSaveEeprom;
    if (shows) view_.SetIcon(kIconRunning);
    return true;
}

void MainWindowPresenter::OnRunEnded() {
    if (ended_ || !RunGoing()) return;
    station_.Join();
    const RunReport report = station_.LastReport();
    const WindowRun kind = std::exchange(run_, WindowRun::kNone);
    SetRunControls(true);
    if (std::exchange(refreshAfterRun_, false)) ApplyFamily();
    switch (kind) {
        case WindowRun::kProgram:
            view_.SetIcon(kIconIdle);
            break;
        case WindowRun::kFuseRead:
        case WindowRun::kFuseWrite:
            // The panel shows the bytes read or written, the list the chip found.
            ApplyFamily();
            break;
        case WindowRun::kOscCal:
            if (pendingEnd_ == PendingEnd::kNone && report.openCalibrationDialog) {
                ModalScope modal(*this);
                view_.ShowOptionDialog(kMenuOscCal);
            }
            break;
        case WindowRun::kSaveFlash:
        case WindowRun::kSaveEeprom:
            view_.SetIcon(kIconIdle);
            SaveReadBack(kind == WindowRun::kSaveFlash);
            break;
        case WindowRun::kCableTest:
            for (const LogLine& line : report.cableTestLog) station_.Log(line);
            break;
        case WindowRun::kResetMcu:
        case WindowRun::kNone:
            break;
    }
    ShowLog();
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

// ---- the station's reports ----

void MainWindowPresenter::OnProgress(int percent) {
    if (!ended_) view_.StatusBar(percent);
}

void MainWindowPresenter::OnLog() {
    if (ended_) return;
    ShowLog();
    view_.StatusStopScroll();
    if (pendingEnd_ == PendingEnd::kNone) ShowStatus(StatusPrefix(logHead_), true);
}

// ---- files ----

void MainWindowPresenter::OpenFlash() {
    if (!Idle()) return;
    std::optional<std::string> path;
    {
        ModalScope modal(*this);
        // avr-gcc's ELF output is offered beside HEX files: the station reads both.
        path = view_.ChooseFile({std::string(kFlashFilterTitle), "*.hex;*.elf", "hex"});
    }
    if (path) {
        station_.LoadFlash(*path);
        NoteUnkeptPath(*path);
        if (watch_ != nullptr) {
            if (FlashFile().Watchable()) {
                watch_->Watch(FlashFile().Path());
            } else {
                watch_->Unwatch();
            }
        }
        ShowFuseBoxes();  // an ELF file's .fuse section sets the panel's bytes
    }
    ShowLog();
}

void MainWindowPresenter::NoteUnkeptPath(const std::string& path) {
    // Told now, not only when the window closes: the user may rename the folder first.
    if (!ProfileDocument::CanStore(path)) station_.Log({Msg::kSettingsPathNotKept, {path}});
}

void MainWindowPresenter::OpenEeprom() {
    if (!Idle()) return;
    std::optional<std::string> path;
    {
        ModalScope modal(*this);
        path = view_.ChooseFile({std::string(kEepromFilterTitle), "*.hex;*.eep", "hex"});
    }
    if (path) {
        station_.LoadEeprom(*path);
        NoteUnkeptPath(*path);
    }
    ShowLog();
}

void MainWindowPresenter::OnFlashFileChanged() {
    if (ended_) return;
    if (RunGoing() || modal_ > 0) {
        // Reloading now would change the image under the run, or start one while a dialog
        // asks something; the change is taken up when the run ends or the dialog closes.
        if (!fileChangePending_) station_.Log(Msg::kHexChangedDuringRun);
        fileChangePending_ = true;
        return;
    }
    ShowStatus(std::string(kFileChangedText), false);
    const std::string flashPath = FlashFile().Path();
    const std::string eepromPath = EepromFile().Path();
    // The file is read once: the bytes judged whole are the bytes loaded. Read twice, a build
    // tool writing it again in between would get a half-written file programmed.
    std::string text;
    std::string error;
    HexFileCheck check;
    if (ReadWholeFile(flashPath, text, error, kMaxHexFileBytes) == FileReadStatus::kRead) {
        station_.LoadFlashText(flashPath, text);
        check = CheckHexText(text);
    } else {
        station_.LoadFlash(flashPath);  // logs why it cannot be read
    }
    station_.LoadEeprom(eepromPath);
    ShowLog();
    if (!view_.IsChecked(kAutoProgramBoxId)) {
        view_.SetIcon(kIconFileChanged);
        return;
    }
    // A file its build tool has not finished is loaded but not programmed: the station's rules
    // say so in the log, and the finished file's own change brings the run.
    ProgramCommand(true, AutoProgrammer::ShouldProgram(check.state, true));
    if (!RunGoing()) view_.SetIcon(kIconFileChanged);
}

void MainWindowPresenter::OnFlashFolderGone(const std::string& folder,
                                            const std::string& watching) {
    if (ended_) return;
    station_.Log({Msg::kWatchFolderGone, {folder, watching}});
    ShowLog();
}

void MainWindowPresenter::TakeDeferredChange() {
    if (!fileChangePending_ || RunGoing() || modal_ > 0 || ended_) return;
    fileChangePending_ = false;
    OnFlashFileChanged();
}

void MainWindowPresenter::ToggleSimulator() {
    DesktopSettings& desktop = station_.Desktop();
    if (!Idle()) {
        view_.SetChecked(kMenuSimulator, desktop.simulator);
        return;
    }
    desktop.simulator = !desktop.simulator;
    BindPortPath();
    ShowLog();
}

void MainWindowPresenter::ToggleVerifyScope() {
    // Read when the next run starts, so a change during a run leaves that run alone.
    VerifyScope& scope = station_.Desktop().extra.verifyScope;
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
            station_.Log(Msg::kWaitForRun);
            ShowLog();
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
    // Every end removes the watch: a change after it would report to a window that is gone.
    if (watch_ != nullptr) watch_->Unwatch();
    if (how != PendingEnd::kEscape) {
        station_.ReleasePort();
        // Saving takes the command flags from the boxes.
        const MainWindowState boxes = ReadBoxes();
        CollectCommandFlags(boxes, station_.Options().commands);
        const SettingsWrite saved = station_.SaveSettings(settingsPath_, boxes.autoProgram);
        if (!saved.Ok()) {
            // The log box goes with the window: what was not kept must be seen before that.
            const Language language = station_.GetLanguage();
            std::string text = Render(Msg::kSettingsNotKeptNotice, language);
            for (const LogLine& line : saved.lines) text += Render(line, language);
            view_.ShowNotice(text, "VelkorISP");
        }
    }
    ended_ = true;
    view_.EndDialog(how == PendingEnd::kExit);
}

}  // namespace velkor
