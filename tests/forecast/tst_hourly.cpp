// The next hours: the recorded digital forecasts and JSON API hourly replies
// (read in place; the expected texts were read off the files by hand) and
// hand-made hostile replies, to the table's texts and the summary.

#include "forecast/Hourly.h"
#include "support/RecordedReplies.h"

#include <QTest>

namespace {

#define REPLY(source, reply) RECORDED_REPLY(QStringLiteral("nws-hourly/"), source, reply)

const QString kPop80 = QStringLiteral("lamesa-2026-04-08-digitaldwml-168h-thunder-pop80.xml");
const QString kApril11 = QStringLiteral("lamesa-2026-04-11-digitaldwml-168h.xml");
const QString kSumatra = QStringLiteral("sumatra-2019-10-14-forecast-hourly-156-periods.json");
const QString kWashington = QStringLiteral("washingtondc-2026-02-06-forecast-hourly-si-156-periods-REFORMATTED.json");

QDateTime Utc(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

// A digital forecast of `hours` hours from 2026-04-08T00:00-07:00 (each start
// given, no end), with `series` inside its parameters.
QString Digital(int hours, const QString &series, const QString &firstStart = QString())
{
    const QDateTime midnight(QDate(2026, 4, 8), QTime(0, 0), QTimeZone(-7 * 3600));
    QString layout;
    for (int h = 0; h < hours; ++h)
        layout += QStringLiteral("<start-valid-time>%1</start-valid-time>")
                      .arg(h == 0 && !firstStart.isEmpty() ? firstStart
                                                           : midnight.addSecs(h * 3600).toString(Qt::ISODate));
    return QStringLiteral(R"(<?xml version="1.0"?><dwml xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">)"
                          R"(<head><product><creation-date>2026-04-08T00:11:21-07:00</creation-date></product></head>)"
                          R"(<data><time-layout><layout-key>k-p1h-n1-0</layout-key>%1</time-layout>)"
                          R"(<parameters applicable-location="point1">%2</parameters></data></dwml>)")
        .arg(layout, series);
}

QString Series(const char *element, const char *type, const QString &values)
{
    return QStringLiteral(R"(<%1 type="%2" time-layout="k-p1h-n1-0">%3</%1>)")
        .arg(QLatin1String(element), QLatin1String(type), values);
}

QString Weather(const QString &conditions)
{
    return QStringLiteral(R"(<weather time-layout="k-p1h-n1-0"><weather-conditions>%1</weather-conditions></weather>)")
        .arg(conditions);
}

QString ApiHours(const QString &periods)
{
    return QStringLiteral(R"({"properties": {"periods": [%1]}})").arg(periods);
}

QString ApiHour(const QString &start, const QString &more)
{
    return QStringLiteral(R"({"startTime": "%1"%2})").arg(start, more);
}

const QDateTime kAtFirstHour = Utc("2026-04-08T07:00:00Z");

} // namespace

