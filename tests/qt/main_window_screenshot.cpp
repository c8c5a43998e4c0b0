// Draws the main window after one Program run into a PNG, for the README's pictures:
//   velkor_main_window_screenshot SETTINGS_FILE OUT.png [--english-menu | MENU...]
// The settings file chooses the simulated chip, the family and the files; the run goes as a
// click on "&Program" does. With --english-menu the log is switched to English afterwards and
// the picture is taken of the screen with the Option menu open. With MENUs (menu bar titles
// without their '&', e.g. "File") the picture shows the window once per menu, side by side,
// with that menu open. Exit status 1 when the run does not end within a minute or a menu is
// not found.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/main_window_template.h"
#include "app/qt/main_window.h"
#include "station/station.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool englishMenu = argc == 4 && std::strcmp(argv[3], "--english-menu") == 0;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SETTINGS_FILE OUT.png [--english-menu | MENU...]\n",
                     argv[0]);
        return 2;
    }
    velkor::Station station;
    velkor::qt::MainWindow window(station, argv[1]);
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
    QPixmap picture = window.grab();
    // An open menu is a window of its own: these pictures come from the screen.
    std::vector<QPixmap> menus;
    for (int n = 3; n < argc; ++n) {
        QMenu* open = nullptr;
        auto* bar = window.findChild<QMenuBar*>();
        for (QAction* action : bar->actions()) {
            if (action->text().remove(QLatin1Char('&')) == QString::fromLocal8Bit(argv[n])) {
                bar->setActiveAction(action);
                open = action->menu();
            }
        }
        if (open == nullptr) return 1;
        settle(500);
        const QRect area = window.frameGeometry().united(open->geometry());
        menus.push_back(QGuiApplication::primaryScreen()->grabWindow(0).copy(area));
        open->close();
        settle(300);
    }
    if (!menus.empty()) {
        int width = 0;
        int height = 0;
        for (const QPixmap& shot : menus) {
            width += shot.width();
            height = std::max(height, shot.height());
        }
        picture = QPixmap(width, height);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        int x = 0;
        for (const QPixmap& shot : menus) {
            painter.drawPixmap(x, 0, shot);
            x += shot.width();
        }
    }
    if (!picture.save(QString::fromLocal8Bit(argv[2]))) return 1;
    window.Presenter().OnEscape();
    return 0;
}
