// velkorisp: the desktop program. One window for its whole run; its settings live in
// velkor.ini beside the program, or in ~/.config/velkorisp when installed (or the file given
// with --ini).
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

constexpr const char* kUsage =
    "usage: velkorisp [--ini SETTINGS_FILE]\n"
    "The desktop window of VelkorISP. --ini: the settings file to use instead of velkor.ini\n"
    "beside the program (or in ~/.config/velkorisp when installed). For the command line, see\n"
    "velkorisp-cli --help.\n";

// A window needs a display; without one Qt aborts with a core dump. Told in words instead,
// unless a Qt platform was chosen (offscreen, say) that needs none.
bool DisplayAvailable(int argc, char** argv) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "-platform") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
#ifndef _WIN32
    if (!DisplayAvailable(argc, argv)) {
        std::fputs(
            "velkorisp: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
            "not set); velkorisp-cli programs without one\n",
            stderr);
        return 1;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelkorISP"));

    std::string settingsPath = velkor::DefaultSettingsPath();
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--ini") && i + 1 < args.size()) {
            settingsPath = args[++i].toStdString();
        } else {
            std::fputs(kUsage, stderr);
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
