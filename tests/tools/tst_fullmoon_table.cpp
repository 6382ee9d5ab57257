// The full-moon table generator: its astronomy against published full moons,
// the time-zone conversion, the table's form, the command line, and the
// table we ship.

#include "common/DateValue.h"
#include "common/RuntimeError.h"
#include "common/TextFile.h"
#include "tools/MoonPhase.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QTimeZone kLosAngeles("America/Los_Angeles");
const QTimeZone kTokyo("Asia/Tokyo");

QDateTime Utc(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
    t.setTimeZone(QTimeZone::utc());
    return t;
}

// The computed full moon nearest to `when`.
QDateTime Nearest(const QDateTime &when)
{
    const int year = when.date().year();
    QDateTime best;
    for (const QDateTime &moon : moonphase::FullMoonsInYears(QTimeZone::utc(), year - 1, year + 1))
        if (!best.isValid() || std::abs(moon.secsTo(when)) < std::abs(best.secsTo(when)))
            best = moon;
    return best;
}

// Lines of a table text; each must end with CR LF.
QStringList TableLines(const QString &text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QString kDefaultHeader = QStringLiteral(
    "Full moons 2024 through 2050, local time in America/Los_Angeles, one per line as yyyy-mm-dd hh:mm");

} // namespace

class TestFullMoonTable : public QObject {
    Q_OBJECT

private slots:
    void publishedFullMoons_data();
    void publishedFullMoons();
    void recordedPhasesFixture();
    void oneFullMoonPerLunation();
    void localTimeInTheZone();
    void yearsCountInTheZonesOwnCalendar();
    void tableForm();
    void commandLine();
    void commandLineFailures();
    void shippedTableIsCurrentAndReadable();
};

void TestFullMoonTable::publishedFullMoons_data()
{
    QTest::addColumn<QString>("utc");
    // Published full moons in UTC (US Naval Observatory).
    for (const char *t : {"2026-01-03 10:03", "2026-12-24 01:28", "2024-01-25 17:54", "2024-02-24 12:30",
                          "2024-03-25 07:00", "2024-04-23 23:49", "2024-05-23 13:53", "2024-06-22 01:08",
                          "2024-07-21 10:17", "2024-08-19 18:26", "2024-09-18 02:34", "2024-10-17 11:26",
                          "2024-11-15 21:28", "2024-12-15 09:02"})
        QTest::newRow(t) << QString::fromLatin1(t);
}

void TestFullMoonTable::publishedFullMoons()
{
    QFETCH(QString, utc);
    const QDateTime expected = Utc(utc);
    const QDateTime computed = Nearest(expected);
    QVERIFY2(std::abs(computed.secsTo(expected)) <= 5 * 60,
             qPrintable(computed.toString(Qt::ISODate)));
    QCOMPARE(computed.time().second(), 0); // whole minutes, as the table shows them
}

void TestFullMoonTable::recordedPhasesFixture()
{
    if (!recorded::Present())
        QSKIP(recorded::kAbsent);
    const QByteArray record = recorded::Bytes(QStringLiteral("moon-phases/usno-moon-phases-2024-normalized-record.json"));
    const QJsonArray events = QJsonDocument::fromJson(record).object().value("events").toArray();
    const QList<QDateTime> computed = moonphase::FullMoonsInYears(QTimeZone::utc(), 2024, 2024);
    qsizetype next = 0;
    for (const QJsonValue &value : events) {
        const QJsonObject event = value.toObject();
        if (event.value("phase").toString() != QLatin1String("Full Moon"))
            continue;
        const QDateTime expected = QDateTime::fromString(event.value("utc").toString(), Qt::ISODate);
        QVERIFY(expected.isValid());
        QVERIFY(next < computed.size());
        QVERIFY2(std::abs(computed.at(next).secsTo(expected)) <= 5 * 60,
                 qPrintable(event.value("utc").toString()));
        ++next;
    }
    QCOMPARE(next, computed.size());
}

