// The sun/moon stages against recorded service replies and small hand-made
// ones. Every expected value was written by reading the replies; those of
// the recorded replies are their records (tests/support/RecordedReplies.h).
#include "almanac/Almanac.h"
#include "almanac/AlmanacSource.h"
#include "common/DateValue.h"
#include "common/RuntimeError.h"
#include "common/CodePage.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"

#include <QtTest>

Q_DECLARE_METATYPE(net::Fetched)

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// One day's object of the New York archive, cut out by text: from its
// " "date": {" line to the closing brace at the same indentation.
QString ArchiveDay(const QString &archive, const QString &date)
{
    const QString open = QStringLiteral("\n \"%1\": {").arg(date);
    const qsizetype from = archive.indexOf(open);
    const qsizetype to = archive.indexOf(QStringLiteral("\n }"), from);
    if (from < 0 || to < 0)
        qFatal("day %s not in the archive", qPrintable(date));
    return archive.mid(from + 1, to + 3 - (from + 1));
}

AlmanacTexts Scan(const QString &reply)
{
    return ScanAlmanacReply(reply, kEnglish).value;
}

// Tomorrow's moonrise, "(none)" when the reply holds none, "(failed)" when
// the scan stopped.
QString Tomorrow(const QString &reply)
{
    const Result<QString> moonrise = ScanTomorrowMoonrise(reply, kEnglish);
    if (!moonrise)
        return QStringLiteral("(failed)");
    return moonrise.value.isEmpty() ? QStringLiteral("(none)") : moonrise.value;
}

bool ScanFails(const QString &reply)
{
    return !ScanAlmanacReply(reply, kEnglish);
}

// A moon list in the service's layout from (phenomenon, time) pairs; a time
// of "null" is written bare, as the service does.
QString MoonReply(const QList<QPair<QString, QString>> &moon, const QString &sunRise = "06:47")
{
    QString entries;
    for (const auto &[phen, time] : moon) {
        if (!entries.isEmpty())
            entries += QStringLiteral(", \n");
        const QString value = time == QStringLiteral("null") ? time : '"' + time + '"';
        entries += QStringLiteral("        {\n          \"phen\": \"%1\", \n          \"time\": %2\n"
                                  "        }")
                       .arg(phen, value);
    }
    return QStringLiteral("{\n  \"apiversion\": \"4.0.1\", \n  \"properties\": {\n    \"data\": {\n"
                          "      \"curphase\": \"Waxing Crescent\", \n      \"fracillum\": \"23%\", \n"
                          "      \"moondata\": [\n%1\n      ], \n      \"sundata\": [\n        {\n"
                          "          \"phen\": \"Rise\", \n          \"time\": %2\n        }\n      ], \n"
                          "      \"tz\": -8.0\n    }\n  }\n}\n")
        .arg(entries, sunRise == QStringLiteral("null") ? sunRise : '"' + sunRise + '"');
}

const QString kFailedText = QStringLiteral("Sunrise: \r\nSunset: \r\nMoonrise: \r\nMoonset: \r\n"
                                           "  visible\r\n");

} // namespace

Q_DECLARE_METATYPE(AlmanacTexts)

// Failure messages show all six texts.
char *toString(const AlmanacTexts &t)
{
    return QTest::toString(QStringLiteral("{%1|%2|%3|%4|%5|%6}")
                               .arg(t.phaseWord, t.illuminationText, t.sunriseTime, t.sunsetTime,
                                    t.moonriseTime, t.moonsetTime));
}

namespace {

AlmanacTexts Texts(const recorded::Almanac &r)
{
    return {r.phase, r.illumination, r.sunrise, r.sunset, r.moonrise, r.moonset};
}

// The scan of a reply, its moon picture and tomorrow's moonrise.
void CheckScan(const QString &reply, const AlmanacTexts &texts, int image, const QString &tomorrow)
{
    const AlmanacTexts got = Scan(reply);
    QCOMPARE(got, texts);
    QCOMPARE(MoonImageNumber(got.illuminationText, got.phaseWord).value, image);
    QCOMPARE(Tomorrow(reply), tomorrow);
}

} // namespace

