#include "controls/qt/status_display.h"

#include <QtTest>

using velkor::qt::ScrollDirection;
using velkor::qt::StatusDisplay;

class StatusDisplayTest : public QObject {
    Q_OBJECT

  private:
    static QColor DotColour(StatusDisplay& d, int column, int row, int dx = 1, int dy = 1) {
        const QImage image = d.grab().toImage();
        return image.pixelColor(StatusDisplay::CellOrigin(column, row) + QPoint(dx, dy));
    }

  private slots:
    void DrawsLitAndDarkDotsInTheirColours() {
        StatusDisplay display;
        QCOMPARE(display.size(), QSize(364, 40));
        display.SetBar(50);
        QCOMPARE(DotColour(display, 49, 11), QColor(255, 60, 0));
        QCOMPARE(DotColour(display, 49, 11, 2, 2), QColor(255, 60, 0));
        QCOMPARE(DotColour(display, 50, 0), QColor(103, 30, 0));
        QCOMPARE(DotColour(display, 119, 11, 2, 2), QColor(103, 30, 0));
        // Each cell's top row and left column are background.
        QCOMPARE(DotColour(display, 49, 11, 0, 1), QColor(0, 0, 0));
        QCOMPARE(DotColour(display, 49, 11, 1, 0), QColor(0, 0, 0));

        display.SetColours(Qt::black, QColor(0, 200, 0), QColor(0, 40, 0));
        QCOMPARE(DotColour(display, 0, 0), QColor(0, 200, 0));
    }

    void DrawsChineseTextInsideItsColumns() {
        StatusDisplay display;
        display.SetText(QStringLiteral("中a"));
        const auto& model = display.Model();
        int wide = 0, narrow = 0, beyond = 0;
        for (int row = 0; row < 12; ++row) {
            for (int column = 0; column < 120; ++column) {
                if (!model.Lit(column, row)) continue;
                (column < 12 ? wide : column < 18 ? narrow : beyond)++;
            }
        }
        // The ideograph has many strokes, the letter a few, and nothing follows them.
        QVERIFY2(wide >= 20, qPrintable(QString::number(wide)));
        QVERIFY(narrow >= 4 && narrow < wide);
        QCOMPARE(beyond, 0);
    }

    void NarrowLettersKeepBothStrokesInSixColumns() {
        // A face whose Latin letters are wider than 6 pixels loses their right stroke.
        StatusDisplay display;
        for (const char* letter : {"H", "V", "M"}) {
            display.SetText(QString::fromLatin1(letter));
            int left = 0, right = 0;
            for (int row = 0; row < 12; ++row) {
                for (int column = 0; column < 6; ++column) {
                    if (display.Model().Lit(column, row)) (column < 3 ? left : right)++;
                }
            }
            QVERIFY2(right >= 4 && std::abs(left - right) <= 3,
                     qPrintable(QStringLiteral("%1 %2 %3").arg(letter).arg(left).arg(right)));
        }
    }

    void ScrollsOnItsTimerUntilStopped() {
        StatusDisplay display;
        display.SetText(QStringLiteral("VelkorISP"));
        display.StartScroll(20, ScrollDirection::Right);
        QVERIFY(display.IsScrolling());
        QTRY_VERIFY(display.Model().ScrollOffset() != 0);
        // Moving right: the offset goes negative, two columns a tick.
        QVERIFY(display.Model().ScrollOffset() < 0);
        QCOMPARE(display.Model().ScrollOffset() % 2, 0);
        display.StopScroll();
        const int offset = display.Model().ScrollOffset();
        QTest::qWait(30);
        QCOMPARE(display.Model().ScrollOffset(), offset);
    }
};

QTEST_MAIN(StatusDisplayTest)
#include "status_display_test.moc"
