// velkorisp: the desktop program. One window for its whole run; its settings live in
// velkor.ini beside the program, or in ~/.config/velkorisp when installed (or the file given
// with --ini).
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <string>

#include "app/qt/main_window.h"
#include "files/settings.h"
#include "station/station.h"
#include "watch/auto_program.h"
#include "watch/file_watcher.h"

namespace {

// The watcher's notification, queued to the window's thread like a posted message.
class WindowWatchSink : public velkor::WatchNotifySink {
  public:
    void PostFileWatchNotify() override {
        QMetaObject::invokeMethod(
            window, [w = window] { w->Presenter().OnFlashFileChanged(); }, Qt::QueuedConnection);
    }
    void WatchProblem(const std::string& line) override {
        std::fprintf(stderr, "velkorisp: %s\n", line.c_str());
    }
    void WatchWaiting(const std::string& directory, const std::string& watching) override {
        QMetaObject::invokeMethod(
            window,
            [w = window, directory, watching] {
                w->Presenter().OnFlashFolderGone(directory, watching);
            },
            Qt::QueuedConnection);
    }
    velkor::qt::MainWindow* window = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelkorISP"));

    std::string settingsPath = velkor::DefaultSettingsPath();
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--ini") && i + 1 < args.size()) {
            settingsPath = args[++i].toStdString();
        } else {
            std::fprintf(stderr, "usage: velkorisp [--ini SETTINGS_FILE]\n");
            return 2;
        }
    }

    // The station and the watcher outlive the window; every end of the window removes its
    // watch, and its destruction waits for a run still going.
    velkor::Station station;
    velkor::FileWatcher watcher;
    WindowWatchSink sink;
    velkor::WindowFlashWatch watch(watcher, sink);
    velkor::qt::MainWindow window(station, settingsPath, &watch);
    sink.window = &window;
    window.Start();
    window.show();
    window.exec();
    return 0;
}
