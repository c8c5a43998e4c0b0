// The option dialogs' Qt windows: typing and clicking as a user does reaches the settings, and
// every control's text fits the place the template gives it in the dialog's font.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <cstring>

#include "app/qt/calibration_dialog.h"
#include "app/qt/lock_dialog.h"
#include "app/qt/speed_dialog.h"
#include "devices/chip_table.h"
#include "engine/isp_programmer.h"

namespace velkor::qt {

class OptionDialogsTest : public QObject {
    Q_OBJECT

  private:
    template <typename T>
    static T* Find(QDialog& dialog, int id) {
        T* widget = dialog.findChild<T*>(ControlName(id));
        if (widget == nullptr) qFatal("control %d missing", id);
        return widget;
    }
    static void Type(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    static void Click(QDialog& dialog, int id) {
        QTest::mouseClick(Find<QAbstractButton>(dialog, id), Qt::LeftButton);
    }
    // Each text fits its control as laid out: a clipped caption shows as a narrower place than
    // the control asks for.
    static void CheckNothingClipped(QDialog& dialog) {
        for (auto* widget : dialog.findChildren<QWidget*>()) {
            const bool texty = qobject_cast<QAbstractButton*>(widget) != nullptr ||
                               qobject_cast<QLabel*>(widget) != nullptr;
            if (!texty || widget->isHidden()) continue;
            const QSize wanted = widget->sizeHint();
            QVERIFY2(wanted.width() <= widget->width(),
                     qPrintable(widget->objectName() + QStringLiteral(" is too narrow")));
        }
        if (qEnvironmentVariableIsSet("VELKOR_DIALOG_SHOTS")) {
            dialog.grab().save(qEnvironmentVariable("VELKOR_DIALOG_SHOTS") + QLatin1Char('/') +
                               dialog.objectName() + QStringLiteral(".png"));
        }
    }

  private slots:
    void CalibrationAddressTypedReachesTheEngine() {
        ProgrammerSettings settings;
        for (std::uint32_t i = 0; i < kChipTableRows; ++i) {
            if (ChipTable[i].name != nullptr && std::strcmp(ChipTable[i].name, "mega8") == 0) {
                settings.chipIndex = i;
            }
        }
        CalibrationDialog dialog(settings, {0xA1, 0xB2, 0xC3, 0xD4}, nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("校准字节设置"));
        QCOMPARE(Find<QLineEdit>(dialog, 1032)->text(), QStringLiteral("0x1fff"));
        QCOMPARE(Find<QLineEdit>(dialog, 1070)->text(), QStringLiteral("0xc3"));
        CheckNothingClipped(dialog);
        Click(dialog, 1067);
        Click(dialog, 1073);
        Type(Find<QLineEdit>(dialog, 1032), "0x1f0");
        Click(dialog, 1001);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings.calibrationAddress, 0x1F0u);
        QCOMPARE(settings.calibrationSaveLocation, 1);
        QCOMPARE(settings.calibrationSelect, 3);
    }

    void LockByteTypedReachesTheEngineAndConvertRewritesIt() {
        ProgrammerSettings settings;
        settings.customLockByte = 0xFC;
        LockDialog dialog(settings, nullptr);
        dialog.show();
        CheckNothingClipped(dialog);
        auto* edit = Find<NumericEdit>(dialog, 1000);
        std::unique_ptr<QMenu> menu(edit->CreateContextMenu());
        QAction* convert = menu->actions().first();
        QCOMPARE(convert->text(), QStringLiteral("Con&vert"));
        QVERIFY(convert->isEnabled());
        convert->trigger();
        QCOMPARE(edit->text(), QStringLiteral("252"));
        Type(edit, "0x");
        menu.reset(edit->CreateContextMenu());
        QVERIFY(!menu->actions().first()->isEnabled());

        Click(dialog, 1065);
        Type(edit, "0x3c");
        QTest::keyClick(edit, Qt::Key_Return);  // the default button, "确定"
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings.lockSelect, 1);
        QCOMPARE(settings.customLockByte, 0x3C);
    }

    void SpeedSliderReachesTheEngineAndEscapeWritesNothing() {
        ProgrammerSettings settings;
        settings.userPortDelay = 40;
        {
            SpeedDialog dialog(settings, nullptr);
            dialog.show();
            auto* slider = Find<QSlider>(dialog, 1073);
            QVERIFY(slider->isHidden());
            QVERIFY(Find<QRadioButton>(dialog, 1066)->isHidden());
            Click(dialog, 1065);
            QVERIFY(slider->isVisible());
            CheckNothingClipped(dialog);
            QTest::keyClick(slider, Qt::Key_End);
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(settings.userPortDelay, 40u);
            QCOMPARE(settings.speedSelection, 0u);
        }
        SpeedDialog dialog(settings, nullptr);
        dialog.show();
        Click(dialog, 1065);
        auto* slider = Find<QSlider>(dialog, 1073);
        QCOMPARE(slider->value(), 40);
        QTest::keyClick(slider, Qt::Key_End);
        Click(dialog, 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(settings.speedSelection, 1u);
        QCOMPARE(settings.userPortDelay, 255u);
    }
};

}  // namespace velkor::qt

QTEST_MAIN(velkor::qt::OptionDialogsTest)
#include "option_dialogs_test.moc"
