// The main window's behaviour without a toolkit: start-up in its fixed order, the family
// switch and chip selection, the fuse panel and wizard, the commands, the engine's two
// messages and the shutdown steps. A front end builds the window from MainTemplate(),
// implements MainWindowView, delivers the engine's messages on the window's thread to
// OnEngineMessage() and forwards every user action here.
//
// Every engine run (Program, fuse READ and WRITE, Osc Cal. Bytes, Reset MCU, the automatic
// run) goes to one worker thread, one run at a time; the window never blocks on the port.
// While a run goes, the commands that use the engine are disabled and refused, and the
// window's end waits for the run's end, so the port path is never closed under a run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "app/desktop_settings.h"
#include "app/main_window_view.h"
#include "devices/fuse_wizard.h"
#include "engine/isp_programmer.h"
#include "files/image_loader.h"
#include "files/settings.h"
#include "hosting/port_path.h"

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
    // `notifier` carries the engine's messages to the window's thread; it must outlive the
    // presenter. `watch` may be null: then the flash file is not watched.
    MainWindowPresenter(IspProgrammer& engine, MainWindowView& view, EngineNotifier& notifier,
                        std::string settingsPath, FlashFileWatch* watch = nullptr);
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
    // WM_ISP_LOG / WM_ISP_PROGRESS, on the window's thread, in posting order.
    void OnEngineMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // The close box (and Alt+F4): the shutdown steps, then the window ends as cancelled.
    void OnClose();
    // Escape: the window ends without the shutdown steps (the settings are not written).
    void OnEscape();
    // Enter does nothing.
    void OnEnter() {}
    // The flash HEX file changed on disk: reload both images, then program when "Auto Prog
    // after Update" is checked, else mark the window. During a run this waits for its end.
    void OnFlashFileChanged();

    bool RunGoing() const { return run_ != RunKind::kNone; }
    bool Ended() const { return ended_; }
    PortPath* Port() const { return port_.get(); }
    const DesktopSettings& Desktop() const { return desktop_; }
    const WizardLists& Wizard() const { return wizard_; }
    const HexFile& FlashFile() const { return flashFile_; }
    const HexFile& EepromFile() const { return eepromFile_; }

  private:
    enum class RunKind {
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
    void ShowLog();
    void ShowStatus(const std::string& text, bool fromLog);
    void AppendNote(const std::string& text);

    void ApplyFamily();
    void ShowFuseBoxes();
    void ShowWizard();
    void ChipSelected(int index);
    void LoadFuseDefaults();
    void ToggleFuseBox(int id);
    void WizardChoice(int id, int index);

    MainWindowState ReadBoxes() const;
    void ShowBoxes(const MainWindowState& boxes);

    // False, with a log line, while a run goes.
    bool Idle();
    void ProgramCommand();
    void FuseWriteCommand();
    // Asks before a fuse write that would end serial programming; false when declined.
    bool FuseWriteConfirmed();
    void OscCalCommand();
    // Save Flash / Save EEPROM: asks for the file first, then reads the chip on the worker;
    // the file is written only after a complete read (SaveReadBack, at the run's end).
    void SaveCommand(bool flash);
    void SaveReadBack(bool flash);
    void StartRun(RunKind kind);
    void RunEnded();
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

    IspProgrammer& engine_;
    MainWindowView& view_;
    EngineNotifier& notifier_;
    const std::string settingsPath_;
    FlashFileWatch* watch_;

    DesktopSettings desktop_;
    std::unique_ptr<PortPath> port_;
    HexFile flashFile_;
    HexFile eepromFile_;
    WizardLists wizard_;

    RunKind run_ = RunKind::kNone;
    std::thread worker_;
    std::vector<LogLine> fitWarning_;
    bool statusShowsLog_ = false;         // the dot display shows the log's start, not a notice
    bool openCalibrationDialog_ = false;  // written by the worker, read after joining it
    int readResult_ = 0;                  // likewise: the read-back run's result
    std::string savePath_;                // where a read-back run's bytes go
    std::uint32_t familyBeforeRun_ = 0;
    PendingEnd pendingEnd_ = PendingEnd::kNone;
    bool fileChangePending_ = false;
    int modal_ = 0;
    // A control moved during a run; the engine's fields are the run's until it ends, so the
    // controls are shown again from them then.
    bool refreshAfterRun_ = false;
    bool ended_ = false;
};

}  // namespace velkor
