// The Qt window of the main dialog: built from MainTemplate() (controls placed in dialog units
// converted for the window's font, control and menu ids as object names), it shows what
// MainWindowPresenter tells it and forwards every click, selection, key and close to it. The
// engine's messages cross to the window's thread as queued calls.
#pragma once

#include <QDialog>
#include <QObject>
#include <map>
#include <memory>
#include <string>

#include "app/dialog_units.h"
#include "app/main_window_presenter.h"
#include "app/main_window_view.h"
#include "station/station.h"

class QAction;
class QPlainTextEdit;

namespace velkor {
class FlashFileWatch;
}

namespace velkor::qt {

class StatusDisplay;

// Turns the station's reports, from any thread, into queued signals on the window's thread;
// they arrive in the order made.
class QueuedRunObserver : public QObject, public RunObserver {
    Q_OBJECT

  public:
    using QObject::QObject;
    void OnLog() override;
    void OnProgress(int percent) override;
    void OnRunEnded() override;

  signals:
    void LogAppended();
    void ProgressChanged(int percent);
    void RunEnded();
};

class MainWindow : public QDialog, public MainWindowView {
    Q_OBJECT

  public:
    MainWindow(Station& station, const std::string& settingsPath, FlashFileWatch* watch = nullptr,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's initialisation (the presenter's start-up steps); call once before showing.
    void Start();

    MainWindowPresenter& Presenter() { return *presenter_; }
    const DialogUnits& Units() const { return units_; }
    // The artwork id of the window icon shown now.
    int IconId() const { return iconId_; }

    // MainWindowView
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

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

  private:
    void BuildMenu();
    void BuildControls();
    QWidget* Control(int id) const;

    Station& station_;
    DialogUnits units_;
    QWidget* client_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> actions_;
    QPlainTextEdit* log_ = nullptr;
    StatusDisplay* status_ = nullptr;
    QueuedRunObserver* observer_ = nullptr;
    std::unique_ptr<MainWindowPresenter> presenter_;
    int iconId_ = 0;
    bool ending_ = false;
};

}  // namespace velkor::qt
