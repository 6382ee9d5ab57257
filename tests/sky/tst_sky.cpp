// The computed sun and moon values against what the Naval Observatory
// itself printed: its yearly rise/set tables, its one-day replies and its
// list of the 2024 moon phases, all read in place from the shared fixtures.
#include "sky/Ephemeris.h"
#include "sky/Sky.h"

#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);

// Julian day of a "YYYY-MM-DDTHH:MM" UT text.
double JulianDay(const QString &text)
{
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const QTime time = QTime::fromString(text.mid(11, 5), QStringLiteral("HH:mm"));
    return sky::detail::JulianDayAtMidnight(date.year(), date.month(), date.day())
        + (time.hour() * 60 + time.minute()) / 1440.0;
}

struct TableEvent {
    double jdUt; // to the minute, as printed
    bool rise;
};

// One place of the yearly tables: "Sun 0 60" with its printed events.
struct TableSite {
    sky::Body body;
    int longitude, latitude;
    int firstYear, lastYear;
    QList<TableEvent> events;
};

QMap<QString, TableSite> ReadTables(const QString &path)
{
    QMap<QString, TableSite> sites;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return sites;
    while (!file.atEnd()) {
        const QStringList f = QString::fromLatin1(file.readLine()).simplified().split(' ');
        if (f.size() != 5)
            continue;
        const QString key = f[0] + ' ' + f[1] + ' ' + f[2];
        TableSite &site = sites[key];
        const int year = f[3].left(4).toInt();
        if (site.events.isEmpty()) {
            site.body = f[0] == QLatin1String("Sun") ? sky::Body::Sun : sky::Body::Moon;
            site.longitude = f[1].toInt();
            site.latitude = f[2].toInt();
            site.firstYear = year;
        }
        site.lastYear = year;
        site.events.append({JulianDay(f[3]), f[4] == QLatin1String("r")});
    }
    return sites;
}

double Minutes(double days)
{
    return days * 1440.0;
}

// The minute the tables print for an instant `days` after a midnight: the
// time is rounded to the second, then to the minute.
double PrintedMinute(double days)
{
    return std::floor((std::round(days * 86400.0) + 30.0) / 60.0);
}

QJsonObject ReadJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// "HH:MM" of the given phenomenon in a reply's sun or moon list, in order.
QList<int> ReplyMinutes(const QJsonArray &list, const QString &phen)
{
    QList<int> minutes;
    for (const QJsonValue &entry : list) {
        if (entry[QLatin1String("phen")].toString() != phen)
            continue;
        const QTime t = QTime::fromString(entry[QLatin1String("time")].toString(), QStringLiteral("HH:mm"));
        minutes.append(t.hour() * 60 + t.minute());
    }
    return minutes;
}

QList<int> ToList(const std::vector<int> &v)
{
    return QList<int>(v.begin(), v.end());
}

} // namespace

class TestSky : public QObject {
    Q_OBJECT

private slots:
    void yearlyTables_data();
    void yearlyTables();
    void recordedReplies_data();
    void recordedReplies();
    void principalPhases();
    void oddInput_data();
    void oddInput();
};

