// Writes the program's desktop icon, the sun picture, as PNG files in the
// hicolor theme layout: OUTDIR/hicolor/NxN/apps/selvorra.png for every size
// the desktop looks for. Run by the build, so the installed icons are the
// very pictures the window draws.
//
//     render_icons OUTDIR

#include "pictures/Pictures.h"
#include "common/RuntimeError.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 32, 48, 128, 256};

bool WriteIcon(const QString &outDir, int size)
{
    const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(outDir).arg(size);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "render_icons: cannot create folder %s\n", qPrintable(folder));
        return false;
    }
    const QString path = folder + QStringLiteral("/selvorra.png");
    const QImage picture = DrawSunImage(size);
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_icons OUTDIR\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    try {
        for (int size : kSizes)
            if (!WriteIcon(outDir, size))
                return 1;
    } catch (const RuntimeError &error) {
        std::fprintf(stderr, "render_icons: %s\n", error.what());
        return 1;
    }
    return 0;
}
