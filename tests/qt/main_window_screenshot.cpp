// Draws the main window after one Program run into a PNG, for the README's pictures:
//   velkor_main_window_screenshot SETTINGS_FILE OUT.png [--english-menu]
// The settings file chooses the simulated chip, the family and the files; the run goes as a
// click on "&Program" does. With --english-menu the log is switched to English afterwards and
// the picture is taken of the screen with the Option menu open. Exit status 1 when the run
// does not end within a minute.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstring>

#include "app/main_window_template.h"
#include "app/qt/main_window.h"
#include "engine/isp_programmer.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool englishMenu = argc == 4 && std::strcmp(argv[3], "--english-menu") == 0;
    if (argc != 3 && !englishMenu) {
        std::fprintf(stderr, "usage: %s SETTINGS_FILE OUT.png [--english-menu]\n", argv[0]);
        return 2;
    }
    velkor::IspProgrammer engine;
    velkor::qt::MainWindow window(engine, argv[1]);
    window.Start();
    window.move(0, 0);
    window.show();
    QCursor::setPos(window.width() + 200, window.height() + 100);  // no control hovered
    auto settle = [](int ms) {
        const QDeadlineTimer until(ms);
        while (!until.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
    };
    settle(300);
    window.findChild<QPushButton*>(QString::number(velkor::kProgramButtonId))->click();
    const QDeadlineTimer limit(60000);
    while (window.Presenter().RunGoing() && !limit.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (window.Presenter().RunGoing()) return 1;
    settle(300);
    if (englishMenu) {
        auto* english = window.findChild<QAction*>(QString::number(velkor::kMenuLogEnglish));
        if (english == nullptr) return 1;
        english->trigger();
        auto* bar = window.findChild<QMenuBar*>();
        QMenu* option = english->associatedObjects().isEmpty()
                            ? nullptr
                            : qobject_cast<QMenu*>(english->associatedObjects().first());
        if (bar == nullptr || option == nullptr) return 1;
        bar->setActiveAction(option->menuAction());
        settle(500);
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        const QRect frame = window.frameGeometry().united(option->geometry());
        if (!screen.copy(frame).save(QString::fromLocal8Bit(argv[2]))) return 1;
        option->close();
        window.Presenter().OnEscape();
        return 0;
    }
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) return 1;
    window.Presenter().OnEscape();
    return 0;
}