class TestAlmanac : public QObject {
    Q_OBJECT

private slots:
    void query();
    void tomorrowQueryDate_data();
    void tomorrowQueryDate();
    void recordedReplies_data();
    void recordedReplies();
    void archiveDays_data();
    void archiveDays();
    void lineEndsDoNotMatter();
    void handMadeReply();
    void pieceRules();
    void markers();
    void timeTexts();
    void unreadableTimes();
    void failedDownload();
    void imageNumber_data();
    void imageNumber();
    void imageNumberOverflow();
    void tomorrowMoonrise();
    void chains_data();
    void chains();
};

void TestAlmanac::query()
{
    const DateValue dec6 = MakeDate(2026, 12, 6, 14, 30);
    QCOMPARE(AlmanacQuery(kAlmanacOrigin, "35.9656", "-114.836", "auto update=true", dec6),
             QStringLiteral("https://aa.usno.navy.mil/api/rstt/oneday?date=2026-12-06 "
                            "&coords=35.9656, -114.836&auto update=true &dst=true"));
    QCOMPARE(AlmanacQuery("", "35.9656", "-114.836", "", dec6),
             QStringLiteral("/api/rstt/oneday?date=2026-12-06 &coords=35.9656, -114.836& &dst=true"));
    // The fields go in as stored (untrimmed), and the placeholder is replaced
    // wherever it stands, case-sensitively.
    QCOMPARE(AlmanacQuery("", " 35.9656", " -114.836 ", "from=YYYY-MM-DD&x=yyyy-mm-dd", dec6),
             QStringLiteral("/api/rstt/oneday?date=2026-12-06 &coords= 35.9656,  -114.836 "
                            "&from=2026-12-06&x=yyyy-mm-dd &dst=true"));
}

void TestAlmanac::tomorrowQueryDate_data()
{
    QTest::addColumn<DateValue>("now");
    QTest::addColumn<QString>("date");
    QTest::newRow("23:59 on 6 December") << MakeDate(2026, 12, 6, 23, 59) << "2026-12-07";
    QTest::newRow("00:01 on 7 December") << MakeDate(2026, 12, 7, 0, 1) << "2026-12-08";
    QTest::newRow("new year's eve") << MakeDate(2026, 12, 31, 23, 59, 59) << "2027-01-01";
    QTest::newRow("leap day") << MakeDate(2028, 2, 28, 12, 0) << "2028-02-29";
    QTest::newRow("end of February in a common year") << MakeDate(2027, 2, 28, 12, 0) << "2027-03-01";
}

void TestAlmanac::tomorrowQueryDate()
{
    QFETCH(DateValue, now);
    QFETCH(QString, date);
    // The query the window sends for tomorrow's moonrise, from the clock's now.
    QCOMPARE(TomorrowQuery("", "1", "2", "x", now),
             QStringLiteral("/api/rstt/oneday?date=%1 &coords=1, 2&x &dst=true").arg(date));
}

void TestAlmanac::recordedReplies_data()
{
    QTest::addColumn<int>("record");
    for (int i = 0; i < recorded::kAlmanacs.size(); ++i)
        QTest::newRow(qPrintable(recorded::kAlmanacs[i]->file.section(u'/', -1))) << i;
}

void TestAlmanac::recordedReplies()
{
    if (!recorded::Present())
        QSKIP(recorded::kAbsent);
    QFETCH(int, record);
    const recorded::Almanac &r = *recorded::kAlmanacs[record];
    const QString reply = recorded::Text(r.file);
    // Each of these replies has one moonrise: tomorrow's scan finds it too.
    CheckScan(reply, Texts(r), r.picture, r.moonrise);
    const AlmanacComposition composed = ComposeAlmanac(Scan(reply));
    QCOMPARE(composed.text, recorded::AlmanacText(r));
    QCOMPARE(composed.title, recorded::AlmanacTitle(r));
}

