// The window's pictures, checked by their pixels.

#include "pictures/Pictures.h"
#include "common/RuntimeError.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// The standard 16-colour palette in its usual order; the pictures name five.
constexpr QRgb kPalette[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};
constexpr QRgb kBlack = kPalette[0];
constexpr QRgb kOlive = kPalette[3];
constexpr QRgb kGrey = kPalette[8];
constexpr QRgb kYellow = kPalette[11];
constexpr QRgb kWhite = kPalette[15];

bool Opaque(const QImage &image, int x, int y) { return qAlpha(image.pixel(x, y)) == 255; }
QRgb Colour(const QImage &image, int x, int y) { return image.pixel(x, y) | 0xff000000u; }
bool Lit(const QImage &image, int x, int y)
{
    return Opaque(image, x, y) && (Colour(image, x, y) == kYellow || Colour(image, x, y) == kWhite);
}
// The disc itself: lit or dark, not the shadow line.
bool InDisc(const QImage &image, int x, int y)
{
    return Opaque(image, x, y) && Colour(image, x, y) != kGrey;
}

// The disc's extent, found from the pixels, so the checks do not copy the
// drawing's own geometry.
struct Disc {
    int left, right, top, bottom; // inclusive
    double centreX() const { return (left + right + 1) / 2.0; }
    double centreY() const { return (top + bottom + 1) / 2.0; }
    int mirrorX(int x) const { return left + right - x; }
};

Disc FindDisc(const QImage &image)
{
    Disc d{image.width(), -1, image.height(), -1};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (InDisc(image, x, y)) {
                d.left = std::min(d.left, x);
                d.right = std::max(d.right, x);
                d.top = std::min(d.top, y);
                d.bottom = std::max(d.bottom, y);
            }
    return d;
}

struct Counts {
    int disc = 0, lit = 0, litLeft = 0, litRight = 0, discLeft = 0, discRight = 0;
};

Counts Count(const QImage &image)
{
    const Disc d = FindDisc(image);
    Counts c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (!InDisc(image, x, y))
                continue;
            const bool left = x + 0.5 < d.centreX();
            ++c.disc;
            ++(left ? c.discLeft : c.discRight);
            if (Lit(image, x, y)) {
                ++c.lit;
                ++(left ? c.litLeft : c.litRight);
            }
        }
    return c;
}

// In every row, the pixels of `wanted` (lit or dark) touch the disc's edge on
// the given side and form one unbroken run from it.
bool RunsFromEdge(const QImage &image, bool wanted, bool fromRight)
{
    for (int y = 0; y < image.height(); ++y) {
        QList<int> xs;
        for (int x = 0; x < image.width(); ++x)
            if (InDisc(image, x, y))
                xs.append(x);
        if (fromRight)
            std::reverse(xs.begin(), xs.end());
        bool inRun = true;
        for (int x : xs) {
            const bool match = Lit(image, x, y) == wanted;
            if (match && !inRun)
                return false;
            if (!match)
                inRun = false;
        }
    }
    return true;
}

const QList<int> kSunSizes{16, 32, 48, 128, 256};

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void everyPictureIsTransparentAtTheCornersAndUsesThePalette();
    void newAndFullMoon();
    void quartersLightOneHalf();
    void crescentsAreNarrowMirrorImagesAtTheEdge();
    void gibbousMoonsHaveTheirDarkCrescentOnTheProperSide();
    void shadowLineOnlyInTheLargePicture();
    void litPartIsACheckerboardOfYellowAndWhite();
    void sunHasShadedDiscRingAndEightRays();
    void badIndexOrSizeRaises();
    void imageListAndIconsCarryBothSizes();
};

void TestPictures::everyPictureIsTransparentAtTheCornersAndUsesThePalette()
{
    const QSet<QRgb> palette(std::begin(kPalette), std::end(kPalette));
    QList<std::pair<QString, QImage>> pictures;
    for (int size : {16, 32})
        for (int index = 1; index <= 8; ++index)
            pictures.append({QStringLiteral("moon %1 at %2").arg(index).arg(size), DrawMoonImage(index, size)});
    for (int size : kSunSizes)
        pictures.append({QStringLiteral("sun at %1").arg(size), DrawSunImage(size)});

    for (const auto &[name, image] : pictures) {
        QVERIFY2(image.width() == image.height(), qPrintable(name));
        QCOMPARE(image.format(), QImage::Format_ARGB32);
        const int last = image.width() - 1;
        for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
            QVERIFY2(qAlpha(image.pixel(x, y)) == 0, qPrintable(name));
        int opaque = 0;
        for (int y = 0; y <= last; ++y)
            for (int x = 0; x <= last; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                // A mask, not blending: each pixel is either in or out.
                QVERIFY2(alpha == 0 || alpha == 255, qPrintable(name));
                if (alpha == 255) {
                    ++opaque;
                    QVERIFY2(palette.contains(Colour(image, x, y)),
                             qPrintable(QStringLiteral("%1: pixel %2,%3 is #%4")
                                            .arg(name)
                                            .arg(x)
                                            .arg(y)
                                            .arg(Colour(image, x, y), 8, 16)));
                }
            }
        QVERIFY2(opaque > image.width() * image.width() / 4, qPrintable(name));
    }
}

