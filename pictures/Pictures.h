#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The window's pictures, drawn pixel by pixel in the 16-colour palette with
// no smoothing, so they stay crisp at icon sizes: the eight moon phases of
// ImageList1 and the sun that the window shows until a moon picture is set.
// Everything outside the picture itself is transparent.

// Moon picture `index` 1..8 (new, waxing crescent, first quarter, waxing
// gibbous, full, waning gibbous, last quarter, waning crescent) as seen from
// the northern hemisphere, so a waxing moon is lit on the right. `size` is 16
// or 32; sizes of 32 and more carry the grey shadow line at the lower right.
// An index outside 1..8 raises "Subscript out of range: image N"; a size
// below 16 or above 1024 raises a run-time error naming it.
QImage DrawMoonImage(int index, int size);

// The sun: a shaded yellow disc in a white ring with eight pointed rays. Any
// size from 16 to 1024 (16 and 32 for the window, larger ones for desktop
// icons); other sizes raise a run-time error naming them.
QImage DrawSunImage(int size);

// Icons holding both the 16 x 16 and the 32 x 32 picture. They need a
// running QGuiApplication, as every pixmap does.
QIcon MoonIcon(int index);
QIcon SunIcon();

// ImageList1: the eight moon icons, reached by 1-based index.
class ImageList {
public:
    ImageList();

    int Count() const { return static_cast<int>(pictures_.size()); }
    // Raises "Subscript out of range: image N" outside 1..Count().
    QIcon Picture(int index) const;

private:
    QList<QIcon> pictures_;
};
