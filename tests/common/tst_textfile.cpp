#include "common/RuntimeError.h"
#include "common/Text.h"
#include "common/TextFile.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

// Every line the reader gives, in order, until it reports the end.
QStringList ReadAllLines(const QString &path)
{
    TextFileReader reader(path);
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
    void missingFiles();
    void highBytesAndNul();
    void writeAndReadBack();
    void writeFailureNamesThePath();

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
    WriteBytes(path, bytes);
    QCOMPARE(ReadAllLines(path), lines);
    QCOMPARE(SplitFileLines(FromCp1252(bytes)), lines);
}

void TextFileTest::readingPastTheEnd()
{
    const QString empty = dir_->filePath(QStringLiteral("FullMoonTable.txt"));
    WriteBytes(empty, QByteArray());
    TextFileReader reader(empty);
    QVERIFY(reader.AtEnd());
    QCOMPARE(DescriptionOf([&] { reader.ReadLine(); }),
             QStringLiteral("Input past end of file: ") + empty);

    const QString header = dir_->filePath(QStringLiteral("header.txt"));
    WriteBytes(header, QByteArray("Full moons\r\n"));
    TextFileReader headerOnly(header);
    QCOMPARE(headerOnly.ReadLine(), QStringLiteral("Full moons"));
    QVERIFY(headerOnly.AtEnd());
    QCOMPARE(DescriptionOf([&] { headerOnly.ReadLine(); }),
             QStringLiteral("Input past end of file: ") + header);
    // Asking again gives the same failure, not a stale or empty line.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, headerOnly.ReadLine());
}

void TextFileTest::missingFiles()
{
    const QString missing = dir_->filePath(QStringLiteral("SkyvaneLatLong_Setup.txt"));
    QCOMPARE(DescriptionOf([&] { TextFileReader reader(missing); }),
             QStringLiteral("File not found: ") + missing);

    const QString folder = dir_->filePath(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(DescriptionOf([&] { TextFileReader reader(folder); }),
             QStringLiteral("File not found: ") + folder);

    QCOMPARE(DescriptionOf([] { TextFileReader reader{QString()}; }),
             QStringLiteral("File not found: "));
}

void TextFileTest::highBytesAndNul()
{
    QByteArray bytes("Max \xB0" "F\r\n");
    bytes.append('a');
    bytes.append('\0');
    bytes.append("b\x80\x81\xFF\xC2\xB0\n");
    const QString path = dir_->filePath(QStringLiteral("bytes.txt"));
    WriteBytes(path, bytes);
    const QStringList lines = ReadAllLines(path);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Max \u00B0F"));
    QCOMPARE(lines.at(1).size(), 8);
    QCOMPARE(lines.at(1), QStringLiteral("a") + QChar(0) + QStringLiteral("b\u20AC\u0081\u00FF\u00C2\u00B0"));
}

void TextFileTest::writeAndReadBack()
{
    const QString path = dir_->filePath(QStringLiteral("SkyvaneLatLong_Setup.txt"));
    const QString content = QStringLiteral("35.9656,-114.836,tz=-8\r\n12\u00B0 \u20AC \u00E9 \u2603\r\n");
    WriteTextFile(path, content);
    QCOMPARE(ReadBytes(path), QByteArray("35.9656,-114.836,tz=-8\r\n12\xB0 \x80 \xE9 ?\r\n"));
    QCOMPARE(ReadAllLines(path),
             QStringList({"35.9656,-114.836,tz=-8", QStringLiteral("12\u00B0 \u20AC \u00E9 ?")}));

    // Writing again replaces the whole file, leaving nothing of the longer old one.
    WriteTextFile(path, QStringLiteral("x"));
    QCOMPARE(ReadBytes(path), QByteArray("x"));
    WriteTextFile(path, QString());
    QCOMPARE(ReadBytes(path), QByteArray());
}

void TextFileTest::writeFailureNamesThePath()
{
    // A parent that is a regular file fails for every user, root included.
    const QString plain = dir_->filePath(QStringLiteral("plain"));
    WriteBytes(plain, QByteArray("keep"));
    const QString inside = plain + QStringLiteral("/SkyvaneLatLong_Setup.txt");
    const QString description = DescriptionOf([&] { WriteTextFile(inside, QStringLiteral("x")); });
    QVERIFY2(description.contains(inside), qPrintable(description));
    QVERIFY2(description.size() > inside.size() + 20, qPrintable(description));
    QVERIFY(!description.endsWith(QLatin1Char('.')));
    QCOMPARE(ReadBytes(plain), QByteArray("keep"));

    const QString folder = dir_->filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkpath(folder));
    const QString onFolder = DescriptionOf([&] { WriteTextFile(folder, QStringLiteral("x")); });
    QVERIFY2(onFolder.contains(folder), qPrintable(onFolder));
    QVERIFY(QFileInfo(folder).isDir());
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_textfile.moc"