void TestAlmanac::archiveDays_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<AlmanacTexts>("texts");
    QTest::addColumn<int>("image");
    QTest::addColumn<QString>("tomorrow");

    // phase, illumination, sunrise, sunset, moonrise, moonset
    const auto day = [](const char *date, AlmanacTexts texts, int image, const char *tomorrow) {
        QTest::newRow(date) << QString::fromLatin1(date) << texts << image
                            << QString::fromLatin1(tomorrow ? tomorrow : "(none)");
    };
    day("2024-02-29", {"Waning", "78%", " 6:31 AM", " 5:47 PM", " 11:00 PM", " 8:36 AM"}, 6,
        " 11:00 PM");
    day("2026-01-01", {"WAXing", "96%", " 7:20 AM", " 4:39 PM", " 2:32 PM", " 5:42 AM"}, 5,
        " 2:32 PM");
    day("2026-02-14", {"Waning", "8%", " 6:51 AM", " 5:29 PM", " 5:26 AM", " 2:30 PM"}, 1,
        " 5:26 AM");
    // No moonrise that day: the sun's rise is read and dropped.
    day("2026-03-08", {"Waning", "75%", " 7:19 AM", " 6:55 PM", "", " 9:22 AM"}, 6, nullptr);
    day("2026-03-20", {"WAXing", "3%", " 6:59 AM", " 7:08 PM", " 7:32 AM", " 9:24 PM"}, 1,
        " 7:32 AM");
    day("2026-04-15", {"Waning", "5%", " 6:17 AM", " 7:35 PM", " 5:08 AM", " 5:45 PM"}, 1,
        " 5:08 AM");
    day("2026-05-28", {"WAXing", "93%", " 5:29 AM", " 8:18 PM", " 6:08 PM", " 3:30 AM"}, 5,
        " 6:08 PM");
    day("2026-06-21", {"WAXing", "48%", " 5:25 AM", " 8:31 PM", " 12:49 PM", " 12:29 AM"}, 3,
        " 12:49 PM");
    day("2026-07-14", {"New", "0%", " 5:37 AM", " 8:27 PM", " 5:30 AM", " 9:03 PM"}, 1, " 5:30 AM");
    day("2026-09-22", {"WAXing", "83%", " 6:44 AM", " 6:53 PM", " 5:02 PM", " 2:13 AM"}, 4,
        " 5:02 PM");
    day("2026-11-01", {"Waning", "52%", " 6:26 AM", " 4:52 PM", " 11:14 PM", " 1:07 PM"}, 7,
        " 11:14 PM");
    day("2026-11-15", {"WAXing", "33%", " 6:43 AM", " 4:38 PM", " 12:01 PM", " 9:49 PM"}, 2,
        " 12:01 PM");
    day("2026-12-21", {"WAXing", "92%", " 7:17 AM", " 4:31 PM", " 2:00 PM", " 4:35 AM"}, 5,
        " 2:00 PM");
    day("2027-03-14", {"WAXing", "39%", " 7:09 AM", " 7:01 PM", " 10:14 AM", " 1:14 AM"}, 2,
        " 10:14 AM");
    day("2027-08-01", {"Waning", "1%", " 5:52 AM", " 8:12 PM", " 4:36 AM", " 7:51 PM"}, 1,
        " 4:36 AM");
}

void TestAlmanac::archiveDays()
{
    if (!recorded::Present())
        QSKIP(recorded::kAbsent);
    QFETCH(QString, date);
    QFETCH(AlmanacTexts, texts);
    QFETCH(int, image);
    QFETCH(QString, tomorrow);

    // Re-serialised without a space after the commas, so every time value
    // that a comma follows stands whole in its piece.
    static const QString archive = recorded::Text(QStringLiteral("usno-derived/nyc-15-days-archive-reserialized.json"));
    const QString reply = ArchiveDay(archive, date);
    CheckScan(reply, texts, image, tomorrow);
    if (date == QStringLiteral("2026-03-08")) {
        const AlmanacComposition composed = ComposeAlmanac(Scan(reply));
        QCOMPARE(composed.text, QStringLiteral("Sunrise:  7:19 AM\r\nSunset:  6:55 PM\r\nMoonrise: \r\n"
                                               "Moonset:  9:22 AM\r\nWaning 75% visible\r\n"));
        QCOMPARE(composed.title, QStringLiteral(" Moon Waning 75% Sunrise:  7:19 AM  Sunset:  6:55 PM"));
    }
}

void TestAlmanac::lineEndsDoNotMatter()
{
    if (!recorded::Present())
        QSKIP(recorded::kAbsent);
    QString reply = recorded::Text(recorded::kReykjavik.file);
    reply.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QCOMPARE(Scan(reply), Texts(recorded::kReykjavik));
    QCOMPARE(Tomorrow(reply), recorded::kReykjavik.moonrise);
}

