// Installation into a prefix, as a user does with
//     cmake --install build --prefix ~/.local
// The layout the desktop and the program rely on, the link on the PATH, the
// icons drawn by our own picture code, and a reinstall that keeps the user's
// settings file. Then the Debian package made from the same build: its files
// under /usr and what it declares.

#include "pictures/Pictures.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kAppId = QStringLiteral("io.github.selvorra.selvorra");
const QList<int> kIconSizes{16, 32, 48, 128, 256};
const QByteArray kUserPlace = "47.6062,-122.3321,tz=-8,auto update=false\r\n";

using testsupport::ReadFile;

QByteArray Shipped(const QString &name)
{
    return ReadFile(QStringLiteral(SELVORRA_SOURCE_DIR "/data/") + name);
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

// The files and links every install holds, relative to its prefix.
QSet<QString> ExpectedLayout()
{
    QSet<QString> expected{
        QStringLiteral("lib/selvorra/selvorra"),
        QStringLiteral("lib/selvorra/FullMoonTable.txt"),
        QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"),
        QStringLiteral("bin/selvorra"),
        QStringLiteral("share/applications/%1.desktop").arg(kAppId),
        QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId),
        QStringLiteral("share/man/man1/selvorra.1.gz"),
        QStringLiteral("share/doc/selvorra/copyright"),
        QStringLiteral("share/doc/selvorra/changelog.gz"),
    };
    for (int size : kIconSizes)
        expected.insert(QStringLiteral("share/icons/hicolor/%1x%1/apps/selvorra.png").arg(size));
    return expected;
}

// Runs a program to its end; its standard output, or a null string when it
// failed (the reason in `failure`).
QString Run(const QString &program, const QStringList &arguments, QString *failure)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *failure = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                   QString::fromLocal8Bit(process.readAllStandardError() + process.readAllStandardOutput());
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString Field(const QByteArray &desktopEntry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(desktopEntry)).captured(1).trimmed();
}

