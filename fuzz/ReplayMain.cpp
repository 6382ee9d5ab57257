// Runs a fuzz target's body over kept inputs without libFuzzer, so that any
// compiler's build replays them as a test. Arguments are files or folders
// (every file in them); a missing folder is skipped with a note, since the
// shared recorded replies may be absent.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool Replay(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                           static_cast<size_t>(bytes.size()));
    // Some kept inputs were slow once; the time says whether one is again
    // (the fuzz runs' own time limit is what fails it).
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds >= 1.0)
        std::printf("%s took %.1f s\n", qPrintable(path), seconds);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int replayed = 0;
    bool ok = true;
    for (int a = 1; a < argc; ++a) {
        const QString arg = QString::fromLocal8Bit(argv[a]);
        const QFileInfo info(arg);
        if (info.isFile()) {
            ok = Replay(arg) && ok;
            ++replayed;
        } else if (info.isDir()) {
            QStringList files;
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
            files.sort();
            for (const QString &file : files) {
                ok = Replay(file) && ok;
                ++replayed;
            }
        } else {
            std::printf("skipped %s: not present\n", qPrintable(arg));
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return ok ? 0 : 1;
}