void TestAlmanac::handMadeReply()
{
    const QString reply = FromCp1252(testsupport::SuiteFile(QStringLiteral("almanac/waxing-crescent-reply.json")));
    const AlmanacTexts texts = Scan(reply);
    QCOMPARE(texts, (AlmanacTexts{"WAXing", "23%", " 6:47 AM", " 4:31 PM", " 9:12 AM", " 8:05 PM"}));
    const AlmanacComposition composed = ComposeAlmanac(texts);
    QCOMPARE(composed.text, QStringLiteral("Sunrise:  6:47 AM\r\nSunset:  4:31 PM\r\nMoonrise:  9:12 AM\r\n"
                                           "Moonset:  8:05 PM\r\nWAXing 23% visible\r\n"));
    QCOMPARE(composed.title, QStringLiteral(" Moon WAXing 23% Sunrise:  6:47 AM  Sunset:  4:31 PM"));
    QCOMPARE(MoonImageNumber(texts.illuminationText, texts.phaseWord).value, 2);
}

void TestAlmanac::pieceRules()
{
    // Piece 0, the text before the first comma, is never examined.
    QCOMPARE(Scan(R"({"curphase": "Waxing Crescent", "x": 1})").phaseWord, QString());
    QCOMPARE(Scan(R"({"phen": "Rise", "time": "09:12" })"), AlmanacTexts{});

    // One word stays whole; of two words the first is kept; "ax" anywhere
    // becomes "AX", other words keep their case.
    QCOMPARE(Scan(R"({"a": 1, "curphase": "Full", "b": 2})").phaseWord, QStringLiteral("Full"));
    QCOMPARE(Scan(R"({"a": 1, "curphase": "Waning Gibbous", "b": 2})").phaseWord,
             QStringLiteral("Waning"));
    QCOMPARE(Scan(R"({"a": 1, "curphase": "Relaxed waxing", "b": 2})").phaseWord,
             QStringLiteral("RelAXed"));
    QCOMPARE(Scan(R"({"a": 1, "curphase": "Waxing"})").phaseWord, QStringLiteral("WAXing}"));

    // The illumination up to its first space, whatever comes with it.
    QCOMPARE(Scan(R"({"a": 1, "fracillum": "23% lit", "b": 2})").illuminationText,
             QStringLiteral("23%"));
    QCOMPARE(Scan(R"({"a": 1, "fracillum": "7%"})").illuminationText, QStringLiteral("7%}"));

    // The closest phase's time, directly followed by a comma, is cut whole
    // and then ignored: nothing is pending yet.
    QCOMPARE(Scan(R"({"closestphase": {"phase": "New Moon", "time": "17:22","year": 2026}, )"
                  R"("curphase": "New Moon", "fracillum": "0%", "moondata": [])"),
             (AlmanacTexts{"New", "0%", "", "", "", ""}));
    // An unreadable time before any marker is not an error either.
    QCOMPARE(Scan(R"({"a": 1, "time": "soon", "b": 2})"), AlmanacTexts{});
}

void TestAlmanac::markers()
{
    // A moon list of a transit and a set: no moonrise.
    AlmanacTexts texts = Scan(MoonReply({{"Upper Transit", "04:34"}, {"Set", "09:22"}}));
    QCOMPARE(texts.moonriseTime, QString());
    QCOMPARE(texts.moonsetTime, QStringLiteral(" 9:22 AM"));
    QCOMPARE(texts.sunriseTime, QStringLiteral(" 6:47 AM"));

    // Two sets: the later wins. A rise after a set and a transit is found.
    texts = Scan(MoonReply({{"Set", "00:17"}, {"Upper Transit", "05:02"}, {"Rise", "11:29"},
                            {"Set", "23:05"}}));
    QCOMPARE(texts.moonsetTime, QStringLiteral(" 11:05 PM"));
    QCOMPARE(texts.moonriseTime, QStringLiteral(" 11:29 AM"));

    // Only the first time after a marker is its own; a piece holding both
    // markers counts as a rise.
    texts = Scan(R"({"a": 1, "phen": "Set", "time": "01:00 ", "time": "02:00 ", )"
                 R"("phen": "Set or Rise", "time": "03:00 ", "b": 2})");
    QCOMPARE(texts.moonsetTime, QStringLiteral(" 1:00 AM"));
    QCOMPARE(texts.moonriseTime, QStringLiteral(" 3:00 AM"));

    // A time that a comma follows directly, with no space after it: the
    // whole value is the time.
    QCOMPARE(Scan(R"({"a": 1, "phen": "Set", "time": "21:37","b": 2)").moonsetTime,
             QStringLiteral(" 9:37 PM"));
    // A reply that ends right after a time value was cut short: both scans
    // fail, so the window keeps what it had.
    const Result<AlmanacTexts> cut = ScanAlmanacReply(R"({"a": 1, "phen": "Rise", "time": 09:12)", kEnglish);
    QCOMPARE(cut.outcome, Outcome::Failed);
    QCOMPARE(cut.rule, QStringLiteral("cut-short"));
    QCOMPARE(Tomorrow(R"({"a": 1, "phen": "Rise", "time": "09:12")"), QStringLiteral("(failed)"));
}

