#include "controls/qt/hyperlink_label.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "controls/qt/link_opener.h"

using velkor::qt::HyperlinkLabel;

class HyperlinkLabelTest : public QObject {
    Q_OBJECT

  private:
    static void Hover(QWidget& w, bool in) {
        if (in) {
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QCoreApplication::sendEvent(&w, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(&w, &leave);
        }
    }

  private slots:
    void UnderlinedInTheHoverColourOnlyWhileHovered() {
        HyperlinkLabel label;
        label.SetLink(QStringLiteral("Home page"), QStringLiteral("https://example.org/"));
        label.SetColours(QColor(51, 51, 51), Qt::black, QColor(204, 0, 0));
        QCOMPARE(label.toolTip(), QStringLiteral("https://example.org/"));
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!label.font().underline());

        Hover(label, true);
        QVERIFY(label.font().underline());
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(204, 0, 0));
        Hover(label, false);
        QVERIFY(!label.font().underline());
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(51, 51, 51));
    }

    void OpenedLinkTurnsVisitedAndAFailureExplainsItself() {
        QWidget window;
        auto* label = new HyperlinkLabel(QStringLiteral("manual.chm"), &window);
        QCOMPARE(label->Link(), QStringLiteral("manual.chm"));  // the caption is the target
        int result = 2;
        label->SetLinkOpener([&](const QString&) { return result; });

        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!label->IsVisited());
        auto* box = window.findChild<QMessageBox*>();
        QVERIFY(box);
        QCOMPARE(box->text(),
                 QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
        box->close();

        result = 42;
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(label->IsVisited());
        QCOMPARE(label->TextColour(), QColor(85, 26, 139));
    }

    void MissingFilesAndFoldersGiveTheShellsCodes() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(velkor::qt::OpenLinkWithDesktop(dir.filePath(QStringLiteral("none.htm"))), 2);
        QCOMPARE(velkor::qt::OpenLinkWithDesktop(dir.filePath(QStringLiteral("no/none.htm"))), 3);
        const QString url =
            QUrl::fromLocalFile(dir.filePath(QStringLiteral("none.htm"))).toString();
        QCOMPARE(velkor::qt::OpenLinkWithDesktop(url), 2);
    }

    void RightAlignedLabelKeepsItsRightEdge() {
        HyperlinkLabel label;
        label.setAlignment(Qt::AlignRight | Qt::AlignTop);
        label.setGeometry(10, 10, 300, 20);
        label.SetLink(QStringLiteral("VelkorISP"), QString());
        QCOMPARE(label.geometry().right(), 309);
        QVERIFY(label.width() < 300);
    }
};

QTEST_MAIN(HyperlinkLabelTest)
#include "hyperlink_label_test.moc"
