#include "controls/qt/icon_button.h"

#include <QtTest>

#include "controls/qt/artwork.h"

using velkor::qt::IconButton;

class IconButtonTest : public QObject {
    Q_OBJECT

  private:
    // The colour at the middle of the lamp (the button has no caption, so the icon is centred).
    static QColor LampColour(IconButton& b) {
        const QImage image = b.grab().toImage();
        return image.pixelColor(b.width() / 2 + 1, b.height() / 2 + 3);
    }

  private slots:
    void ArtworkLoadsAtItsOwnSizes() {
        for (int id : {128, 130, 131, 140, 145, 150, 151}) {
            const QIcon icon = velkor::qt::ArtworkIcon(id);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(id)));
            QVERIFY(icon.availableSizes().contains(velkor::qt::ArtworkIconSize(id)));
        }
        QVERIFY(velkor::qt::ArtworkIcon(145).availableSizes().contains(QSize(16, 16)));
        QVERIFY(velkor::qt::ArtworkIcon(129).isNull());
        QCOMPARE(velkor::qt::ArtworkBitmap(135).size(), QSize(6, 3));
    }

    void CheckBoxClickSwapsTheLamps() {
        QWidget parent;
        IconButton box(&parent);
        box.resize(24, 24);
        box.SetCheckBoxMode(true);
        box.SetIcons(velkor::qt::kIconLampRed, velkor::qt::kIconLampGreen);
        QSignalSpy clicks(&box, &QAbstractButton::clicked);

        QCOMPARE(box.ShownIcon(), 2);
        QColor c = LampColour(box);
        QVERIFY2(c.green() > 2 * c.red(), qPrintable(c.name()));

        QTest::mouseClick(&box, Qt::LeftButton);
        QVERIFY(box.isChecked());
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(box.ShownIcon(), 1);
        c = LampColour(box);
        QVERIFY2(c.red() > 2 * c.green(), qPrintable(c.name()));

        box.setChecked(false);  // the parent sets the state: the lamp follows
        QCOMPARE(box.ShownIcon(), 2);
        c = LampColour(box);
        QVERIFY2(c.green() > 2 * c.red(), qPrintable(c.name()));
    }

    void HoverShowsThePushButtonsFirstIconOnlyInTheFlatLook() {
        IconButton button;
        button.SetIcons(velkor::qt::kIconChipRed, velkor::qt::kIconChipGrey);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(&button, &enter);
        QVERIFY(button.IsHovered());
        QCOMPARE(button.ShownIcon(), 1);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
        QCOMPARE(button.ShownIcon(), 2);

        button.SetFlatLook(false);
        QCoreApplication::sendEvent(&button, &enter);
        QVERIFY(!button.IsHovered());
    }

    void PushClickOpensTheLinkButACheckBoxDoesNot() {
        IconButton button(QStringLiteral("site"));
        QStringList opened;
        button.SetLinkOpener([&](const QString& target) {
            opened << target;
            return 2;  // a failure stays silent
        });
        button.SetLink(QStringLiteral("https://example.org/"));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(opened, QStringList{QStringLiteral("https://example.org/")});

        button.SetCheckBoxMode(true);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
    }
};

QTEST_MAIN(IconButtonTest)
#include "icon_button_test.moc"