void TestAlmanac::timeTexts()
{
    const auto rise = [](const char *time) { return Scan(MoonReply({{"Rise", time}})).moonriseTime; };
    QCOMPARE(rise("00:05"), QStringLiteral(" 12:05 AM"));
    QCOMPARE(rise("00:00"), QStringLiteral(" 12:00 AM"));
    QCOMPARE(rise("11:59"), QStringLiteral(" 11:59 AM"));
    QCOMPARE(rise("12:30"), QStringLiteral(" 12:30 PM"));
    QCOMPARE(rise("23:59"), QStringLiteral(" 11:59 PM"));
    QCOMPARE(rise("7:05"), QStringLiteral(" 7:05 AM"));
    // Spaces, tabs and line breaks around the time are no part of it.
    QCOMPARE(Scan("{\"a\": 1, \"phen\": \"Rise\", \"time\": \t08:15\r\n }").moonriseTime,
             QStringLiteral(" 8:15 AM"));
}

void TestAlmanac::unreadableTimes()
{
    // After a marker the time must read as a 24-hour hh:mm; otherwise the
    // scan fails and the caller keeps what it had.
    for (const char *bad : {"null", "24:00", "12:60", "9h12", "", "-1:30", "12:3"}) {
        const QString reply = MoonReply({{"Rise", bad}});
        QVERIFY(ScanFails(reply));
        QCOMPARE(Tomorrow(reply), QStringLiteral("(failed)"));
    }
    // A time value starting with a space is cut to nothing.
    QVERIFY(ScanFails(R"({"a": 1, "phen": "Set", "time":  "09:12" })"));
    // The description names what failed.
    const Result<AlmanacTexts> failed = ScanAlmanacReply(MoonReply({{"Set", "24:00"}}), kEnglish);
    QCOMPARE(failed.rule, QStringLiteral("time"));
    QVERIFY2(failed.reason.contains(QStringLiteral("\"24:00\"")), qPrintable(failed.reason));
}

void TestAlmanac::failedDownload()
{
    const AlmanacTexts texts = Scan(QString());
    QCOMPARE(texts, AlmanacTexts{});
    const AlmanacComposition composed = ComposeAlmanac(texts);
    QCOMPARE(composed.text, kFailedText);
    QCOMPARE(composed.title, QStringLiteral(" Moon   Sunrise:   Sunset: "));
    QCOMPARE(MoonImageNumber(texts.illuminationText, texts.phaseWord).value, 1);
    QCOMPARE(Tomorrow(QString()), QStringLiteral("(none)"));
    // An error page has no pieces worth anything either.
    QCOMPARE(Scan(QStringLiteral("<html><body>Service Unavailable</body></html>")), AlmanacTexts{});

    // Nothing, an error page or the service's error object holds none of the
    // markers: not a sun/moon reply at all, so the window keeps what it had.
    for (const QString &reply :
         {QString(),
          QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
                         "<title>503 Service Unavailable</title>\n</head><body>\n<h1>Service Unavailable</h1>\n"
                         "<p>The server is temporarily unable to service your\nrequest due to maintenance downtime "
                         "or capacity\nproblems. Please try again later.</p>\n</body></html>\n"),
          QStringLiteral("{\"error\": \"Bad request\"}")}) {
        const Result<AlmanacTexts> scan = ScanAlmanacReply(reply, kEnglish);
        QCOMPARE(scan.outcome, Outcome::Absent);
        QCOMPARE(scan.rule, QStringLiteral("no-markers"));
        QCOMPARE(scan.reason, QStringLiteral("the reply holds none of the sun/moon markers"));
    }
    // One marker, even in piece 0, makes it a reply to scan.
    QCOMPARE(ScanAlmanacReply(R"({"error": "Rise"})", kEnglish).outcome, Outcome::Done);
}

