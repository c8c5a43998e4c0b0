// Draws the main window after one Program run into a PNG, for the README's pictures:
//   velkor_main_window_screenshot SETTINGS_FILE OUT.png
// The settings file chooses the simulated chip, the family and the files; the run goes as a
// click on "&Program" does. Exit status 1 when the run does not end within a minute.
#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QThread>
#include <cstdio>

#include "app/main_window_template.h"
#include "app/qt/main_window.h"
#include "engine/isp_programmer.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SETTINGS_FILE OUT.png\n", argv[0]);
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
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) return 1;
    window.Presenter().OnEscape();
    return 0;
}
