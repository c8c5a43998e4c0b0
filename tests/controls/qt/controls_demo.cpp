// Shows every custom control in one window; with a file name it saves a picture of the
// window there and quits: velkor_controls_demo [out.png]
#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QTimer>

#include "controls/qt/artwork.h"
#include "controls/qt/flat_combo_box.h"
#include "controls/qt/hyperlink_label.h"
#include "controls/qt/icon_button.h"
#include "controls/qt/status_display.h"

using namespace velkor::qt;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowIcon(ArtworkIcon(kIconChipGrey));
    auto* grid = new QGridLayout(&window);

    auto* banner = new StatusDisplay(&window);
    banner->SetText(QStringLiteral("VelkorISP－AVR系列MCU在线下载软件"));
    grid->addWidget(banner, 0, 0, 1, 4);
    auto* bar = new StatusDisplay(&window);
    bar->SetBar(50);
    grid->addWidget(bar, 1, 0, 1, 4);
    auto* log = new StatusDisplay(&window);
    log->SetText(QStringLiteral("   hex文件已经更新  "));
    grid->addWidget(log, 2, 0, 1, 4);

    for (int bit = 0; bit < 8; ++bit) {
        auto* box = new IconButton(QStringLiteral("LF%1").arg(bit), &window);
        box->SetCheckBoxMode(true);
        box->SetIcons(kIconLampRed, kIconLampGreen);
        box->setChecked(bit % 3 == 0);
        grid->addWidget(box, 3 + bit / 4, bit % 4);
    }
    auto* reset = new IconButton(QStringLiteral("&Reset MCU"), &window);
    reset->SetIcons(kIconResetHand);
    reset->SetBalloonTip(true);
    reset->SetTooltipText(QStringLiteral("复位MCU"));
    grid->addWidget(reset, 5, 0);
    auto* link = new IconButton(QStringLiteral("VelkorISP"), &window);
    link->SetIcons(kIconLink);
    grid->addWidget(link, 5, 1);
    auto* read = new IconButton(QStringLiteral("READ"), &window);
    grid->addWidget(read, 5, 2);
    auto* chips = new FlatComboBox(&window);
    chips->addItems({QStringLiteral("mega8"), QStringLiteral("tiny13")});
    grid->addWidget(chips, 5, 3);
    auto* label = new HyperlinkLabel(QStringLiteral("使用说明"), &window);
    grid->addWidget(label, 6, 0);
    auto* hovered = new HyperlinkLabel(QStringLiteral("Home page"), &window);
    hovered->SetColours(QColor(51, 51, 51), Qt::black, QColor(204, 0, 0));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(hovered, &enter);
    grid->addWidget(hovered, 6, 1);
    int column = 0;
    for (int id : {kIconChipGrey, kIconChipRed, kIconChipGreen, kIconLink}) {
        auto* icon = new IconButton(&window);
        icon->SetIcons(id);
        grid->addWidget(icon, 7, column++);
    }

    window.show();
    if (argc > 1) {
        const QString out = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(100, [&window, &app, out] {
            if (!window.grab().save(out)) qWarning("cannot write %s", qPrintable(out));
            app.quit();
        });
    } else {
        banner->StartScroll(100, ScrollDirection::Left);
    }
    return app.exec();
}