void TestPictures::newAndFullMoon()
{
    for (int size : {16, 32}) {
        const QImage dark = DrawMoonImage(1, size);
        const Counts newMoon = Count(dark);
        QCOMPARE(newMoon.lit, 0);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                QVERIFY(!InDisc(dark, x, y) || Colour(dark, x, y) == kBlack);
        QVERIFY(newMoon.disc > size * size / 2);

        const Counts full = Count(DrawMoonImage(5, size));
        QCOMPARE(full.lit, full.disc);
        QCOMPARE(full.disc, newMoon.disc);
    }
}

void TestPictures::quartersLightOneHalf()
{
    for (int size : {16, 32}) {
        const Counts first = Count(DrawMoonImage(3, size));
        QCOMPARE(first.discLeft, first.discRight);
        QCOMPARE(first.litLeft, 0);
        QCOMPARE(first.litRight, first.discRight);

        const Counts last = Count(DrawMoonImage(7, size));
        QCOMPARE(last.litRight, 0);
        QCOMPARE(last.litLeft, last.discLeft);
    }
}

void TestPictures::crescentsAreNarrowMirrorImagesAtTheEdge()
{
    for (int size : {16, 32}) {
        const QImage waxing = DrawMoonImage(2, size);
        const QImage waning = DrawMoonImage(8, size);
        const Disc disc = FindDisc(waxing);
        const Counts c = Count(waxing);
        QVERIFY2(c.lit > 0 && c.lit < c.disc / 4, qPrintable(QString::number(c.lit)));
        QCOMPARE(c.litLeft, 0);
        QVERIFY(RunsFromEdge(waxing, true, /*fromRight=*/true));
        QVERIFY(RunsFromEdge(waning, true, /*fromRight=*/false));
        for (int y = 0; y < size; ++y)
            for (int x = disc.left; x <= disc.right; ++x)
                QVERIFY2(Lit(waxing, x, y) == Lit(waning, disc.mirrorX(x), y),
                         qPrintable(QStringLiteral("size %1 at %2,%3").arg(size).arg(x).arg(y)));
    }
}

void TestPictures::gibbousMoonsHaveTheirDarkCrescentOnTheProperSide()
{
    for (int size : {16, 32}) {
        const QImage waxing = DrawMoonImage(4, size);
        const QImage waning = DrawMoonImage(6, size);
        const Counts w = Count(waxing);
        QVERIFY(w.lit > w.disc * 3 / 4 && w.lit < w.disc);
        QCOMPARE(w.litRight, w.discRight); // the dark part is all on the left
        QVERIFY(RunsFromEdge(waxing, false, /*fromRight=*/false));

        const Counts n = Count(waning);
        QCOMPARE(n.lit, w.lit);
        QCOMPARE(n.litLeft, n.discLeft);
        QVERIFY(RunsFromEdge(waning, false, /*fromRight=*/true));
    }
    // Phases grow and shrink in order: the lit area rises from new to full.
    const int sizes[] = {16, 32};
    for (int size : sizes) {
        int previous = -1;
        for (int index = 1; index <= 5; ++index) {
            const int lit = Count(DrawMoonImage(index, size)).lit;
            QVERIFY2(lit > previous, qPrintable(QStringLiteral("picture %1").arg(index)));
            previous = lit;
        }
    }
}

void TestPictures::shadowLineOnlyInTheLargePicture()
{
    for (int index = 1; index <= 8; ++index) {
        const QImage large = DrawMoonImage(index, 32);
        const Disc disc = FindDisc(large);
        int grey = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                if (!Opaque(large, x, y) || Colour(large, x, y) != kGrey)
                    continue;
                ++grey;
                // Along the lower right, just outside the disc, none on the upper left.
                QVERIFY(x + 0.5 > disc.centreX() || y + 0.5 > disc.centreY());
                QVERIFY(x > 0 && y > 0 && InDisc(large, x - 1, y - 1));
            }
        QVERIFY2(grey >= 20, qPrintable(QString::number(grey)));

        const QImage small = DrawMoonImage(index, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                QVERIFY(!Opaque(small, x, y) || Colour(small, x, y) != kGrey);
    }
}

