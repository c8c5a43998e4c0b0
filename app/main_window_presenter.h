// The main window's behaviour without a toolkit: start-up in its fixed order, the family
// switch and chip selection, the fuse panel and wizard, the commands, the run's reports and
// the shutdown steps. A front end builds the window from MainTemplate(), implements
// MainWindowView, delivers the station's reports (RunObserver) on the window's thread to
// OnLog(), OnProgress() and OnRunEnded(), and forwards every user action here.
//
// Every run (Program, fuse READ and WRITE, Osc Cal. Bytes, Reset MCU, the automatic run) goes
// to the station's worker, one run at a time, through the station's rules; the window never
// blocks on the port. While a run goes, the commands that use the station are disabled and
// refused, and the window's end waits for the run's end, so the port path is never closed
// under a run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/main_window_boxes.h"
#include "app/main_window_view.h"
#include "devices/fuse_panel.h"
#include "devices/fuse_wizard.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "hosting/port_path.h"
#include "station/station.h"

namespace velkor {

class FlashFileWatch;

// Log lines of the window's own decisions.
inline constexpr const char* kBusyRefusedLine = MsgZh(Msg::kBusyRefused);
inline constexpr const char* kWaitForRunLine = MsgZh(Msg::kWaitForRun);
inline constexpr const char* kCalibrationNot89Line = MsgZh(Msg::kCalibrationNot89);
inline constexpr const char kWaitForRunStatus[] = "正在等待当前操作结束...";
inline constexpr const char kFuseWriteQuestion[] = "仍然写入这些熔丝位吗?";
inline constexpr const char kFuseWriteCaption[] = "写入熔丝";
inline constexpr const char* kFuseWriteCancelledLine = MsgZh(Msg::kFuseWriteCancelled);
inline constexpr const char* kSaveNoEeprom89Line = MsgZh(Msg::kSaveNoEeprom89);
inline constexpr const char* kSaveReadFailedLine = MsgZh(Msg::kSaveReadFailed);
inline constexpr const char kSaveFlashTitle[] = "Save Flash";
inline constexpr const char kSaveEepromTitle[] = "Save EEPROM";

class MainWindowPresenter {
  public:
    // The front end delivers the station's reports to OnLog, OnProgress and OnRunEnded on the
    // window's thread. `watch` may be null: then the flash file is not watched.
    MainWindowPresenter(Station& station, MainWindowView& view, std::string settingsPath,
                        FlashFileWatch* watch = nullptr);
    // Waits for a run still going, then lets go of the port path.
    ~MainWindowPresenter();
    MainWindowPresenter(const MainWindowPresenter&) = delete;
    MainWindowPresenter& operator=(const MainWindowPresenter&) = delete;

    // The window's initialisation, once, after the view's controls exist.
    void Initialise();

    // A button or check box click, a menu command, the system menu's About entry.
    void OnCommand(int id);
    // A drop-down list's new selection (-1: none).
    void OnListSelection(int id, int index);
    // The station's reports, on the window's thread, in the order made: new log text, the
    // progress bar, the end of the run started last.
    void OnLog();
    void OnProgress(int percent);
    void OnRunEnded();
    // The close box (and Alt+F4): the shutdown steps, then the window ends as cancelled.
    void OnClose();
    // Escape: the window ends without the shutdown steps (the settings are not written).
    void OnEscape();
    // Enter does nothing.
    void OnEnter() {}
    // The flash HEX file changed on disk: reload both images, then program when "Auto Prog
    // after Update" is checked, else mark the window. During a run this waits for its end.
    void OnFlashFileChanged();
    // The flash file's folder was removed (a clean build); the watch waits on `watching` and
    // takes the file up again when the folder is back. Said in the log.
    void OnFlashFolderGone(const std::string& folder, const std::string& watching);

    bool RunGoing() const { return run_ != WindowRun::kNone; }
    bool Ended() const { return ended_; }
    PortPath* Port() const { return station_.Port(); }
    const DesktopSettings& Desktop() const { return station_.Desktop(); }
    const WizardLists& Wizard() const { return wizard_; }
    const HexFile& FlashFile() const { return station_.FlashFile(); }
    const HexFile& EepromFile() const { return station_.EepromFile(); }

  private:
    enum class WindowRun {
        kNone,
        kProgram,
        kFuseRead,
        kFuseWrite,
        kOscCal,
        kResetMcu,
        kCableTest,
        kSaveFlash,
        kSaveEeprom
    };
    enum class PendingEnd { kNone, kExit, kClose, kEscape };

    void BindPortPath();
    void UpdateTitle();
    // Shows the log text not shown yet: appended, or the whole log when it was emptied or
    // rendered again in another language.
    void ShowLog();
    void ShowStatus(const std::string& text, bool fromLog);

    void ApplyFamily();
    void ShowFuseBoxes();
    void ShowWizard();
    void ChipSelected(int index);
    void LoadFuseDefaults();
    void SetFuses(const FuseBytes& fuses);
    FuseBytes Fuses() const;
    void ToggleFuseBox(int id);
    void WizardChoice(int id, int index);

    // Logs that velkor.ini cannot keep `path` (characters GBK lacks).
    void NoteUnkeptPath(const std::string& path);
    MainWindowState ReadBoxes() const;
    void ShowBoxes(const MainWindowState& boxes);

    // False, with a log line, while a run goes.
    bool Idle();
    // `automatic`: the flash file changed and "Auto Prog after Update" is checked; `whole`
    // says whether that file was seen complete.
    void ProgramCommand(bool automatic = false, bool whole = true);
    void FuseWriteCommand();
    // Asks before a fuse write that would end serial programming; false when declined.
    bool FuseWriteConfirmed();
    void OscCalCommand();
    // Save Flash / Save EEPROM: asks for the file first, then reads the chip on the worker;
    // the file is written only after a complete read (SaveReadBack, at the run's end).
    void SaveCommand(bool flash);
    void SaveReadBack(bool flash);
    // Starts the run through the station's rules; false when they refused it (logged).
    bool StartRun(WindowRun kind, RunRequest request);
    bool StartRun(WindowRun kind);
    void SetRunControls(bool enabled);

    void OpenFlash();
    void OpenEeprom();
    void ToggleSimulator();
    void ToggleVerifyScope();
    // A file change that waited for a run or a dialog, taken up once neither is there.
    void TakeDeferredChange();

    // While the view shows a modal dialog, its nested event loop may deliver a file change;
    // that change waits until the dialog has closed.
    struct ModalScope {
        explicit ModalScope(MainWindowPresenter& p) : presenter(p) { ++presenter.modal_; }
        ~ModalScope() { --presenter.modal_; }
        MainWindowPresenter& presenter;
    };

    void BeginEnd(PendingEnd how);
    void Finish(PendingEnd how);

    Station& station_;
    MainWindowView& view_;
    const std::string settingsPath_;
    FlashFileWatch* watch_;

    WizardLists wizard_;

    WindowRun run_ = WindowRun::kNone;
    LogCursor logShown_;           // how much of the log the view has
    std::string logHead_;          // the log's first characters, for the dot display
    bool statusShowsLog_ = false;  // the dot display shows the log's start, not a notice
    std::string savePath_;         // where a read-back run's bytes go
    PendingEnd pendingEnd_ = PendingEnd::kNone;
    bool fileChangePending_ = false;
    int modal_ = 0;
    // A control moved during a run; the engine's fields are the run's until it ends, so the
    // controls are shown again from them then.
    bool refreshAfterRun_ = false;
    bool ended_ = false;
};

}  // namespace velkor
