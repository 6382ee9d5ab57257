// The text files: line ends, limits, what stands in a file's place, and
// creating a file without ever replacing one.
#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "common/TextFile.h"
#include "support/TestFiles.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

// Every line the reader gives, in order, until it reports the end.
QStringList ReadAllLines(const QString &path)
{
    TextFileReader reader(path, 1024 * 1024);
    QStringList lines;
    while (!reader.AtEnd())
        lines.append(reader.ReadLine());
    return lines;
}

QString DescriptionOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const RuntimeError &error) {
        return error.description();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void lineEnds_data();
    void lineEnds();
    void readingPastTheEnd();
    void notAFile_data();
    void notAFile();
    void limits();
    void highBytesAndNul();
    void createAndReadBack();
    void createFailureNamesThePath();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TextFileTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TextFileTest::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("lf") << QByteArray("Full moons\n2026-01-03 02:03\n2026-02-01 14:09\n")
                        << QStringList({"Full moons", "2026-01-03 02:03", "2026-02-01 14:09"});
    QTest::newRow("cr") << QByteArray("head\rone\rtwo\r") << QStringList({"head", "one", "two"});
    QTest::newRow("crlf") << QByteArray("head\r\none\r\ntwo\r\n")
                          << QStringList({"head", "one", "two"});
    QTest::newRow("no final line end") << QByteArray("head\r\none")
                                       << QStringList({"head", "one"});
    QTest::newRow("mixed") << QByteArray("a\rb\nc\r\nd") << QStringList({"a", "b", "c", "d"});
    QTest::newRow("lf then cr is two ends") << QByteArray("a\n\rb")
                                            << QStringList({"a", "", "b"});
    QTest::newRow("blank line kept") << QByteArray("a\r\n\r\n") << QStringList({"a", ""});
    QTest::newRow("blank lf lines kept") << QByteArray("a\n\n\nb\n")
                                         << QStringList({"a", "", "", "b"});
    QTest::newRow("single line end") << QByteArray("\r\n") << QStringList({""});
    QTest::newRow("single cr") << QByteArray("\r") << QStringList({""});
    QTest::newRow("spaces and tabs kept") << QByteArray(" 35.9656 , -114.836\t\r\n")
                                          << QStringList({" 35.9656 , -114.836\t"});
}

void TextFileTest::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const QString path = dir_->filePath(QStringLiteral("lines.txt"));
    WriteFile(path, bytes);
    QCOMPARE(ReadAllLines(path), lines);
    QCOMPARE(SplitFileLines(FromCp1252(bytes)), lines);
}

void TextFileTest::readingPastTheEnd()
{
    const QString empty = dir_->filePath(QStringLiteral("FullMoonTable.txt"));
    WriteFile(empty, QByteArray());
    TextFileReader reader(empty, 100);
    QVERIFY(reader.AtEnd());
    QCOMPARE(DescriptionOf([&] { reader.ReadLine(); }),
             QStringLiteral("Input past end of file: ") + empty);

    const QString header = dir_->filePath(QStringLiteral("header.txt"));
    WriteFile(header, QByteArray("Full moons\r\n"));
    TextFileReader headerOnly(header, 100);
    QCOMPARE(headerOnly.ReadLine(), QStringLiteral("Full moons"));
    QVERIFY(headerOnly.AtEnd());
    QCOMPARE(DescriptionOf([&] { headerOnly.ReadLine(); }),
             QStringLiteral("Input past end of file: ") + header);
    // Asking again gives the same failure, not a stale or empty line.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, headerOnly.ReadLine());
}

void TextFileTest::notAFile_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("description");
    QTest::newRow("missing") << int(PathKind::Missing) << QStringLiteral("File not found: %1");
    QTest::newRow("directory") << int(PathKind::Directory)
                               << QStringLiteral("Cannot read %1: it is a directory, not a text file");
    QTest::newRow("named pipe") << int(PathKind::Fifo)
                                << QStringLiteral("Cannot read %1: it is a named pipe (FIFO), not a text file");
    QTest::newRow("link to nothing")
        << int(PathKind::DanglingLink)
        << QStringLiteral("Cannot read %1: it is a symbolic link that leads to no file, not a text file");
}