void TestAlmanac::imageNumber_data()
{
    QTest::addColumn<QString>("illumination");
    QTest::addColumn<int>("waxing");
    QTest::addColumn<int>("waning");
    QTest::newRow("empty") << "" << 1 << 1;
    QTest::newRow("negative") << "-5%" << 1 << 1;
    QTest::newRow("10") << "10%" << 1 << 1;
    QTest::newRow("10.5 to even 10") << "10.5%" << 1 << 1;
    QTest::newRow("11") << "11%" << 2 << 8;
    QTest::newRow("11.5 to even 12") << "11.5%" << 2 << 8;
    QTest::newRow("39") << "39%" << 2 << 8;
    QTest::newRow("39.5 to even 40") << "39.5%" << 3 << 7;
    QTest::newRow("40") << "40%" << 3 << 7;
    QTest::newRow("60") << "60%" << 3 << 7;
    QTest::newRow("60.5 to even 60") << "60.5%" << 3 << 7;
    QTest::newRow("61") << "61%" << 4 << 6;
    QTest::newRow("89") << "89%" << 4 << 6;
    QTest::newRow("89.5 to even 90") << "89.5%" << 5 << 5;
    QTest::newRow("90") << "90%" << 5 << 5;
    QTest::newRow("100") << "100%" << 5 << 5;
    QTest::newRow("no number") << "about half" << 1 << 1;
}

void TestAlmanac::imageNumber()
{
    QFETCH(QString, illumination);
    QFETCH(int, waxing);
    QFETCH(int, waning);
    QCOMPARE(MoonImageNumber(illumination, "WAXing").value, waxing);
    // Waxing means exactly "WAXing"; every other word counts as waning.
    for (const char *word : {"Waning", "Waxing", "WAXING", "WAXing ", "Full", ""})
        QCOMPARE(MoonImageNumber(illumination, word).value, waning);
}

void TestAlmanac::imageNumberOverflow()
{
    QCOMPARE(MoonImageNumber("32767%", "Full").value, 5);
    QCOMPARE(MoonImageNumber("-32768%", "Full").value, 1);
    const Result<int> overflow = MoonImageNumber("32768%", "Full");
    QCOMPARE(overflow.outcome, Outcome::Failed);
    QCOMPARE(overflow.rule, QStringLiteral("overflow"));
    QVERIFY(!MoonImageNumber("-40000%", "WAXing"));
    QVERIFY(!MoonImageNumber("1e9%", "WAXing"));
}

void TestAlmanac::tomorrowMoonrise()
{
    // A set, a transit and then a rise: the rise is the one. Sets are not
    // markers here, so a set's unreadable time does not matter.
    QCOMPARE(Tomorrow(MoonReply({{"Set", "null"}, {"Upper Transit", "16:10"}, {"Rise", "21:37"}})),
             QStringLiteral(" 9:37 PM"));
    // The first rise ends the scan: what follows is never read.
    QCOMPARE(Tomorrow(MoonReply({{"Rise", "04:10"}, {"Rise", "null"}}, "null")),
             QStringLiteral(" 4:10 AM"));
    // No moonrise: the sun's rise is read and dropped.
    QCOMPARE(Tomorrow(MoonReply({{"Upper Transit", "04:34"}, {"Set", "09:22"}})), QStringLiteral("(none)"));
    QCOMPARE(Tomorrow(MoonReply({})), QStringLiteral("(none)"));
    // ... and an unreadable sun rise is still an error.
    QCOMPARE(Tomorrow(MoonReply({{"Set", "09:22"}}, "null")), QStringLiteral("(failed)"));
    // Piece 0 is not examined; a time before any rise is ignored.
    QCOMPARE(Tomorrow(R"({"phen": "Rise", "time": "09:12" })"), QStringLiteral("(none)"));
    QCOMPARE(Tomorrow(R"({"a": 1, "time": "17:22", "phen": "Rise", "time": "00:05" })"),
             QStringLiteral(" 12:05 AM"));
}

