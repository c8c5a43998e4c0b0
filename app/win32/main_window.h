// The main window's Win32 view: dialog 102 of the resource script, its controls bound to the
// GDI custom controls, every user action forwarded to MainWindowPresenter and every view call
// done with the controls. The station's reports arrive as posted window messages of the
// window's own (log, progress, run ended), the file watcher's as the registered
// "FileWatchNotify".
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "app/main_window_presenter.h"
#include "app/main_window_view.h"
#include "controls/win32/flat_combo_box.h"
#include "controls/win32/hyperlink_label.h"
#include "controls/win32/icon_button.h"
#include "controls/win32/status_display.h"
#include "station/station.h"
#include "watch/file_watcher.h"

namespace velkor::win32 {

class MainWindow : public MainWindowView, public RunObserver, public WatchNotifySink {
  public:
    MainWindow(Station& station, std::string settingsPath);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The watch on the flash HEX file, set before Run(); none: the file is not watched.
    void SetFlashWatch(FlashFileWatch* watch) { watch_ = watch; }

    // Shows the window modally until it ends; true when it ended through "Exit".
    bool Run();

    // After every run on the simulated bench, the chip's memories are written to this
    // folder (flash.bin, eeprom.bin, state.txt), as velkorisp-cli --sim-dump does; empty: never.
    void SetSimDumpFolder(std::string folder) { simDumpFolder_ = std::move(folder); }

    // ---- MainWindowView ----
    void SetText(int id, const std::string& text) override;
    void SetVisible(int id, bool visible) override;
    void SetEnabled(int id, bool enabled) override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) const override;
    void SetListItems(int id, const std::vector<std::string>& items, int selection) override;
    void SetLinkTarget(int id, const std::string& target) override;
    void ShowLog(const std::string& text) override;
    void AppendLog(const std::string& text) override;
    void StatusText(const std::string& text) override;
    void StatusBar(int litColumns) override;
    void StatusStartScroll(int periodMs) override;
    void StatusStopScroll() override;
    void SetIcon(int iconId) override;
    void SetTitle(const std::string& title) override;
    std::optional<std::string> ChooseFile(const FileChoice& choice) override;
    std::optional<std::string> ChooseSaveFile(const SaveChoice& choice) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
    void ShowNotice(const std::string& text, const std::string& caption) override;
    void ShowAbout(const std::string& text) override;
    void ShowOptionDialog(int menuId) override;
    void EndDialog(bool accepted) override;

    // ---- RunObserver: called on any thread; each posts a message of the window's ----
    void OnLog() override;
    void OnProgress(int percent) override;
    void OnRunEnded() override;

    // ---- WatchNotifySink: called on the watcher's thread ----
    // Posts the registered "FileWatchNotify" to the window.
    void PostFileWatchNotify() override;
    void WatchProblem(const std::string& line) override;

  private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void Command(int id, int code, HWND control);
    void PaintMinimised();
    void DumpSimulatedChip();

    Station& station_;
    const std::string settingsPath_;
    std::string simDumpFolder_;
    FlashFileWatch* watch_ = nullptr;
    HWND hwnd_ = nullptr;
    const UINT fileWatchMessage_;

    StatusDisplay status_;
    std::map<int, std::unique_ptr<IconButton>> buttons_;
    std::map<int, std::unique_ptr<HyperlinkLabel>> links_;
    std::map<int, std::unique_ptr<FlatComboBox>> lists_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HICON currentIcon_ = nullptr;  // the last icon set, at its large size, for the minimised window
    bool accepted_ = false;

    // Last: it joins a run still going before the controls above go away.
    std::unique_ptr<MainWindowPresenter> presenter_;
};

}  // namespace velkor::win32