// Whatever stands in a file's place is named, nothing waits on a pipe, and
// creating the file never writes through a link or over anything.
void TextFileTest::notAFile()
{
    QFETCH(int, kind);
    QFETCH(QString, description);
    const QString path = dir_->filePath(QStringLiteral("SkyvaneLatLong_Setup.txt"));
    const QString target = dir_->filePath(QStringLiteral("elsewhere.txt"));
    if (kind == int(PathKind::Directory))
        QVERIFY(QDir().mkpath(path));
    else if (kind == int(PathKind::Fifo))
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == int(PathKind::DanglingLink))
        QVERIFY(QFile::link(target, path));
    QCOMPARE(int(InspectPath(path)), kind);
    QCOMPARE(DescriptionOf([&] { TextFileReader reader(path, 100); }), description.arg(path));
    QCOMPARE(DescriptionOf([&] { ReadFirstLine(path, 100); }), description.arg(path));
    if (kind == int(PathKind::Missing)) {
        CreateTextFile(path, QStringLiteral("x"));
        QCOMPARE(ReadFile(path), QByteArray("x"));
    } else {
        QVERIFY(DescriptionOf([&] { CreateTextFile(path, QStringLiteral("x")); })
                    .startsWith(QStringLiteral("Cannot create file: ") + path + QStringLiteral(" (")));
    }
    QVERIFY(!QFile::exists(target));
}

void TextFileTest::limits()
{
    const QString path = dir_->filePath(QStringLiteral("FullMoonTable.txt"));
    WriteFile(path, QByteArray(16, 'x') + "\r\nnext");
    QCOMPARE(ReadFirstLine(path, 16), QString(16, u'x'));
    QCOMPARE(DescriptionOf([&] { ReadFirstLine(path, 15); }),
             QStringLiteral("Line too long: the first line of %1 is longer than 15 characters").arg(path));
    TextFileReader whole(path, 22);
    QCOMPARE(whole.ReadLine(), QString(16, u'x'));
    QCOMPARE(DescriptionOf([&] { TextFileReader reader(path, 21); }),
             QStringLiteral("File too large: %1 holds more than 21 bytes").arg(path));
    QCOMPARE(DescriptionOf([&] { TextFileReader reader(path, 4 * 1024 * 1024 - 1); }), QStringLiteral("<no error>"));
    WriteFile(path, QByteArray("no line end"));
    QCOMPARE(ReadFirstLine(path, 11), QStringLiteral("no line end"));
    WriteFile(path, QByteArray());
    QCOMPARE(DescriptionOf([&] { ReadFirstLine(path, 11); }), QStringLiteral("Input past end of file: ") + path);
}

void TextFileTest::highBytesAndNul()
{
    QByteArray bytes("Max \xB0" "F\r\n");
    bytes.append('a');
    bytes.append('\0');
    bytes.append("b\x80\x81\xFF\xC2\xB0\n");
    const QString path = dir_->filePath(QStringLiteral("bytes.txt"));
    WriteFile(path, bytes);
    const QStringList lines = ReadAllLines(path);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Max \u00B0F"));
    QCOMPARE(lines.at(1).size(), 8);
    QCOMPARE(lines.at(1), QStringLiteral("a") + QChar(0) + QStringLiteral("b\u20AC\u0081\u00FF\u00C2\u00B0"));
}

void TextFileTest::createAndReadBack()
{
    const QString path = dir_->filePath(QStringLiteral("SkyvaneLatLong_Setup.txt"));
    const QString content = QStringLiteral("35.9656,-114.836,tz=-8\r\n12\u00B0 \u20AC \u00E9 \u2603\r\n");
    CreateTextFile(path, content);
    QCOMPARE(ReadFile(path), QByteArray("35.9656,-114.836,tz=-8\r\n12\xB0 \x80 \xE9 ?\r\n"));
    QCOMPARE(ReadAllLines(path),
             QStringList({"35.9656,-114.836,tz=-8", QStringLiteral("12\u00B0 \u20AC \u00E9 ?")}));

    // A file that is there is never replaced.
    QVERIFY(DescriptionOf([&] { CreateTextFile(path, QStringLiteral("x")); }).contains(path));
    QCOMPARE(ReadFile(path).size(), 35);
}

void TextFileTest::createFailureNamesThePath()
{
    // A parent that is a regular file fails for every user, root included.
    const QString plain = dir_->filePath(QStringLiteral("plain"));
    WriteFile(plain, QByteArray("keep"));
    const QString inside = plain + QStringLiteral("/SkyvaneLatLong_Setup.txt");
    const QString description = DescriptionOf([&] { CreateTextFile(inside, QStringLiteral("x")); });
    QVERIFY2(description.contains(inside), qPrintable(description));
    QVERIFY2(description.size() > inside.size() + 20, qPrintable(description));
    QVERIFY(!description.endsWith(QLatin1Char('.')));
    QCOMPARE(ReadFile(plain), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_textfile.moc"
