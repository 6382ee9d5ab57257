// Installation into a prefix, as a user does with
//     cmake --install build --prefix ~/.local
// The layout the desktop and the program rely on, the link on the PATH, the
// icons drawn by our own picture code, and a reinstall that keeps the user's
// settings file.

#include "app/Pictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kAppId = QStringLiteral("io.github.selvorra.selvorra");
const QList<int> kIconSizes{16, 32, 48, 128, 256};
const QByteArray kUserPlace = "47.6062,-122.3321,tz=-8,auto update=false\r\n";

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Shipped(const QString &name)
{
    return ReadAll(QStringLiteral(SELVORRA_SOURCE_DIR "/data/") + name);
}

// Runs `cmake --install` on this build; the output on failure.
QString Install(const QString &prefix, const QString &destDir = QString())
{
    QProcess cmake;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!destDir.isEmpty())
        env.insert(QStringLiteral("DESTDIR"), destDir);
    cmake.setProcessEnvironment(env);
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(CMAKE_COMMAND_PATH),
                {QStringLiteral("--install"), QStringLiteral(SELVORRA_BINARY_DIR), QStringLiteral("--prefix"),
                 prefix});
    if (!cmake.waitForFinished(120000))
        return QStringLiteral("cmake --install did not finish");
    if (cmake.exitStatus() != QProcess::NormalExit || cmake.exitCode() != 0)
        return QString::fromLocal8Bit(cmake.readAll());
    return {};
}

// Every file and link under `root`, relative to it.
QSet<QString> Tree(const QString &root)
{
    QSet<QString> paths;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.insert(QDir(root).relativeFilePath(it.next()));
    return paths;
}

QString Field(const QByteArray &desktopEntry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(desktopEntry)).captured(1).trimmed();
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void installsTheWholeLayoutAndNothingElse()
    {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        const QString failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        QSet<QString> expected{
            QStringLiteral("lib/selvorra/selvorra"),
            QStringLiteral("lib/selvorra/FullMoonTable.txt"),
            QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"),
            QStringLiteral("bin/selvorra"),
            QStringLiteral("share/applications/%1.desktop").arg(kAppId),
            QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId),
        };
        for (int size : kIconSizes)
            expected.insert(QStringLiteral("share/icons/hicolor/%1x%1/apps/selvorra.png").arg(size));
        QCOMPARE(Tree(prefix.path()), expected);

        const QDir root(prefix.path());
        const QFileInfo program(root.filePath(QStringLiteral("lib/selvorra/selvorra")));
        QVERIFY(program.isExecutable());
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("lib/selvorra/FullMoonTable.txt"))),
                 Shipped(QStringLiteral("FullMoonTable.txt")));
        QCOMPARE(ReadAll(root.filePath(QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"))),
                 Shipped(QStringLiteral("SkyvaneLatLong_Setup.txt")));

        // A relative link, so the prefix can be moved as a whole.
        const QFileInfo link(root.filePath(QStringLiteral("bin/selvorra")));
        QVERIFY(link.isSymLink());
        QCOMPARE(QFile::symLinkTarget(link.filePath()), program.canonicalFilePath());
        QCOMPARE(QDir(link.absolutePath()).relativeFilePath(link.symLinkTarget()),
                 QStringLiteral("../lib/selvorra/selvorra"));

        // The icons are the window's own sun, drawn at each size.
        for (int size : kIconSizes) {
            QImage icon(root.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/selvorra.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size, size));
            QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32), DrawSunImage(size));
        }

        // The desktop entry starts the command on the PATH with the
        // installed icon; the metainfo names that entry.
        const QByteArray entry =
            ReadAll(root.filePath(QStringLiteral("share/applications/%1.desktop").arg(kAppId)));
        QCOMPARE(Field(entry, QStringLiteral("Exec")), QStringLiteral("selvorra"));
        QCOMPARE(Field(entry, QStringLiteral("Icon")), QStringLiteral("selvorra"));
        QCOMPARE(Field(entry, QStringLiteral("Name")), QStringLiteral("Selvorra"));
        const QByteArray metainfo =
            ReadAll(root.filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId)));
        QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(kAppId).toUtf8()));
        QVERIFY(metainfo.contains(
            QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(kAppId).toUtf8()));
    }

    void reinstallKeepsTheUsersSettings()
    {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QString failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QDir root(prefix.path());
        const QString settings = root.filePath(QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"));
        {
            QFile file(settings);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(kUserPlace);
        }

        failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(ReadAll(settings), kUserPlace);
        // The link is made again over the old one, still pointing home.
        QVERIFY(QFileInfo(root.filePath(QStringLiteral("bin/selvorra"))).isSymLink());
        QCOMPARE(QFileInfo(root.filePath(QStringLiteral("bin/selvorra"))).canonicalFilePath(),
                 QFileInfo(root.filePath(QStringLiteral("lib/selvorra/selvorra"))).canonicalFilePath());

        // A settings file removed by the user comes back with the next install.
        QVERIFY(QFile::remove(settings));
        failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(ReadAll(settings), Shipped(QStringLiteral("SkyvaneLatLong_Setup.txt")));
    }

    void stagedInstallStaysUnderDestDir()
    {
        // Packagers stage into DESTDIR; the settings file and the link
        // must land there too, not in the real prefix.
        QTemporaryDir stage;
        QVERIFY(stage.isValid());
        const QString prefix = QStringLiteral("/opt/selvorra-install-test");
        const QString failure = Install(prefix, stage.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY(!QFileInfo::exists(prefix));
        const QDir staged(stage.path() + prefix);
        QVERIFY(QFileInfo::exists(staged.filePath(QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"))));
        QVERIFY(QFileInfo(staged.filePath(QStringLiteral("bin/selvorra"))).isSymLink());
        QCOMPARE(QFile::symLinkTarget(staged.filePath(QStringLiteral("bin/selvorra"))),
                 staged.filePath(QStringLiteral("lib/selvorra/selvorra")));
    }

    void programFindsItsRealFolderThroughTheLink()
    {
        // The installed layout, with a program that prints the folder the
        // real platform reports, started by the name on the PATH.
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        const QDir root(prefix.path());
        QVERIFY(root.mkpath(QStringLiteral("lib/selvorra")) && root.mkpath(QStringLiteral("bin")));
        const QString real = root.filePath(QStringLiteral("lib/selvorra/selvorra"));
        QVERIFY(QFile::copy(QStringLiteral(PRINT_PROGRAM_DIR), real));
        QVERIFY(QFile::link(QStringLiteral("../lib/selvorra/selvorra"), root.filePath(QStringLiteral("bin/selvorra"))));

        // As a shell runs it once found on the PATH: by the link's name, from
        // some other folder.
        QProcess program;
        program.setWorkingDirectory(QDir::tempPath());
        program.start(root.filePath(QStringLiteral("bin/selvorra")), {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()).trimmed(),
                 QFileInfo(real).canonicalPath());
    }
};

QTEST_MAIN(InstallTest)
#include "test_install.moc"