void TestPictures::litPartIsACheckerboardOfYellowAndWhite()
{
    for (int size : {16, 32})
        for (int index : {2, 3, 5, 6}) {
            const QImage image = DrawMoonImage(index, size);
            int yellow = 0, white = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    if (!Lit(image, x, y))
                        continue;
                    ++(Colour(image, x, y) == kYellow ? yellow : white);
                    if (x + 1 < size && Lit(image, x + 1, y))
                        QVERIFY(Colour(image, x, y) != Colour(image, x + 1, y));
                    if (y + 1 < size && Lit(image, x, y + 1))
                        QVERIFY(Colour(image, x, y) != Colour(image, x, y + 1));
                }
            QVERIFY(yellow > 0 && white > 0);
            QVERIFY(std::abs(yellow - white) <= size);
        }
}

void TestPictures::sunHasShadedDiscRingAndEightRays()
{
    constexpr double pi = 3.14159265358979323846;
    for (int size : kSunSizes) {
        const QImage sun = DrawSunImage(size);
        const double c = size / 2.0;
        const auto at = [&](double angleDegrees, double radius) {
            const double a = angleDegrees * pi / 180.0;
            const int x = int(std::floor(c + radius * std::cos(a)));
            const int y = int(std::floor(c + radius * std::sin(a)));
            return Opaque(sun, x, y) ? Colour(sun, x, y) : QRgb(0);
        };
        const QString where = QStringLiteral("sun at %1").arg(size);
        QCOMPARE(at(-45, 0.15 * size), kYellow); // upper left of the disc: bright
        QCOMPARE(at(45, 0.2 * size), kOlive);    // lower right of the disc: shaded
        for (int angle = 0; angle < 360; angle += 30)
            QVERIFY2(at(angle, 0.3 * size) == kWhite, qPrintable(where)); // the ring all round
        // Two rays on each side: none straight up, down or sideways, none
        // into the corners.
        for (int ray = 0; ray < 8; ++ray) {
            QVERIFY2(at(22.5 + 45 * ray, 0.4 * size) == kYellow, qPrintable(where));
            QVERIFY2(at(45 * ray, 0.42 * size) == QRgb(0), qPrintable(where));
        }
        // Pointed: a ray is narrower towards its tip.
        if (size >= 32) {
            const auto width = [&](double radius) {
                int n = 0;
                for (int y = 0; y < size; ++y)
                    for (int x = int(c); x < size; ++x) {
                        const double dx = x + 0.5 - c, dy = y + 0.5 - c;
                        const double r = std::hypot(dx, dy);
                        const double angle = std::atan2(dy, dx) * 180.0 / pi;
                        if (std::abs(r - radius) < 0.5 && std::abs(angle - 22.5) < 22.5
                            && Opaque(sun, x, y))
                            ++n;
                    }
                return n;
            };
            QVERIFY2(width(0.36 * size) > width(0.46 * size), qPrintable(where));
        }
    }
}

void TestPictures::badIndexOrSizeRaises()
{
    for (int index : {0, 9, -1}) {
        try {
            DrawMoonImage(index, 16);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.description(), QStringLiteral("Subscript out of range: image %1").arg(index));
        }
    }
    for (int size : {0, 8, 15, 2048}) {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, DrawMoonImage(1, size));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, DrawSunImage(size));
    }
}

void TestPictures::imageListAndIconsCarryBothSizes()
{
    const ImageList list;
    QCOMPARE(list.Count(), 8);
    for (int index : {0, 9}) {
        try {
            list.Picture(index);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.description(), QStringLiteral("Subscript out of range: image %1").arg(index));
        }
    }
    QList<QIcon> icons{SunIcon()};
    for (int index = 1; index <= 8; ++index) {
        icons.append(list.Picture(index));
        icons.append(MoonIcon(index));
    }
    for (const QIcon &icon : icons) {
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
    }
    // Each list entry is its own phase, both sizes as drawn.
    for (int index = 1; index <= 8; ++index)
        for (int size : {16, 32}) {
            const QImage fromIcon = list.Picture(index).pixmap(QSize(size, size)).toImage().convertToFormat(
                QImage::Format_ARGB32);
            QCOMPARE(fromIcon, DrawMoonImage(index, size));
        }
    const QImage sun = SunIcon().pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(sun, DrawSunImage(32));
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