// The sun/moon chains on a fake network: the observatory first, the sky
// computed here when it gives nothing usable.
void TestAlmanac::chains_data()
{
    const QString reply = QString::fromLatin1(testsupport::SuiteFile("almanac/waxing-crescent-reply.json"));
    const net::Fetched answered{reply, {net::Failure::None, "aa.usno.navy.mil", 200, "OK", {}}};
    const net::Fetched errorPage{"<html>503</html>", {net::Failure::None, "aa.usno.navy.mil", 200, "OK", {}}};
    const net::Fetched cancelled{QString(), {net::Failure::Cancelled, "aa.usno.navy.mil", 0, {}, {}}};
    QTest::addColumn<bool>("moonrise");       // the moonrise chain, else the day's
    QTest::addColumn<net::Fetched>("fetched");
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("source");      // empty: nothing
    QTest::addColumn<QStringList>("failed");  // "source: rule" of each that gave nothing
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("the observatory answers") << false << answered << "35.9656" << "aa.usno.navy.mil" << QStringList()
                                             << false;
    QTest::newRow("an error page: computed") << false << errorPage << "35.9656" << "computed"
                                             << QStringList{"aa.usno.navy.mil: no-markers"} << false;
    QTest::newRow("nothing fetched and no place to compute for")
        << false << net::Fetched{} << "north" << QString()
        << QStringList{"aa.usno.navy.mil: not-answered", "computed: nothing-computed"} << false;
    QTest::newRow("the window closed during the observatory")
        << false << cancelled << "35.9656" << QString() << QStringList{"aa.usno.navy.mil: not-answered"} << true;
    QTest::newRow("moonrise: the observatory answers") << true << answered << "35.9656" << "aa.usno.navy.mil"
                                                       << QStringList() << false;
    QTest::newRow("moonrise: an error page, computed") << true << errorPage << "35.9656" << "computed"
                                                       << QStringList{"aa.usno.navy.mil: no-markers"} << false;
    const QString noRise = QStringLiteral(R"({"moondata": [{"phen": "Set", "time": "10:00" }], )"
                                          R"("sundata": [{"phen": "Rise", "time": "06:00" }], "tz": -8 })");
    QTest::newRow("moonrise: the observatory says the moon does not rise")
        << true << net::Fetched{noRise, answered.report} << "35.9656" << "aa.usno.navy.mil" << QStringList() << false;
}

void TestAlmanac::chains()
{
    QFETCH(bool, moonrise);
    QFETCH(net::Fetched, fetched);
    QFETCH(QString, latitude);
    QFETCH(QString, source);
    QFETCH(QStringList, failed);
    QFETCH(bool, cancelled);
    QStringList asked;
    const net::Download download = [&](const net::Request &request) {
        asked << request.url;
        return fetched;
    };
    const AlmanacAsk ask{Place{latitude, "-114.836", "tz=-8"}, kAlmanacOrigin, MakeDate(2026, 12, 6, 10, 0)};
    QStringList words;
    const auto check = [&](const auto &outcome, const auto &observatoryValue) {
        QCOMPARE(bool(outcome.value), !source.isEmpty());
        if (outcome.value)
            QCOMPARE(outcome.source, source);
        if (source == QStringLiteral("aa.usno.navy.mil")) {
            QCOMPARE(outcome.value.value, observatoryValue);
            QCOMPARE(outcome.keep.size(), size_t(1));
            QCOMPARE(outcome.keep[0].body, fetched.body);
        } else {
            QVERIFY(outcome.keep.empty());
        }
        for (const Attempt &attempt : outcome.failed)
            words << attempt.source + ": " + attempt.rule;
        QCOMPARE(outcome.cancelled, cancelled);
    };
    if (moonrise) {
        const ChainOutcome<QString> outcome = FetchMoonrise(ask, download);
        check(outcome, ReadMoonrise(fetched.body).value);
    } else {
        check(FetchAlmanac(ask, download), ReadAlmanac(fetched.body).value);
    }
    QCOMPARE(words, failed);
    QCOMPARE(asked, QStringList{AlmanacQuery(kAlmanacOrigin, latitude, "-114.836", "tz=-8", ask.date)});
}

QTEST_GUILESS_MAIN(TestAlmanac)
#include "tst_almanac.moc"