// The lines of `dpkg-deb -c`: everything owned by root, folders and files
// with the modes Debian expects, everything under /usr, the link on the PATH
// relative. The files and links go to `files`, relative to /usr.
void CheckPackageListing(const QString &listing, QSet<QString> *files)
{
    const QRegularExpression entry(QStringLiteral(R"(^(\S+) (\S+)\s+\d+ \S+ \S+ \./(\S+?)/?( -> (\S+))?$)"));
    for (const QString &line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        QCOMPARE(m.captured(2), QStringLiteral("root/root"));
        const QString mode = m.captured(1), path = m.captured(3);
        if (mode.startsWith(QLatin1Char('d'))) {
            QCOMPARE(mode, QStringLiteral("drwxr-xr-x"));
            continue;
        }
        QVERIFY2(path.startsWith(QStringLiteral("usr/")), qPrintable(line));
        files->insert(path.mid(4));
        if (path == QStringLiteral("usr/bin/selvorra"))
            QCOMPARE(m.captured(5), QStringLiteral("../lib/selvorra/selvorra"));
        else
            QCOMPARE(mode, path == QStringLiteral("usr/lib/selvorra/selvorra") ? QStringLiteral("-rwxr-xr-x")
                                                                              : QStringLiteral("-rw-r--r--"));
    }
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

        QCOMPARE(Tree(prefix.path()), ExpectedLayout());

        const QDir root(prefix.path());
        const QFileInfo program(root.filePath(QStringLiteral("lib/selvorra/selvorra")));
        QVERIFY(program.isExecutable());
        QCOMPARE(ReadFile(root.filePath(QStringLiteral("lib/selvorra/FullMoonTable.txt"))),
                 Shipped(QStringLiteral("FullMoonTable.txt")));
        QCOMPARE(ReadFile(root.filePath(QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"))),
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
            ReadFile(root.filePath(QStringLiteral("share/applications/%1.desktop").arg(kAppId)));
        QCOMPARE(Field(entry, QStringLiteral("Exec")), QStringLiteral("selvorra"));
        QCOMPARE(Field(entry, QStringLiteral("Icon")), QStringLiteral("selvorra"));
        QCOMPARE(Field(entry, QStringLiteral("Name")), QStringLiteral("Selvorra"));
        const QByteArray metainfo =
            ReadFile(root.filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId)));
        QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(kAppId).toUtf8()));
        QVERIFY(metainfo.contains(
            QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(kAppId).toUtf8()));

        // man finds the page: a gzip stream (gzip's magic bytes).
        QVERIFY(ReadFile(root.filePath(QStringLiteral("share/man/man1/selvorra.1.gz"))).startsWith("\x1f\x8b"));
    }

    void reinstallKeepsTheUsersSettings()
    {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QString failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QDir root(prefix.path());
        const QString settings = root.filePath(QStringLiteral("lib/selvorra/SkyvaneLatLong_Setup.txt"));
        testsupport::WriteFile(settings, kUserPlace);

        failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(ReadFile(settings), kUserPlace);
        // The link is made again over the old one, still pointing home.
        QVERIFY(QFileInfo(root.filePath(QStringLiteral("bin/selvorra"))).isSymLink());
        QCOMPARE(QFileInfo(root.filePath(QStringLiteral("bin/selvorra"))).canonicalFilePath(),
                 QFileInfo(root.filePath(QStringLiteral("lib/selvorra/selvorra"))).canonicalFilePath());

        // A settings file removed by the user comes back with the next install.
        QVERIFY(QFile::remove(settings));
        failure = Install(prefix.path());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(ReadFile(settings), Shipped(QStringLiteral("SkyvaneLatLong_Setup.txt")));
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

    void debianPackageHoldsTheLayoutUnderUsr()
    {
        // cpack reads the program with file and dpkg-shlibdeps.
        for (const QString &tool : {QStringLiteral("dpkg-deb"), QStringLiteral("dpkg-shlibdeps"), QStringLiteral("file")})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(tool + QStringLiteral(" is not installed (packages dpkg, dpkg-dev, file)")));
        if (!QFileInfo(QStringLiteral(CPACK_COMMAND_PATH)).isExecutable())
            QSKIP("cpack is not installed beside cmake");

        QTemporaryDir out;
        QVERIFY(out.isValid());
        QString failure;
        Run(QStringLiteral(CPACK_COMMAND_PATH),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             QStringLiteral(SELVORRA_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out.path()},
            &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString arch = Run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}, &failure).trimmed();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        const QString deb = out.filePath(QStringLiteral("selvorra_%1_%2.deb").arg(QStringLiteral(SELVORRA_VERSION), arch));
        QVERIFY2(QFileInfo::exists(deb), qPrintable(deb + QStringLiteral(" was not made")));

        // Every file and link, owned by root, with the modes Debian expects.
        const QString listing = Run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QSet<QString> files;
        CheckPackageListing(listing, &files);
        QCOMPARE(files, ExpectedLayout());

        // The version is the project's and the changelog's newest entry's;
        // the libraries come from the program, the rest it needs at run time
        // is named.
        const QString changelogTop = QString::fromUtf8(ReadFile(QStringLiteral(SELVORRA_SOURCE_DIR "/dist/changelog"))).section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(changelogTop.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0),
                 QStringLiteral(SELVORRA_VERSION));
        const QString control = Run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb}, &failure);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY2(control.contains(QStringLiteral("\nVersion: " SELVORRA_VERSION "\n")), qPrintable(control));
        const QString depends = control.section(QStringLiteral("Depends: "), 1).section(QLatin1Char('\n'), 0, 0);
        for (const char *package : {"libc6", "libcurl4", "libpugixml1v5", "libqt6widgets6", "qt6-qpa-plugins",
                                    "xdg-utils", "ca-certificates"})
            QVERIFY2(depends.contains(QRegularExpression(QStringLiteral("(^|, )%1( |,|$)").arg(QLatin1String(package)))),
                     qPrintable(QStringLiteral("%1 missing from Depends: %2").arg(QLatin1String(package), depends)));
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
#include "tst_install.moc"
