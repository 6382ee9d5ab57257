// The start-up's plain file functions: the kept replies, the user's XDG
// folders, and where the settings and the full-moon table are looked for.
// (Reading the two files is covered through the window in tests/app.)
#include "cache/ReplyCache.h"
#include "startup/StartupFiles.h"
#include "startup/UserFolders.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr qint64 kMax = 1024 * 1024;
const QString kName = QStringLiteral("forecast");
const QString kKey = QStringLiteral("35.9656,-114.836 2026-12-06");
const QDateTime kFetched(QDate(2026, 12, 6), QTime(10, 5, 0, 123), Qt::UTC);

// What a row leaves at the cache file's place, or makes of its folder.
enum Place { AsStored, Missing, Link, Fifo, LinkedFolder, FileSizeLimit, Unwritable };

// Sets `place` up in `root`, whose "cache" folder holds a stored file, and
// returns the folder to use from then on.
QString MakePlace(const QString &root, int place)
{
    const QString folder = root + "/cache";
    const QString file = folder + '/' + kName;
    const QString outside = root + "/outside";
    switch (place) {
    case Link:
        QFile::rename(file, outside);
        QFile::link(outside, file);
        break;
    case Missing:
    case Fifo:
        QFile::remove(file);
        if (place == Fifo)
            ::mkfifo(QFile::encodeName(file).constData(), 0600);
        break;
    case LinkedFolder:
        QDir().rename(folder, outside);
        QFile::link(outside, folder);
        break;
    case Unwritable:
        return QStringLiteral("/proc");   // not even root may make a file there
    }
    return folder;
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The type and permission bits of `path` itself (a link not followed).
mode_t Mode(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

class StartupFilesTest : public QObject {
    Q_OBJECT

private slots:
    void cacheRoundTrip_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("body");
        QString latin;
        for (char16_t c = 0x80; c <= 0xFF; ++c)
            latin += QChar(c);
        QTest::newRow("plain text") << kKey << "<dwml>45\u00B0F</dwml>";
        QTest::newRow("U+0080 to U+00FF and U+FFFD") << kKey << latin + QChar(0xFFFD);
        QTest::newRow("empty body") << kKey << QString();
        QTest::newRow("byte order mark first, NUL and line breaks")
            << kKey << QString(QChar(0xFEFF)) + "a" + QChar(0) + "\r\nb\n";
        QTest::newRow("key that forges a header")
            << "x\nfetched 2000-01-01T00:00:00.000Z\nbody 4\nfake" << "real";
    }

    void cacheRoundTrip()
    {
        QFETCH(QString, key);
        QFETCH(QString, body);
        QTemporaryDir root;
        const QString folder = root.path() + "/new/cache";
        QVERIFY(StoreCachedReply(folder, kName, key, kFetched, "older", kMax));
        QVERIFY(StoreCachedReply(folder, kName, key, kFetched, body, kMax));
        const std::optional<CachedReply> got = LoadCachedReply(folder, kName, key, kMax);
        QVERIFY(got);
        QCOMPARE(got->body, body);
        QCOMPARE(got->fetchedUtc, kFetched);
        QCOMPARE(got->fetchedUtc.timeSpec(), Qt::UTC);
        QCOMPARE(Entries(folder), QStringList{kName});   // no temporary file left
        QCOMPARE(Mode(folder), mode_t(S_IFDIR | 0700));
        QCOMPARE(Mode(folder + '/' + kName), mode_t(S_IFREG | 0600));
    }

    // Two instances started at once against one cache folder: each keeps
    // its reply while the other reads and keeps its own; every read finds
    // one whole reply, never a torn one.
    void cacheTwoWritersAtOnce()
    {
        QTemporaryDir root;
        const QString folder = root.path() + "/cache";
        const QString first(200000, u'a');
        const QString second(150000, u'b');
        QVERIFY(StoreCachedReply(folder, kName, kKey, kFetched, first, kMax));
        const pid_t child = ::fork();
        if (child == 0) {
            for (int i = 0; i < 300; ++i)
                StoreCachedReply(folder, kName, kKey, kFetched, first, kMax);
            ::_exit(0);
        }
        int whole = 0;
        for (int i = 0; i < 300; ++i) {
            QVERIFY(StoreCachedReply(folder, kName, kKey, kFetched, second, kMax));
            const std::optional<CachedReply> got = LoadCachedReply(folder, kName, kKey, kMax);
            QVERIFY(got && (got->body == first || got->body == second));
            ++whole;
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(whole, 300);
        QCOMPARE(Entries(folder), QStringList{kName});
    }

    // Each row spoils the stored file (replacing `from` by `to`, changing its
    // size) or its place; the first shows the file is found untouched.
    void cacheLoadGivesNothing_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("sizeChange");
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<bool>("found");
        QTest::newRow("as stored") << QByteArray() << QByteArray() << 0 << int(AsStored) << kKey << kMax << true;
        QTest::newRow("another key") << QByteArray() << QByteArray() << 0 << int(AsStored) << kKey + "0" << kMax << false;
        QTest::newRow("missing") << QByteArray() << QByteArray() << 0 << int(Missing) << kKey << kMax << false;
        QTest::newRow("another format version") << QByteArray("cache 1") << QByteArray("cache 2") << 0 << int(AsStored)
                                                << kKey << kMax << false;
        QTest::newRow("corrupt header") << QByteArray("\nkey ") << QByteArray("\nkye ") << 0 << int(AsStored) << kKey
                                        << kMax << false;
        QTest::newRow("fetch time unreadable") << QByteArray("2026-12-06T") << QByteArray("2026-13-06T") << 0
                                               << int(AsStored) << kKey << kMax << false;
        QTest::newRow("truncated by one byte") << QByteArray() << QByteArray() << -1 << int(AsStored) << kKey << kMax << false;
        QTest::newRow("a byte after the body") << QByteArray() << QByteArray() << 1 << int(AsStored) << kKey << kMax << false;
        QTest::newRow("body length beyond the file") << QByteArray("body 9\n") << QByteArray("body 99999999999999999999\n")
                                                     << 0 << int(AsStored) << kKey << kMax << false;
        QTest::newRow("body not UTF-8") << QByteArray("reply") << QByteArray("r\xFFply") << 0 << int(AsStored) << kKey
                                        << kMax << false;
        QTest::newRow("larger than the bound") << QByteArray() << QByteArray() << 0 << int(AsStored) << kKey << qint64(60)
                                               << false;
        QTest::newRow("a link at the place") << QByteArray() << QByteArray() << 0 << int(Link) << kKey << kMax << false;
        QTest::newRow("a FIFO at the place") << QByteArray() << QByteArray() << 0 << int(Fifo) << kKey << kMax << false;
        QTest::newRow("the folder is a link") << QByteArray() << QByteArray() << 0 << int(LinkedFolder) << kKey << kMax
                                              << false;
    }

    void cacheLoadGivesNothing()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, sizeChange);
        QFETCH(int, place);
        QFETCH(QString, key);
        QFETCH(qint64, maxBytes);
        QFETCH(bool, found);
        QTemporaryDir root;
        QVERIFY(StoreCachedReply(root.path() + "/cache", kName, kKey, kFetched, "the reply", kMax));
        const QString path = root.path() + "/cache/" + kName;
        QByteArray bytes = ReadFile(path);
        QVERIFY(from.isEmpty() || bytes.contains(from));
        bytes.replace(from, to);
        bytes = sizeChange < 0 ? bytes.chopped(-sizeChange) : bytes + QByteArray(sizeChange, 'x');
        WriteFile(path, bytes);
        const QString folder = MakePlace(root.path(), place);
        QElapsedTimer clock;
        clock.start();
        const std::optional<CachedReply> got = LoadCachedReply(folder, kName, key, maxBytes);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(bool(got), found);
        if (found)
            QCOMPARE(got->body, QStringLiteral("the reply"));
    }

    // A store that cannot be done: false, no temporary file left, and the old
    // file (or whatever stands at its place) as it was.
    void cacheStoreRefused_data()
    {
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("body");
        QTest::addColumn<qint64>("maxBytes");
        QTest::newRow("larger than the bound") << int(AsStored) << QString(100, 'x') << qint64(100);
        QTest::newRow("write fails part-way") << int(FileSizeLimit) << QString(10000, 'x') << kMax;
        QTest::newRow("text UTF-8 cannot carry") << int(AsStored) << QString(QChar(0xD800)) << kMax;
        QTest::newRow("a link at the place") << int(Link) << QStringLiteral("new") << kMax;
        QTest::newRow("a FIFO at the place") << int(Fifo) << QStringLiteral("new") << kMax;
        QTest::newRow("the folder is a link") << int(LinkedFolder) << QStringLiteral("new") << kMax;
        QTest::newRow("a folder that cannot be written") << int(Unwritable) << QStringLiteral("new") << kMax;
    }

    void cacheStoreRefused()
    {
        QFETCH(int, place);
        QFETCH(QString, body);
        QFETCH(qint64, maxBytes);
        QTemporaryDir root;
        const QString cache = root.path() + "/cache";
        QVERIFY(StoreCachedReply(cache, kName, kKey, kFetched, "old", kMax));
        const QByteArray old = ReadFile(cache + '/' + kName);
        const QString folder = MakePlace(root.path(), place);
        const QStringList before = place == Unwritable ? QStringList() : Entries(folder);

        bool stored = true;
        if (place == FileSizeLimit) {
            // A full disk, as far as the write can tell.
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit low = saved;
            low.rlim_cur = 4096;
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &low), 0);
            stored = StoreCachedReply(folder, kName, kKey, kFetched, body, maxBytes);
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        } else {
            stored = StoreCachedReply(folder, kName, kKey, kFetched, body, maxBytes);
        }
        QVERIFY(!stored);
        if (place != Unwritable)
            QCOMPARE(Entries(folder), before);
        // What stands at the place is still what it was; a stored file, or
        // the one a link leads to, still holds the old reply.
        const QString path = cache + '/' + kName;
        const mode_t type = place == Link ? S_IFLNK : place == Fifo ? S_IFIFO : S_IFREG;
        QCOMPARE(Mode(path) & S_IFMT, type);
        if (type == S_IFREG || type == S_IFLNK)
            QCOMPARE(ReadFile(path), old);
        QCOMPARE(Mode(cache) & S_IFMT, mode_t(place == LinkedFolder ? S_IFLNK : S_IFDIR));
    }

    void xdgFolders_data()
    {
        QTest::addColumn<QByteArray>("value");   // null: unset
        QTest::addColumn<QString>("base");       // empty: the home folder's default
        QTest::newRow("unset") << QByteArray() << QString();
        QTest::newRow("empty") << QByteArray("") << QString();
        QTest::newRow("relative") << QByteArray("cache") << QString();
        QTest::newRow("absolute") << QByteArray("/srv/u") << QStringLiteral("/srv/u");
        QTest::newRow("absolute with a trailing slash") << QByteArray("/srv/u//") << QStringLiteral("/srv/u");
    }

    void xdgFolders()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, base);
        const auto set = [](const char *name, const QByteArray &to) {
            if (to.isNull())
                qunsetenv(name);
            else
                qputenv(name, to);
        };
        const char *const names[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME"};
        QByteArray saved[2];
        for (int i = 0; i < 2; ++i) {
            saved[i] = qEnvironmentVariableIsSet(names[i]) ? qgetenv(names[i]) : QByteArray();
            set(names[i], value);
        }
        const QString config = UserConfigFolder();
        const QString cache = UserCacheFolder();
        const QString custom = XdgBaseDirectory("XDG_CACHE_HOME", QStringLiteral("elsewhere"));
        for (int i = 0; i < 2; ++i)
            set(names[i], saved[i]);
        const QString home = QDir::homePath();
        QCOMPARE(config, (base.isEmpty() ? home + "/.config" : base) + "/selvorra");
        QCOMPARE(cache, (base.isEmpty() ? home + "/.cache" : base) + "/selvorra");
        QCOMPARE(custom, base.isEmpty() ? home + "/elsewhere" : base);
    }

    // Paths relative to a fresh folder: the program in bin/, the user's
    // folder user/, the shipped files possibly in share/selvorra/. S is the
    // settings file, T the full-moon table.
    void choosePlaces_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("settingsToRead");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("newContent");
        const QString defaults = kDefaultSettingsContent;
        QTest::newRow("writable program folder") << QStringList{"user/S", "user/T"} << true << "bin/S" << "bin/T"
                                                 << defaults;
        QTest::newRow("nothing shipped: the program folder is named")
            << QStringList() << false << "bin/S" << "bin/T" << defaults;
        QTest::newRow("the user's settings once made") << QStringList{"user/S", "bin/S", "bin/T"} << false << "user/S"
                                                       << "bin/T" << defaults;
        QTest::newRow("a table beside the program keeps share/ out")
            << QStringList{"bin/T", "share/selvorra/S", "share/selvorra/T"} << false << "bin/S" << "bin/T" << defaults;
        QTest::newRow("shipped default copied with CRLF") << QStringList{"bin/S", "bin/T"} << false << "bin/S" << "bin/T"
                                                          << "1,2,x\r\nsecond\r\n";
    }

    void choosePlaces()
    {
        QFETCH(QStringList, present);
        QFETCH(bool, writable);
        QFETCH(QString, settingsToRead);
        QFETCH(QString, table);
        QFETCH(QString, newContent);
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(dir.mkpath("bin") && dir.mkpath("user") && dir.mkpath("share/selvorra"));
        const auto full = [&](QString relative) {
            return dir.filePath(relative.replace("/S", '/' + kSettingsFileName).replace("/T", '/' + kFullMoonFileName));
        };
        for (const QString &file : present)
            WriteFile(full(file), "1,2,x\nsecond\n");
        const FilePlaces places = ChooseFilePlaces(dir.filePath("bin"), writable, dir.filePath("user"));
        QCOMPARE(places.settings, full(writable ? "bin/S" : "user/S"));
        QCOMPARE(places.settingsToRead, full(settingsToRead));
        QCOMPARE(places.table, full(table));
        QCOMPARE(NewSettingsContent(places), newContent);
    }
};

QTEST_GUILESS_MAIN(StartupFilesTest)
#include "tst_startup_files.moc"