void TestFullMoonTable::oneFullMoonPerLunation()
{
    // No lunation skipped or listed twice: a synodic month lasts between
    // about 29.27 and 29.83 days.
    const QList<QDateTime> moons = moonphase::FullMoonsInYears(QTimeZone::utc(), 1990, 2100);
    QVERIFY(moons.size() > 1300);
    for (qsizetype i = 1; i < moons.size(); ++i) {
        const double days = moons.at(i - 1).secsTo(moons.at(i)) / 86400.0;
        QVERIFY2(days > 29.2 && days < 29.9, qPrintable(moons.at(i).toString(Qt::ISODate)));
    }
    QCOMPARE(moons.first().date().year(), 1990);
    QCOMPARE(moons.last().date().year(), 2100);
    // 2026 has a blue moon: thirteen full moons.
    QCOMPARE(moonphase::FullMoonsInYears(QTimeZone::utc(), 2026, 2026).size(), 13);
    QVERIFY(moonphase::FullMoonsInYears(QTimeZone::utc(), 2030, 2029).isEmpty());
}

void TestFullMoonTable::localTimeInTheZone()
{
    const QStringList lines = TableLines(moonphase::FullMoonTableText(kLosAngeles, 2024, 2026));
    // Winter: Pacific standard time, eight hours behind UTC.
    QVERIFY(lines.contains(QStringLiteral("2026-12-23 17:28")));
    QVERIFY(lines.contains(QStringLiteral("2026-01-03 02:03")));
    // Summer: Pacific daylight time, seven hours behind (2024-07-21 10:17 UTC).
    QVERIFY(lines.contains(QStringLiteral("2024-07-21 03:17")));

    // Tokyo keeps +9 all year.
    const QStringList tokyo = TableLines(moonphase::FullMoonTableText(kTokyo, 2024, 2026));
    QVERIFY(tokyo.contains(QStringLiteral("2026-12-24 10:28")));
    QVERIFY(tokyo.contains(QStringLiteral("2024-07-21 19:17")));
    QVERIFY(tokyo.first().contains(QStringLiteral("Asia/Tokyo")));
}

void TestFullMoonTable::yearsCountInTheZonesOwnCalendar()
{
    // 2048-01-01 06:57 UTC is still New Year's Eve in Los Angeles.
    const QList<QDateTime> la2047 = moonphase::FullMoonsInYears(kLosAngeles, 2047, 2047);
    QCOMPARE(la2047.last().toTimeZone(kLosAngeles).date(), QDate(2047, 12, 31));
    const QList<QDateTime> la2048 = moonphase::FullMoonsInYears(kLosAngeles, 2048, 2048);
    QCOMPARE(la2048.first().toTimeZone(kLosAngeles).date().month(), 1);
    QVERIFY(la2048.first().toTimeZone(kLosAngeles).date().day() > 20);
    QCOMPARE(moonphase::FullMoonsInYears(QTimeZone::utc(), 2048, 2048).first().date(), QDate(2048, 1, 1));

    // 2028-12-31 16:49 UTC is already New Year's Day in Tokyo.
    QCOMPARE(moonphase::FullMoonsInYears(kTokyo, 2029, 2029).first().toTimeZone(kTokyo).date(),
             QDate(2029, 1, 1));
    QCOMPARE(moonphase::FullMoonsInYears(QTimeZone::utc(), 2028, 2028).last().date(), QDate(2028, 12, 31));
}

void TestFullMoonTable::tableForm()
{
    const QString text = moonphase::FullMoonTableText(kLosAngeles, 2024, 2050);
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    // Every line end is CR LF: no lone CR or LF anywhere.
    QCOMPARE(text.count(QLatin1Char('\r')), text.count(QLatin1Char('\n')));
    QCOMPARE(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));

    const QStringList lines = TableLines(text);
    QCOMPARE(lines.first(), kDefaultHeader);
    const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}$"));
    QString previous;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QVERIFY2(form.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
        QVERIFY2(lines.at(i) > previous, qPrintable(lines.at(i))); // ascending
        previous = lines.at(i);
    }
    QVERIFY(lines.at(1).startsWith(QStringLiteral("2024-01-")));
    QVERIFY(lines.last().startsWith(QStringLiteral("2050-12-")));
    QVERIFY(lines.size() > 27 * 12);

    const QString oneYear = moonphase::FullMoonTableText(kTokyo, 2030, 2030);
    QVERIFY(oneYear.startsWith(QStringLiteral(
        "Full moons 2030 through 2030, local time in Asia/Tokyo, one per line as yyyy-mm-dd hh:mm\r\n")));
}

