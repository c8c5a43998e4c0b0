// The main window's Qt view: clicks as a user makes them reach the presenter and the engine,
// the engine's messages come back through the event queue, and the template's controls are
// laid out without overlapping or clipping.
#include "app/qt/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>

#include "app/main_window_template.h"
#include "controls/qt/status_display.h"
#include "devices/chip_table.h"
#include "devices/fuse_panel.h"
#include "station/station.h"

namespace velkor::qt {

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    template <typename T>
    static T* Find(QWidget& window, int id) {
        T* widget = window.findChild<T*>(QString::number(id));
        if (widget == nullptr) qFatal("control %d missing", id);
        return widget;
    }
    static void Click(QWidget& window, int id) {
        QTest::mouseClick(Find<QAbstractButton>(window, id), Qt::LeftButton);
    }
    // A simulated mega8 selected and a 96-byte image (byte i = i ^ 0x5A) to program.
    std::string Settings(const QTemporaryDir& dir) {
        const std::string hex = dir.filePath(QStringLiteral("app.hex")).toStdString();
        std::ofstream file(hex);
        for (int address = 0; address < 96; address += 16) {
            unsigned sum = 16 + address;
            char text[64];
            std::snprintf(text, sizeof text, ":10%04X00", address);
            file << text;
            for (int i = 0; i < 16; ++i) {
                const unsigned value = (address + i) ^ 0x5A;
                sum += value;
                std::snprintf(text, sizeof text, "%02X", value);
                file << text;
            }
            std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
            file << text;
        }
        file << ":00000001FF\n";
        const std::string ini = dir.filePath(QStringLiteral("velkor.ini")).toStdString();
        std::ofstream(ini) << "[SIMULATOR]\nEnabled=1\nChip=mega8\n[DEVICE]\nTYPE=0\nID="
                           << FindChipByName(kFamilyAvr, "mega8") << "\nFUSE0=225\nFUSE1=217\n"
                           << "[FLASH]\nFILE=" << hex
                           << "\n[PROGCMD]\nWriteFlash=1\nErase=1\nVerify=1\nCheckId=1\n";
        return ini;
    }
    // The width a control's caption needs to show whole: indicator, spacing and text for check
    // boxes and radios, text and margins for a plain push button (whose size hint is a
    // style's minimum, not what the text needs), the control's own size hint otherwise.
    static int NeededWidth(QWidget* widget) {
        QStyle* style = widget->style();
        if (qobject_cast<QCheckBox*>(widget) != nullptr ||
            qobject_cast<QRadioButton*>(widget) != nullptr) {
            const bool radio = qobject_cast<QRadioButton*>(widget) != nullptr;
            return style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                            : QStyle::PM_IndicatorWidth) +
                   style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                            : QStyle::PM_CheckBoxLabelSpacing) +
                   widget->fontMetrics().horizontalAdvance(
                       static_cast<QAbstractButton*>(widget)->text().remove(QLatin1Char('&')));
        }
        if (widget->metaObject() == &QPushButton::staticMetaObject) {
            return widget->fontMetrics().horizontalAdvance(
                       static_cast<QPushButton*>(widget)->text().remove(QLatin1Char('&'))) +
                   2 * style->pixelMetric(QStyle::PM_ButtonMargin);
        }
        const bool texty = qobject_cast<QAbstractButton*>(widget) != nullptr ||
                           qobject_cast<QLabel*>(widget) != nullptr;
        return texty ? widget->sizeHint().width() : 0;
    }
    static bool Saved(const std::string& ini) {
        std::ifstream file(ini);
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        return text.find("WriteEEPROM") != std::string::npos;
    }

  private slots:
    void ProgramClickRunsOnTheWorkerAndTheLogAndDisplayFollow() {
        QTemporaryDir dir;
        Station station;
        MainWindow window(station, Settings(dir));
        window.Start();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.windowTitle().contains(QStringLiteral("simulator: mega8")));
        auto* display = Find<StatusDisplay>(window, kStatusDisplayId);
        QVERIFY(display->IsScrolling());

        Click(window, kProgramButtonId);
        QCOMPARE(window.IconId(), kIconRunning);
        QVERIFY(!Find<QPushButton>(window, kProgramButtonId)->isEnabled());
        QVERIFY(!window.findChild<QAction*>(QString::number(kMenuOscCal))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Presenter().RunGoing(), 30000);

        QCOMPARE(window.IconId(), kIconIdle);
        QVERIFY(Find<QPushButton>(window, kProgramButtonId)->isEnabled());
        const QString log = Find<QPlainTextEdit>(window, kLogBoxId)->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("完成.")) && log.endsWith(QStringLiteral("退出")),
                 qPrintable(log));
        QVERIFY(!log.contains(QLatin1Char('\r')));
        QVERIFY(!display->IsScrolling());
        bool lit = false;
        for (int column = 0; column < 120 && !lit; ++column) lit = display->Model().Lit(column, 5);
        QVERIFY(lit);
        const std::vector<std::uint8_t>& flash = window.Presenter().Port()->Bench()->Avr()->Flash();
        for (int i = 0; i < 96; ++i) QCOMPARE(int(flash[i]), i ^ 0x5A);

        // File > Save Flash…: the save dialog offers "mega8-flash.hex" beside the HEX file, and
        // its OK reads the chip back into that file.
        QString filters;
        QTimer::singleShot(0, [&] {
            auto* dialog = window.findChild<QFileDialog*>(QStringLiteral("saveFileDialog"));
            if (dialog == nullptr) return;
            filters = dialog->nameFilters().join(QLatin1Char('|'));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        window.findChild<QAction*>(QString::number(kMenuSaveFlash))->trigger();
        QCOMPARE(filters.right(7), QStringLiteral("(*.hex)"));
        QTRY_VERIFY_WITH_TIMEOUT(!window.Presenter().RunGoing(), 30000);
        std::ifstream saved(dir.filePath(QStringLiteral("mega8-flash.hex")).toStdString());
        std::string first;
        std::getline(saved, first);
        QCOMPARE(QString::fromStdString(first).trimmed(),
                 QStringLiteral(":100000005A5B58595E5F5C5D525350515657545578"));
    }

    void FamilySwitchFuseBoxAndWizardFollowTheEngine() {
        QTemporaryDir dir;
        Station station;
        MainWindow window(station, Settings(dir));
        window.Start();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        Click(window, kAt89RadioId);
        QVERIFY(Find<QWidget>(window, kFirstFuseBoxId)->isHidden());
        QCOMPARE(Find<QGroupBox>(window, kFuseGroupId)->title(), QString());
        Click(window, kAvrRadioId);
        QVERIFY(!Find<QWidget>(window, kFirstFuseBoxId)->isHidden());

        // CKSEL1: the byte changes, the box shows it and the wizard's source moves.
        auto* clock = Find<QComboBox>(window, kClockListId);
        const int source = clock->currentIndex();
        const std::uint8_t low = station.Options().fuseLow;
        Click(window, kFirstFuseBoxId + 1);
        QCOMPARE(int(station.Options().fuseLow), low ^ 0x02);
        QCOMPARE(Find<QAbstractButton>(window, kFirstFuseBoxId + 1)->isChecked(),
                 (station.Options().fuseLow & 0x02) == 0);
        QVERIFY(clock->currentIndex() != source);
        // Every entry shows whole, those written with a tab too.
        const QFontMetrics metrics(clock->view()->font());
        for (int i = 0; i < clock->count(); ++i) {
            QVERIFY(!clock->itemText(i).contains(QLatin1Char('\t')));
            QVERIFY(metrics.horizontalAdvance(clock->itemText(i)) < clock->view()->minimumWidth());
        }

        // Enter starts nothing.
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(!window.Presenter().RunGoing());
        QVERIFY(window.isVisible());
    }

    void EscapeSkipsTheSettingsAndClosingDuringARunWaitsForIt() {
        QTemporaryDir dir;
        const std::string ini = Settings(dir);
        {
            Station station;
            MainWindow window(station, ini);
            window.Start();
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), int(QDialog::Rejected));
            QVERIFY(!Saved(ini));
        }
        Station station;
        MainWindow window(station, ini);
        window.Start();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Click(window, kProgramButtonId);
        window.close();
        QVERIFY(window.isVisible());  // waits for the run
        QVERIFY(window.Presenter().Port() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
        QVERIFY(window.Presenter().Ended());
        QVERIFY(Saved(ini));
    }

    void ControlsNeitherOverlapNorClipTheirCaptions() {
        QTemporaryDir dir;
        Station station;
        MainWindow window(station, Settings(dir));
        window.Start();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<QWidget*> shown;
        for (const MainControl& c : MainTemplate().controls) {
            if (c.id == kNoControlId || c.kind == MainControlKind::GroupBox) continue;
            QWidget* widget = Find<QWidget>(window, c.id);
            if (widget->isHidden()) continue;
            for (QWidget* other : shown) {
                QVERIFY2(!widget->geometry().intersects(other->geometry()),
                         qPrintable(widget->objectName() + QStringLiteral(" overlaps ") +
                                    other->objectName()));
            }
            shown.push_back(widget);
            QVERIFY2(NeededWidth(widget) <= widget->width(),
                     qPrintable(widget->objectName() + QStringLiteral(" clips its caption")));
            QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()),
                     qPrintable(widget->objectName() + QStringLiteral(" leaves the window")));
        }
        QCOMPARE(shown.size(), 16 + 26);  // mega8 names 16 fuse bits
    }
};

}  // namespace velkor::qt

QTEST_MAIN(velkor::qt::MainWindowTest)
#include "main_window_test.moc"