class Hourly : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // One table row of a reply read at a time: the nine texts, and how many rows the table has.
    void rows_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QStringList>("cells");
        const QDateTime april11 = Utc("2026-04-11T07:00:00Z");
        QTest::newRow("pop80: first hour, nil wind chill and weather") << kPop80 << kAtFirstHour << 0 << 168
            << QStringList{"Wed 12 AM", "57°F", "", "57°F", "0%", "0.00 in", "SW 2 mph", "31%", ""};
        QTest::newRow("pop80: gusts") << kPop80 << kAtFirstHour << 63 << 168
            << QStringList{"Fri 3 PM", "75°F", "", "57°F", "2%", "0.00 in", "W 11 mph, gusts 20", "13%", ""};
        QTest::newRow("pop80: thunder and rain of no coverage") << kPop80 << kAtFirstHour << 77 << 168
            << QStringList{"Sat 5 AM", "59°F", "", "58°F", "80%", "0.04 in", "SW 7 mph", "89%",
                           "slight chance thunderstorms and rain"};
        QTest::newRow("pop80: two coverages, 0.0550 in") << kPop80 << kAtFirstHour << 83 << 168
            << QStringList{"Sat 11 AM", "66°F", "", "58°F", "52%", "0.06 in", "WSW 9 mph", "68%",
                           "slight chance thunderstorms and chance rain"};
        QTest::newRow("pop80: the 168th hour of the n1 key") << kPop80 << kAtFirstHour << 167 << 168
            << QStringList{"Tue 11 PM", "58°F", "", "53°F", "0%", "0.00 in", "NNW 3 mph", "35%", ""};
        QTest::newRow("pop80: half past, the current hour stays") << kPop80 << Utc("2026-04-10T22:30:00Z") << 0 << 105
            << QStringList{"Fri 3 PM", "75°F", "", "57°F", "2%", "0.00 in", "W 11 mph, gusts 20", "13%", ""};
        QTest::newRow("april 11: rain of 0.0100 in") << kApril11 << april11 << 0 << 168
            << QStringList{"Sat 12 AM", "59°F", "", "59°F", "24%", "0.01 in", "W 3 mph", "74%", "slight chance rain"};
        QTest::newRow("april 11: wind chill") << kApril11 << april11 << 77 << 168
            << QStringList{"Tue 5 AM", "50°F", "49°F", "50°F", "0%", "0.00 in", "NE 5 mph", "45%", ""};
        QTest::newRow("api 2019: no chance, dew point or humidity; 0 mph")
            << kSumatra << Utc("2019-10-15T00:00:00Z") << 0 << 156
            << QStringList{"Mon 8 PM", "78°F", "", "", "", "", "calm", "", "Partly Cloudy"};
        QTest::newRow("api 2019: 5 mph") << kSumatra << Utc("2019-10-15T00:00:00Z") << 15 << 156
            << QStringList{"Tue 11 AM", "84°F", "", "", "", "", "S 5 mph", "", "Mostly Cloudy"};
        QTest::newRow("api SI: °C, dew point in °C, 4 km/h") << kWashington << Utc("2026-02-06T21:00:00Z") << 0 << 156
            << QStringList{"Fri 4 PM", "34°F", "", "25°F", "71%", "", "S 2 mph", "", "Light Snow Likely"};
        QTest::newRow("api SI: below freezing, 48 km/h") << kWashington << Utc("2026-02-06T21:00:00Z") << 18 << 156
            << QStringList{"Sat 10 AM", "16°F", "", "-1°F", "0%", "", "NW 30 mph", "", "Mostly Sunny"};
        QTest::newRow("nil, short and long series, not a number")
            << Digital(3, Series("temperature", "hourly", "<value>61</value>")
                              + Series("temperature", "dew point",
                                       "<value>55</value><value>55</value><value xsi:nil=\"true\"/>")
                              + Series("wind-speed", "sustained",
                                       "<value>0</value><value>4</value><value>5</value><value>6</value>")
                              + Series("hourly-qpf", "floating", "<value>0</value><value>0.004</value><value>x</value>"))
            << kAtFirstHour << 2 << 3 << QStringList{"Wed 2 AM", "", "", "", "", "", "5 mph", "", ""};
        QTest::newRow("weather: markup stays text, controls go, words cut")
            << Digital(1, Weather(QStringLiteral(R"(<value coverage="chance" intensity="light")"
                                                 R"( weather-type="&lt;b&gt;rain&#x202E;&lt;/b&gt;"/>)"
                                                 R"(<value additive="or" coverage="" weather-type="%1"/>)")
                                      .arg(QString(200, u'x'))))
            << kAtFirstHour << 0 << 1
            << QStringList{"Wed 12 AM", "", "", "", "", "", "", "", "chance light <b>rain</b> or " + QString(40, u'x')};
        QTest::newRow("api: 5 to 10 mph, measured temperature")
            << ApiHours(ApiHour("2026-04-08T00:00:00-07:00",
                                R"(, "temperature": {"unitCode": "wmoUnit:degC", "value": 20},)"
                                R"( "windSpeed": "5 to 10 mph", "windDirection": "SW")"))
            << kAtFirstHour << 0 << 1 << QStringList{"Wed 12 AM", "68°F", "", "", "", "", "SW 10 mph", "", ""};
    }

    void rows()
    {
        QFETCH(QString, source);
        QFETCH(QDateTime, now);
        QFETCH(int, row);
        QFETCH(int, rowCount);
        QFETCH(QStringList, cells);
        REPLY(source, reply);
        const Result<HourlyForecast> read = source.endsWith(u".json") || source.startsWith(u'{') ? MapApiHourly(reply)
                                                                                                : ReadDigitalForecast(reply);
        QVERIFY2(read, qPrintable(read.reason));
        const std::vector<HourlyRow> table = HourlyTable(read.value, now);
        QCOMPARE(int(table.size()), rowCount);
        const std::array<QString, kHourlyColumns> &shown = table.at(size_t(row)).cells;
        QCOMPARE(QStringList(shown.begin(), shown.end()), cells);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("reason");   // its start
        const QString hour = QStringLiteral("2026-04-08T00:00:00-07:00");
        QTest::newRow("the empty 200 reply") << "lamesa-2026-04-27-digitaldwml-EMPTY-200.xml"
                                             << int(Outcome::NotLoaded) << "empty" << "the reply is empty";
        QTest::newRow("an HTML page") << "<html><body>Service Unavailable</body></html>" << int(Outcome::Absent)
                                      << "no-hours" << "the reply holds no hourly time layout";
        QTest::newRow("not well-formed") << Digital(1, "<x>&</x>") << int(Outcome::NotLoaded) << "reference" << "";
        QTest::newRow("time layout going backwards") << Digital(3, "", "2026-04-08T05:00:00-07:00")
            << int(Outcome::NotLoaded) << "time-order" << "hour 2 (2026-04-08T01:00:00-07:00) does not follow";
        QTest::newRow("a start without its offset") << Digital(2, "", "2026-04-08T00:00:00") << int(Outcome::NotLoaded)
            << "time" << "start \"2026-04-08T00:00:00\" of the hourly time layout";
        QTest::newRow("201 hours") << Digital(kMostHours + 1, "") << int(Outcome::NotLoaded) << "hour-count"
                                   << "the hourly time layout holds more than 200 hours";
        QTest::newRow("api: not JSON") << "{\"periods\": [" << int(Outcome::NotLoaded) << "json" << "the reply is not JSON";
        QTest::newRow("api: no periods") << "{\"properties\": {}}" << int(Outcome::Absent) << "no-periods" << "";
        QTest::newRow("api: a period without its start") << ApiHours(ApiHour(hour, "") + ",{}") << int(Outcome::NotLoaded)
                                                         << "time" << "period 2 of the reply";
        QStringList many;
        for (int h = 0; h <= kMostHours; ++h)
            many << ApiHour(QDateTime::fromString(hour, Qt::ISODate).addSecs(h * 3600).toString(Qt::ISODate), "");
        QTest::newRow("api: 201 periods") << ApiHours(many.join(u',')) << int(Outcome::NotLoaded) << "hour-count"
                                          << "the reply lists 201 hours";
    }

    void refused()
    {
        QFETCH(QString, source);
        QFETCH(int, outcome);
        QFETCH(QString, rule);
        QFETCH(QString, reason);
        REPLY(source, reply);
        const Result<HourlyForecast> read = source.startsWith(u'{') ? MapApiHourly(reply) : ReadDigitalForecast(reply);
        QCOMPARE(int(read.outcome), outcome);
        QCOMPARE(read.rule, rule);
        QVERIFY2(read.reason.startsWith(reason) && !read.reason.isEmpty(), qPrintable(read.reason));
    }

    void summary_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("summary");
        QTest::newRow("pop80: rain from the early morning") << kPop80 << Utc("2026-04-10T20:00:00Z")
            << "High 76°F at 1 PM, low 58°F at 6 AM. Rain chance up to 80% from 5 AM to 11 AM.";
        QTest::newRow("pop80: no chance above 0")
            << kPop80 << kAtFirstHour << "High 79°F at 3 PM, low 55°F at 4 AM. No rain expected.";
        QTest::newRow("api 2019: no chances given")
            << kSumatra << Utc("2019-10-15T00:00:00Z") << "High 86°F at 1 PM, low 71°F at 6 AM.";
        QTest::newRow("no temperatures")
            << Digital(3, Series("probability-of-precipitation", "floating",
                                 "<value>10</value><value>30</value><value>30</value>"))
            << kAtFirstHour << "No temperatures given. Rain chance up to 30% from 1 AM to 3 AM.";
        QTest::newRow("every hour past")
            << kPop80 << Utc("2026-04-16T00:00:00Z") << "No hourly forecast for the next 24 hours.";
    }

    void summary()
    {
        QFETCH(QString, source);
        QFETCH(QDateTime, now);
        QFETCH(QString, summary);
        REPLY(source, reply);
        const Result<HourlyForecast> read = source.endsWith(u".json") ? MapApiHourly(reply) : ReadDigitalForecast(reply);
        QVERIFY2(read, qPrintable(read.reason));
        QCOMPARE(HourlySummary(read.value, now), summary);
    }

    void queryAndSource()
    {
        QCOMPARE(DigitalForecastQuery("https://forecast.weather.gov", "32.8007", "-117.0497"),
                 "https://forecast.weather.gov/MapClick.php?lat=32.8007&lon=-117.0497&FcstType=digitalDWML");
        QCOMPARE(HourlySourceLine(HourlySource::Page, MakeDate(2026, 4, 8, 10, 5), false),
                 "From forecast.weather.gov, fetched 10:05 AM");
        QCOMPARE(HourlySourceLine(HourlySource::Api, MakeDate(2026, 12, 6, 9, 5), true),
                 "From api.weather.gov, fetched Dec 6 09:05 AM (kept)");
    }
};

QTEST_GUILESS_MAIN(Hourly)
#include "tst_hourly.moc"