void TestFullMoonTable::commandLine()
{
    QProcess tool;
    tool.start(QStringLiteral(FULLMOON_TABLE_PROGRAM), {});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardOutput(), moonphase::FullMoonTableText(kLosAngeles, 2024, 2050).toLatin1());

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("table.txt"));
    tool.start(QStringLiteral(FULLMOON_TABLE_PROGRAM),
               {QStringLiteral("--zone"), QStringLiteral("Asia/Tokyo"), QStringLiteral("--from"),
                QStringLiteral("2026"), QStringLiteral("--to"), QStringLiteral("2027"), out});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(tool.readAllStandardOutput().isEmpty());
    QCOMPARE(testsupport::ReadFile(out), moonphase::FullMoonTableText(kTokyo, 2026, 2027).toLatin1());
}

void TestFullMoonTable::commandLineFailures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("table.txt"));
    const struct {
        QStringList args;
        int exitCode;
        const char *message;
    } cases[] = {
        {{"--zone", "Nowhere/Special", out}, 2, "unknown time zone \"Nowhere/Special\""},
        {{"--from", "2030", "--to", "2029", out}, 2, "--from 2030 is after --to 2029"},
        {{"--from", "twenty", out}, 2, "--from must be a year"},
        {{"--to", "3000", out}, 2, "--to must be a year"},
        {{"--zone"}, 2, "--zone needs a value"},
        {{"--year", "2030"}, 2, "unknown option \"--year\""},
        {{out, out}, 2, "more than one output file"},
        {{dir.filePath("missing/table.txt")}, 1, "cannot create"},
    };
    for (const auto &c : cases) {
        QProcess tool;
        tool.start(QStringLiteral(FULLMOON_TABLE_PROGRAM), c.args);
        QVERIFY(tool.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == c.exitCode, qPrintable(err));
        QVERIFY2(err.contains(QLatin1String(c.message)), qPrintable(err));
        QVERIFY(tool.readAllStandardOutput().isEmpty());
        QVERIFY2(!QFile::exists(out), qPrintable(c.args.join(' '))); // nothing written on failure
    }
}

void TestFullMoonTable::shippedTableIsCurrentAndReadable()
{
    const QString path = QStringLiteral(SELVORRA_SOURCE_DIR "/data/FullMoonTable.txt");
    // Regenerate with: cmake --build <build> --target fullmoon_table_data
    QVERIFY2(testsupport::ReadFile(path) == moonphase::FullMoonTableText(kLosAngeles, 2024, 2050).toLatin1(),
             "data/FullMoonTable.txt differs from what the generator writes");

    // The program's own reader takes every line as a date, in order, well
    // within the size it reads at most.
    TextFileReader reader(path, 4 * 1024 * 1024);
    QCOMPARE(reader.ReadLine(), kDefaultHeader);
    DateValue previous = 0;
    int count = 0;
    while (!reader.AtEnd()) {
        const QString line = reader.ReadLine();
        DateValue value = 0;
        try {
            value = ParseDateText(line, QLocale(QLocale::English, QLocale::UnitedStates));
        } catch (const RuntimeError &e) {
            QFAIL(qPrintable(e.description()));
        }
        QVERIFY2(value > previous, qPrintable(line));
        QCOMPARE(FormatIsoDate(value), line.left(10));
        previous = value;
        ++count;
    }
    QVERIFY(count > 27 * 12);
    QCOMPARE(FormatIsoDate(previous), QStringLiteral("2050-12-27"));
}

QTEST_GUILESS_MAIN(TestFullMoonTable)
#include "tst_fullmoon_table.moc"
