// The pictures on a high-density screen: where a 16 x 16 picture is asked
// for at device pixel ratio 2, the icons give their 32 x 32 drawing instead
// of the small one scaled up.
#include "pictures/Pictures.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QtTest>

namespace {

// The pixels alone: the ratio is checked on its own.
QImage Pixels(const QPixmap &pixmap)
{
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1.0);
    return image;
}

} // namespace

class PicturesHiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void iconsGiveTheirLargeDrawingAtRatioTwo_data()
    {
        QTest::addColumn<int>("moon"); // 0: the sun
        QTest::newRow("sun") << 0;
        for (int index = 1; index <= 8; ++index)
            QTest::newRow(qPrintable(QStringLiteral("moon %1").arg(index))) << index;
    }

    void iconsGiveTheirLargeDrawingAtRatioTwo()
    {
        QFETCH(int, moon);
        const ImageList list;
        QList<QIcon> icons;
        if (moon == 0)
            icons << SunIcon();
        else
            icons << MoonIcon(moon) << list.Picture(moon);
        const QImage large = moon == 0 ? DrawSunImage(32) : DrawMoonImage(moon, 32);
        const QImage small = moon == 0 ? DrawSunImage(16) : DrawMoonImage(moon, 16);

        for (const QIcon &icon : icons) {
            const QPixmap sharp = icon.pixmap(QSize(16, 16), 2.0);
            QCOMPARE(sharp.size(), QSize(32, 32));
            QCOMPARE(sharp.devicePixelRatio(), 2.0);
            // The same 16 x 16 area on screen, drawn with every device pixel.
            QCOMPARE(sharp.deviceIndependentSize(), QSizeF(16, 16));
            QCOMPARE(Pixels(sharp), large);

            // At ratio 1 nothing changes: the small drawing, as drawn.
            const QPixmap plain = icon.pixmap(QSize(16, 16), 1.0);
            QCOMPARE(plain.devicePixelRatio(), 1.0);
            QCOMPARE(Pixels(plain), small);

            // 32 at ratio 2 has no larger drawing to use: the 32 x 32 drawing
            // as it is, never a blurred enlargement.
            const QPixmap big = icon.pixmap(QSize(32, 32), 2.0);
            QCOMPARE(Pixels(big), large);
        }
    }
};

QTEST_MAIN(PicturesHiDpiTest)
#include "tst_pictures_hidpi.moc"