void TestSky::yearlyTables_data()
{
    QTest::addColumn<QString>("site");
    const QMap<QString, TableSite> sites = ReadTables(kFixtures + "/usno-tables/riseset.txt");
    if (sites.isEmpty())
        QTest::newRow("absent") << QString();
    for (auto it = sites.cbegin(); it != sites.cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key();
}

// Every event the tables print is found, to the minute as printed (two
// minutes near the poles, where the limb creeps along the horizon), and
// nothing is found that they do not print.
void TestSky::yearlyTables()
{
    QFETCH(QString, site);
    if (site.isEmpty())
        QSKIP("the observatory's tables (usno-tables/riseset.txt in the shared fixtures) are absent");
    static const QMap<QString, TableSite> sites = ReadTables(kFixtures + "/usno-tables/riseset.txt");
    const TableSite &s = sites[site];
    const bool polar = std::abs(s.latitude) > 65;

    const double from = sky::detail::JulianDayAtMidnight(s.firstYear, 1, 1);
    const double to = sky::detail::JulianDayAtMidnight(s.lastYear + 1, 1, 1);
    // A day's margin each side, so that the scan's ends play no part.
    const std::vector<sky::Event> found =
        sky::RiseSetBetween(s.body, s.latitude, s.longitude, from - 1, to + 1);
    std::vector<bool> used(found.size(), false);

    int count = 0, exact = 0, offByMore = 0, offByMoreThanTwo = 0, missing = 0;
    double sumSquares = 0, largest = 0, largestRounded = 0;
    for (const TableEvent &printed : s.events) {
        // The nearest unused event of the same kind.
        qsizetype best = -1;
        for (size_t i = 0; i < found.size(); ++i) {
            if (used[i] || found[i].rise != printed.rise)
                continue;
            if (best < 0 || std::abs(found[i].jdUt - printed.jdUt) < std::abs(found[best].jdUt - printed.jdUt))
                best = static_cast<qsizetype>(i);
        }
        if (best < 0 || Minutes(std::abs(found[best].jdUt - printed.jdUt)) > 10) {
            ++missing;
            qWarning("%s: no match for the printed %s at JD %.5f", qPrintable(site),
                     printed.rise ? "rise" : "set", printed.jdUt);
            continue;
        }
        used[best] = true;
        ++count;
        const double error = Minutes(found[best].jdUt - printed.jdUt);
        const double rounded = PrintedMinute(found[best].jdUt - from) - PrintedMinute(printed.jdUt - from);
        sumSquares += error * error;
        largest = std::max(largest, std::abs(error));
        largestRounded = std::max(largestRounded, std::abs(rounded));
        if (rounded == 0)
            ++exact;
        if (std::abs(rounded) > 1)
            ++offByMore;
        if (std::abs(rounded) > 2)
            ++offByMoreThanTwo;
        if (!polar && std::abs(rounded) > 1)
            qWarning("%s: %s at JD %.5f off by %.0f min", qPrintable(site), printed.rise ? "rise" : "set",
                     printed.jdUt, rounded);
    }
    // Found events inside the tables' span that they do not print. One that
    // rounds to the span's first or last minute may be printed on the other
    // side of the edge, which the tables do not show.
    int extra = 0;
    for (size_t i = 0; i < found.size(); ++i) {
        if (used[i] || found[i].jdUt < from + 1.0 / 1440 || found[i].jdUt >= to - 1.0 / 1440)
            continue;
        ++extra;
        qWarning("%s: found a %s at JD %.5f that the table does not print", qPrintable(site),
                 found[i].rise ? "rise" : "set", found[i].jdUt);
    }
    const double rms = count ? std::sqrt(sumSquares / count) : 0.0;
    // The error against the printed minute (at best within half a minute),
    // then the comparison of minutes as printed.
    qDebug("%-13s %4d events, RMS %.3f min, max %.3f min; as printed: %d the same minute, max %.0f min "
           "off, %d beyond 1 min; %d missing, %d extra",
           qPrintable(site), count, rms, largest, exact, largestRounded, offByMore, missing, extra);

    QCOMPARE(missing, 0);
    QCOMPARE(extra, 0);
    QCOMPARE(count, s.events.size());
    if (polar) {
        QVERIFY2(offByMoreThanTwo * 20 <= count, "fewer than 95 % within 2 minutes");
    } else {
        QCOMPARE(offByMore, 0);
    }
}

void TestSky::recordedReplies_data()
{
    QTest::addColumn<QJsonObject>("reply");
    const QDir dir(kFixtures + "/usno");
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << ReadJson(dir.filePath(name));
    const QJsonObject archive = ReadJson(kFixtures + "/usno-derived/nyc-15-days-archive-reserialized.json");
    for (auto it = archive.begin(); it != archive.end(); ++it)
        QTest::newRow(qPrintable("nyc " + it.key())) << it.value().toObject();
    if (dir.entryList({QStringLiteral("*.json")}).isEmpty() && archive.isEmpty())
        QTest::newRow("absent") << QJsonObject();
}

// The same times to the minute, the same fraction within a percent and the
// same phase word as the observatory's own reply for that day and place.
void TestSky::recordedReplies()
{
    QFETCH(QJsonObject, reply);
    if (reply.isEmpty())
        QSKIP("the observatory's recorded replies (usno/, usno-derived/ in the shared fixtures) are absent");
    const QJsonArray coordinates = reply[QLatin1String("geometry")][QLatin1String("coordinates")].toArray();
    const QJsonObject data = reply[QLatin1String("properties")][QLatin1String("data")].toObject();
    QCOMPARE(coordinates.size(), 2);

    const sky::LocalDate date{data[QLatin1String("year")].toInt(), data[QLatin1String("month")].toInt(),
                              data[QLatin1String("day")].toInt()};
    const sky::DayValues day = sky::ComputeDay(coordinates[1].toDouble(), coordinates[0].toDouble(),
                                               data[QLatin1String("tz")].toDouble(), date);

    const QJsonArray sun = data[QLatin1String("sundata")].toArray();
    const QJsonArray moon = data[QLatin1String("moondata")].toArray();
    QCOMPARE(ToList(day.sunrises), ReplyMinutes(sun, QStringLiteral("Rise")));
    QCOMPARE(ToList(day.sunsets), ReplyMinutes(sun, QStringLiteral("Set")));
    QCOMPARE(ToList(day.moonrises), ReplyMinutes(moon, QStringLiteral("Rise")));
    QCOMPARE(ToList(day.moonsets), ReplyMinutes(moon, QStringLiteral("Set")));

    const int fraction = data[QLatin1String("fracillum")].toString().chopped(1).toInt();
    QVERIFY2(std::abs(day.fractionPercent - fraction) <= 1,
             qPrintable(QStringLiteral("%1 % against %2 %").arg(day.fractionPercent).arg(fraction)));
    QCOMPARE(QString::fromStdString(day.phaseWord), data[QLatin1String("curphase")].toString());
}

// The instants that decide the phase word: every new moon, quarter and full
// moon of 2024 within a minute of the observatory's list.
void TestSky::principalPhases()
{
    const QJsonObject record = ReadJson(kFixtures + "/moon-phases/usno-moon-phases-2024-normalized-record.json");
    const QJsonArray printed = record[QLatin1String("events")].toArray();
    if (printed.isEmpty())
        QSKIP("the observatory's 2024 moon phases (moon-phases/ in the shared fixtures) are absent");
    const QStringList names{"New Moon", "First Quarter", "Full Moon", "Last Quarter"};

    const double from = sky::detail::JulianDayAtMidnight(2024, 1, 1);
    const auto found = sky::detail::PrincipalPhasesBetween(from, sky::detail::JulianDayAtMidnight(2025, 1, 1));
    QCOMPARE(found.size(), size_t(printed.size()));
    for (qsizetype i = 0; i < printed.size(); ++i) {
        const QJsonObject p = printed[i].toObject();
        QCOMPARE(names.value(found[i].quarter), p[QLatin1String("phase")].toString());
        const double error = Minutes(found[i].jdUt - JulianDay(p[QLatin1String("utc")].toString()));
        QVERIFY2(std::abs(error) <= 1.0, qPrintable(QStringLiteral("%1 %2 off by %3 min")
                                                        .arg(p[QLatin1String("utc")].toString(),
                                                             names.value(found[i].quarter))
                                                        .arg(error)));
    }
}

void TestSky::oddInput_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("offset");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    QTest::newRow("north pole, midsummer") << 90.0 << 0.0 << 0.0 << 2026 << 6 << 21;
    QTest::newRow("south pole, equinox") << -90.0 << 180.0 << 12.0 << 2026 << 3 << 20;
    QTest::newRow("date line west") << 0.0 << -180.0 << -12.0 << 2024 << 2 << 29;
    QTest::newRow("half-hour zone, old date") << 27.0 << 77.0 << 5.5 << 1700 << 1 << 1;
    QTest::newRow("quarter-hour zone, far date") << -43.9 << -176.5 << 12.75 << 2150 << 12 << 31;
    QTest::newRow("month 13, day 0") << 50.0 << 10.0 << -3.5 << 2025 << 13 << 0;
    QTest::newRow("not a number") << nan << nan << nan << 2026 << 4 << 1;
    QTest::newRow("beyond range") << 1e9 << -inf << 1e6 << 2026 << 4 << 1;
    QTest::newRow("year far out") << 70.0 << 25.0 << 2.0 << 200000 << 6 << 1;
    QTest::newRow("largest numbers") << 45.0 << 10.0 << 1.0 << INT_MAX << INT_MAX << INT_MAX;
    QTest::newRow("smallest numbers") << -45.0 << -10.0 << -1.0 << INT_MIN << INT_MIN << INT_MIN;
}

// Odd places and dates give a day's values all the same: at most two
// minutes of each kind, within the day and ascending, a fraction between 0
// and 100 and a known phase word.
void TestSky::oddInput()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, offset);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    const sky::DayValues values = sky::ComputeDay(latitude, longitude, offset, {year, month, day});
    for (const std::vector<int> *list : {&values.sunrises, &values.sunsets, &values.moonrises, &values.moonsets}) {
        QVERIFY2(list->size() <= 2, qPrintable(QString::number(list->size())));
        QVERIFY(std::is_sorted(list->begin(), list->end()));
        for (int m : *list)
            QVERIFY2(m >= 0 && m < 1440, qPrintable(QString::number(m)));
    }
    QVERIFY(values.fractionPercent >= 0 && values.fractionPercent <= 100);
    const QStringList words{"New Moon",      "Waxing Crescent", "First Quarter", "Waxing Gibbous",
                            "Full Moon",     "Waning Gibbous",  "Last Quarter",  "Waning Crescent"};
    QVERIFY2(words.contains(QString::fromStdString(values.phaseWord)), values.phaseWord.c_str());
}

QTEST_GUILESS_MAIN(TestSky)
#include "tst_sky.moc"
