#include "pictures/Pictures.h"

#include "common/RuntimeError.h"

#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

// The colours the pictures use, all from the standard 16-colour palette.
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kGrey = qRgb(128, 128, 128);
constexpr QRgb kOlive = qRgb(128, 128, 0);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

constexpr int kMoonPictures = 8;
constexpr int kSmallestSize = 16;
constexpr int kLargestSize = 1024;

constexpr double kDegree = std::numbers::pi / 180.0;

void CheckSize(int size)
{
    if (size < kSmallestSize || size > kLargestSize)
        throw RuntimeError(QStringLiteral("Picture size out of range: %1 (%2 to %3 pixels)")
                               .arg(size)
                               .arg(kSmallestSize)
                               .arg(kLargestSize));
}

void CheckMoonIndex(int index)
{
    if (index < 1 || index > kMoonPictures)
        throw RuntimeError(QStringLiteral("Subscript out of range: image %1").arg(index));
}

QImage TransparentImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// The yellow and white checkerboard of the lit moon.
QRgb LitColour(int x, int y)
{
    return (x + y) % 2 == 0 ? kYellow : kWhite;
}

QIcon IconOf(const QImage &small, const QImage &large)
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(small));
    icon.addPixmap(QPixmap::fromImage(large));
    return icon;
}

} // namespace

QImage DrawMoonImage(int index, int size)
{
    CheckMoonIndex(index);
    CheckSize(size);

    QImage image = TransparentImage(size);
    // Large pictures keep their last row and column for the shadow line.
    const bool shadow = size >= 32;
    const double radius = shadow ? (size - 2) / 2.0 : size / 2.0;
    const double centre = shadow ? radius + 1.0 : radius;
    const auto inDisc = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= size || y >= size)
            return false;
        const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
        return dx * dx + dy * dy <= radius * radius;
    };

    // The terminator is half an ellipse whose horizontal semi-axis is
    // (1 - 2 f) of the radius for a lit fraction f: a point is lit when it
    // lies beyond it on the sunward side (the right while waxing, the left
    // while waning). Crescents and gibbous moons stand for 11-39 % and
    // 61-89 % lit; 20 % and 80 % keep the crescent narrow yet still visible
    // at 16 pixels.
    static constexpr double kLitFraction[kMoonPictures] = {0.0, 0.2, 0.5, 0.8, 1.0, 0.8, 0.5, 0.2};
    const bool waxing = index <= 5;
    const double terminator = 1.0 - 2.0 * kLitFraction[index - 1];

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!inDisc(x, y)) {
                if (shadow && inDisc(x - 1, y - 1))
                    image.setPixel(x, y, kGrey);
                continue;
            }
            const double u = (x + 0.5 - centre) / radius;
            const double v = (y + 0.5 - centre) / radius;
            const double halfWidth = std::sqrt(std::max(0.0, 1.0 - v * v));
            const double sunward = waxing ? u : -u;
            image.setPixel(x, y, sunward > terminator * halfWidth ? LitColour(x, y) : kBlack);
        }
    }
    return image;
}

QImage DrawSunImage(int size)
{
    CheckSize(size);

    QImage image = TransparentImage(size);
    // Proportions of the 32-pixel picture, scaled to the size asked for.
    const double scale = size / 32.0;
    const double centre = size / 2.0;
    const double discRadius = 8.5 * scale;
    const double ringRadius = 10.5 * scale;
    const double rayTip = 15.75 * scale;
    const double rayHalfWidth = 2.75 * scale;

    std::array<double, 8> rayCos{}, raySin{};
    for (int i = 0; i < 8; ++i) {
        // Two rays on each side, none pointing into a corner.
        const double angle = (22.5 + 45.0 * i) * kDegree;
        rayCos[i] = std::cos(angle);
        raySin[i] = std::sin(angle);
    }

    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
            const double distance = std::sqrt(dx * dx + dy * dy);
            if (distance <= discRadius) {
                // Darker towards the lower right: olive there, a yellow and
                // olive checkerboard across the middle, yellow elsewhere.
                const double diagonal = (dx + dy) / (std::numbers::sqrt2 * discRadius);
                QRgb colour = kYellow;
                if (diagonal > 0.45)
                    colour = kOlive;
                else if (diagonal > 0.05 && (x + y) % 2 == 1)
                    colour = kOlive;
                image.setPixel(x, y, colour);
                continue;
            }
            if (distance <= ringRadius) {
                image.setPixel(x, y, kWhite);
                continue;
            }
            for (int i = 0; i < 8; ++i) {
                const double along = dx * rayCos[i] + dy * raySin[i];
                const double across = std::abs(dy * rayCos[i] - dx * raySin[i]);
                if (along <= ringRadius - 1.0 || along >= rayTip)
                    continue;
                // Narrowing from the ring to a point at the tip.
                const double allowed = rayHalfWidth * (rayTip - along) / (rayTip - ringRadius);
                if (across <= allowed) {
                    image.setPixel(x, y, kYellow);
                    break;
                }
            }
        }
    }
    return image;
}

QIcon MoonIcon(int index)
{
    return IconOf(DrawMoonImage(index, 16), DrawMoonImage(index, 32));
}

QIcon SunIcon()
{
    return IconOf(DrawSunImage(16), DrawSunImage(32));
}

ImageList::ImageList()
{
    for (int index = 1; index <= kMoonPictures; ++index)
        pictures_.append(MoonIcon(index));
}

QIcon ImageList::Picture(int index) const
{
    if (index < 1 || index > Count())
        throw RuntimeError(QStringLiteral("Subscript out of range: image %1").arg(index));
    return pictures_.at(index - 1);
}
