// The forecast service's JSON replies: the recorded ones (read in place; the
// values below were read off the files by hand) and hostile ones.

#include "forecast/ApiForecast.h"
#include "forecast/Display.h"
#include "support/RecordedReplies.h"

#include <QTest>

namespace {

const QString kOrigin = QStringLiteral("https://api.weather.gov");

#define REPLY(source, reply) RECORDED_REPLY(QStringLiteral("nws-api/"), source, reply)

QString Points(const QString &forecast, const QString &hourly = QString())
{
    return QStringLiteral(R"({"properties": {"forecast": "%1", "observationStations": "%2/gridpoints/TOP/32,81/stations",)"
                          R"( "forecastHourly": "%3"}})")
        .arg(forecast, kOrigin, hourly);
}

// `count` periods, alternating from a day, each named by its number.
QString Periods(int count)
{
    QStringList periods;
    for (int i = 1; i <= count; ++i)
        periods << QStringLiteral(R"({"name": "P%1", "isDaytime": %2, "temperature": 50, "temperatureUnit": "F"})")
                       .arg(i)
                       .arg(i % 2 == 1 ? "true" : "false");
    return QStringLiteral(R"({"properties": {"periods": [%1]}})").arg(periods.join(u','));
}

} // namespace

class ApiForecast : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void pointsPath_data()
    {
        QTest::addColumn<QStringList>("place");   // latitude, longitude, path (empty: none)
        QTest::newRow("four decimals") << QStringList{"39.7456", "-97.0892", "/points/39.7456,-97.0892"};
        QTest::newRow("rounded to four, zeros dropped") << QStringList{" 35.96568", "-85.00001", "/points/35.9657,-85"};
        QTest::newRow("latitude beyond the pole") << QStringList{"90.01", "0", ""};
        QTest::newRow("longitude not a number") << QStringList{"30", "nan", ""};
    }

    void pointsPath()
    {
        QFETCH(QStringList, place);
        QCOMPARE(ApiPointsPath(place[0], place[1]).value_or(QString()), place[2]);
    }

    void points_data()
    {
        QTest::addColumn<QString>("source");   // a recorded reply or the reply itself
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QStringList>("expect");   // rule (empty: Done), forecast address, hourly forecast address
        const QString here = kOrigin;
        const QString linn = QStringLiteral("https://api.weather.gov/gridpoints/TOP/32,81/forecast");
        QTest::newRow("linn") << "linn-2025-05-10-points.json" << here << QStringList{"", linn, linn + "/hourly"};
        QTest::newRow("portland") << "portland-2024-04-07-points.json" << here << QStringList{"", "https://api.weather.gov/gridpoints/PQR/114,105/forecast", "https://api.weather.gov/gridpoints/PQR/114,105/forecast/hourly"};
        QTest::newRow("sumatra 2019 layout") << "sumatra-2019-10-15-points.json" << here << QStringList{"", "https://api.weather.gov/gridpoints/TAE/59,64/forecast", "https://api.weather.gov/gridpoints/TAE/59,64/forecast/hourly"};
        QTest::newRow("recorded address, loopback origin") << "linn-2025-05-10-points.json" << "https://127.0.0.1:8443" << QStringList{"foreign-address", "", ""};
        QTest::newRow("host that starts like ours") << Points("https://api.weather.gov.example.net/f") << here << QStringList{"foreign-address", "", ""};
        QTest::newRow("plain http") << Points("http://api.weather.gov/gridpoints/TOP/32,81/forecast") << here << QStringList{"foreign-address", "", ""};
        QTest::newRow("control character") << Points("https://api.weather.gov/f\\u0007") << here << QStringList{"address", "", ""};
        QTest::newRow("number for the address") << R"({"properties": {"forecast": 7}})" << here << QStringList{"no-forecast-address", "", ""};
        QTest::newRow("point outside the US") << "paris-2025-02-28-points-error-404-invalidpoint.json" << here << QStringList{"problem", "", ""};
        QTest::newRow("no hourly address: the forecast still goes") << Points(linn) << here << QStringList{"", linn, ""};
        QTest::newRow("hourly address elsewhere") << Points(linn, "https://example.net/hourly") << here << QStringList{"foreign-address", "", ""};
    }

    void points()
    {
        QFETCH(QString, source);
        QFETCH(QString, origin);
        QFETCH(QStringList, expect);
        REPLY(source, reply);
        const Result<ApiPoint> point = ReadApiPoint(reply, origin);
        QCOMPARE((QStringList{point.rule, point.value.forecastUrl, point.value.forecastHourlyUrl}), expect);
        // Every recorded reply names its stations beside its forecast.
        if (expect[0].isEmpty())
            QCOMPARE(point.value.stationsUrl, QString(expect[1]).replace(QStringLiteral("forecast"), QStringLiteral("stations")));
        if (expect[0] == u"foreign-address")
            QVERIFY2(point.reason.contains(u"address \"http"), qPrintable(point.reason));
    }

    void firstStation_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("expect");   // rule, identifier, name
        QTest::newRow("linn") << "linn-2025-05-10-stations.json" << QStringList{"", "KMYZ", "Marysville Municipal Airport"};
        QTest::newRow("no name: the identifier") << R"({"features": [{"properties": {"stationIdentifier": "K1A2"}}]})" << QStringList{"", "K1A2", "K1A2"};
        QTest::newRow("identifier with a path") << R"({"features": [{"properties": {"stationIdentifier": "../x"}}]})" << QStringList{"station-id", "", ""};
        QTest::newRow("no stations") << R"({"features": []})" << QStringList{"no-station", "", ""};
    }

    void firstStation()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, expect);
        REPLY(source, reply);
        const Result<ApiStation> station = ReadFirstStation(reply);
        QCOMPARE((QStringList{station.rule, station.value.id, station.value.name}), expect);
    }

    // List rows 1, 2 and 7 as the window shows them: day, max, min, chance;
    // then the summaries of those rows and row 1's whole worded forecast.
    void forecastRows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("nightFirst");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("summaries");
        QTest::addColumn<QString>("firstText");
        QTest::addColumn<QString>("issued");
        QTest::newRow("linn, night-first, chances null") << "linn-2025-05-12-forecast.json" << true
            << QStringList{"Overnight||53|", "Monday|84|55|", "Saturday|81|55|40%"}
            << QStringList{"Mostly clear,", "Sunny,", "Sunny,"}
            << "Mostly clear, with a low around 53. South wind 5 to 10 mph." << "2025-05-12T06:41:37Z";
        QTest::newRow("portland, night-first") << "portland-2024-04-07-forecast.json" << true
            << QStringList{"Tonight||41|50%", "Sunday|54|39|70%", "Friday|58|40|"}
            << QStringList{"A chance of rain showers.", "Rain showers likely before 5pm.", "A chance of rain."}
            << "A chance of rain showers. Mostly cloudy. Low around 41, with temperatures rising to around 43 overnight. "
               "Southwest wind around 7 mph. Chance of precipitation is 50%. New rainfall amounts less than a tenth of an inch possible." << "2024-04-07T04:41:46Z";
        QTest::newRow("sumatra, day-first, no chances") << "sumatra-2019-10-13-forecast.json" << false
            << QStringList{"This Afternoon|88|68|", "Columbus Day|88|70|", "Saturday|85|67|"}
            << QStringList{"Partly sunny,", "A chance of showers and thunderstorms after 2pm.",
                           "A slight chance of showers and thunderstorms."}
            << "Partly sunny, with a high near 88. South wind around 5 mph." << "2019-10-13T18:16:20Z";
    }

    void forecastRows()
    {
        QFETCH(QString, file);
        QFETCH(bool, nightFirst);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, summaries);
        QFETCH(QString, firstText);
        QFETCH(QString, issued);
        REPLY(file, text);
        const Result<ForecastExtraction> forecast = MapApiForecast(text);
        QCOMPARE(forecast.outcome, Outcome::Done);
        QCOMPARE(forecast.value.nightFirst, nightFirst);
        QCOMPARE(forecast.value.periodTexts[1], firstText);
        QCOMPARE(forecast.value.issued.toUTC().toString(Qt::ISODate), issued);
        const Result<ForecastView> view = ComposeForecastView(forecast.value, DisplayInputs{});
        QStringList shown, shownSummaries;
        for (const int r : {0, 1, 6}) {
            const ListRow &row = view.value.rows.at(r);
            shown << QStringList{row.text, row.subItems[0], row.subItems[1], row.subItems[2]}.join(u'|');
            shownSummaries << row.subItems[3];
        }
        QCOMPARE(shown, rows);
        QCOMPARE(shownSummaries, summaries);
    }

    void observations_data()
    {
        QTest::addColumn<QString>("file");   // or the reply itself
        // temperature, dew point, humidity, wind, pressure, then the pressure the window shows
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("KMYZ, nulls") << "linn-2025-05-10-observations-latest-KMYZ.json"
                                     << QStringList{"46", "", "", "0", "30.23", "Pressure: 1024"};
        QTest::newRow("KFLL, 17-digit floats") << "fortlauderdale-2022-03-02-observations-latest-KFLL.json"
                                               << QStringList{"73", "65", "76", "4", "30.08", "Pressure: 1019"};
        QTest::newRow("other units, unknown units, no numbers")
            << R"({"properties": {"temperature": {"unitCode": "wmoUnit:degX", "value": 8},
                  "dewpoint": {"unitCode": "wmoUnit:degC", "value": "12"},
                  "relativeHumidity": {"unitCode": "wmoUnit:percent", "value": 1e300},
                  "windSpeed": {"unitCode": "wmoUnit:km_h-1", "value": 100},
                  "barometricPressure": {"unitCode": "wmoUnit:hPa", "value": 1013.25}}})"
            << QStringList{"", "", "", "54", "29.92", "Pressure: 1013"};
    }

    void observations()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, texts);
        REPLY(file, reply);
        const Result<ForecastExtraction> observed = MapApiObservation(reply, ApiStation{"KXYZ", "Some Field"}, {});
        QCOMPARE(observed.outcome, Outcome::Done);
        const ForecastExtraction &e = observed.value;
        const Result<ForecastView> view = ComposeForecastView(e, DisplayInputs{});
        const QString pressureLine = view.value.text1.split(QStringLiteral("\r\n")).at(3);
        QCOMPARE((QStringList{e.apparentTemp, e.dewPointText, e.humidityText, e.windSpeedText, e.pressureText, pressureLine}),
                 texts);
        QCOMPARE(e.stationText, QStringLiteral("Some Field"));
    }

    void problems_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::newRow("bad longitude") << "badlon-2025-02-28-points-error-400-invalidparameter.json"
            << "Invalid Parameter: Parameter \"point\" is invalid: '9.7456,-200.0892' does not appear to be a valid coordinate";
        QTest::newRow("detail repeats the title") << "badpath-2025-02-28-points-error-404-notfound-regex.json" << "Not Found";
        QTest::newRow("point outside the US") << "paris-2025-02-28-points-error-404-invalidpoint.json"
            << "Data Unavailable For Requested Point: Unable to provide data for requested point 48.8575,2.3514";
        QTest::newRow("a forecast is none") << "portland-2024-04-07-forecast.json" << "";
    }

    void problems()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        REPLY(file, reply);
        QCOMPARE(ApiProblemText(reply), text);
    }

    void hostileForecasts_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("expect");   // rule; name, max, min of table row 1; name of row 10
        const auto one = [](const QString &period) { return QStringLiteral(R"({"properties": {"periods": [%1]}})").arg(period); };
        QTest::newRow("not JSON") << "<html>Bad gateway</html>" << int(Outcome::NotLoaded) << QStringList{"json", "||", ""};
        QTest::newRow("number for the name, text for the temperature")
            << one(R"({"name": 5, "isDaytime": true, "temperature": "80", "detailedForecast": [1]})")
            << int(Outcome::Done) << QStringList{"", "||", ""};
        QTest::newRow("text for isDaytime") << one(R"({"name": "x", "isDaytime": "yes"})") << int(Outcome::Absent) << QStringList{"period-shape", "||", ""};
        QTest::newRow("a flood of arrays") << QStringLiteral("[") + QStringLiteral("[1],").repeated(kMaxApiContainers) + QStringLiteral("0]") << int(Outcome::NotLoaded) << QStringList{"node-count", "||", ""};
        QTest::newRow("deep nesting") << QString(100, u'[') + QString(100, u']') << int(Outcome::NotLoaded) << QStringList{"nesting", "||", ""};
        QTest::newRow("long name, Celsius")
            << one(QStringLiteral(R"({"name": "%1", "isDaytime": true, "temperature": -40, "temperatureUnit": "C"})")
                       .arg(QString(60000, u'a')))
            << int(Outcome::Done) << QStringList{"", QString(60, u'a') + "|-40|", ""};
        QTest::newRow("a text past any the service sends")
            << one(QStringLiteral(R"({"name": "%1", "isDaytime": true})").arg(QString(1 << 20, u'a')))
            << int(Outcome::NotLoaded) << QStringList{"text-length", "||", ""};
        QTest::newRow("number beyond double") << one(R"({"isDaytime": true, "temperature": 1e999})") << int(Outcome::NotLoaded) << QStringList{"json", "||", ""};
        QTest::newRow("empty object") << "{}" << int(Outcome::Absent) << QStringList{"no-periods", "||", ""};
        QTest::newRow("thirty periods fill ten rows") << Periods(30) << int(Outcome::Done) << QStringList{"", "P1|50|50", "P19"};
        QTest::newRow("too many periods") << Periods(kMaxApiPeriods + 1) << int(Outcome::NotLoaded) << QStringList{"period-count", "||", ""};
    }

    void hostileForecasts()
    {
        QFETCH(QString, reply);
        QFETCH(int, outcome);
        QFETCH(QStringList, expect);
        const Result<ForecastExtraction> forecast = MapApiForecast(reply);
        QCOMPARE(int(forecast.outcome), outcome);
        const PeriodTable &t = forecast.value.periods;
        QCOMPARE((QStringList{forecast.rule, QStringList{t[1][0], t[1][1], t[1][2]}.join(u'|'), t[10][0]}), expect);
        if (expect[0] == u"json")
            QVERIFY2(forecast.reason.startsWith(u"the reply is not JSON: ") && forecast.reason.endsWith(u')'),
                     qPrintable(forecast.reason));
    }
};

QTEST_GUILESS_MAIN(ApiForecast)
#include "tst_api_forecast.moc"
