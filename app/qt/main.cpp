// velkorisp: the desktop program. One window for its whole run; its settings live in
// velkor.ini beside the program (or the file given with --ini).
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <string>

#include "app/qt/main_window.h"
#include "engine/isp_programmer.h"
#include "files/settings.h"

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

    velkor::IspProgrammer engine;
    velkor::qt::MainWindow window(engine, settingsPath);
    window.Start();
    window.show();
    window.exec();
    return 0;
}
