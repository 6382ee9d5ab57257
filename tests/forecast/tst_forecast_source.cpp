// The forecast's chain of sources on a fake network: the page first, the
// JSON API when the page has none, the words of each that failed, what is
// handed back to keep, and a window closed during either.
#include "forecast/ForecastSource.h"
#include "forecast/HourlySource.h"
#include "support/TestFiles.h"

#include <QTest>

#include <map>

namespace {

const QString kPage = QStringLiteral("https://forecast.weather.gov");
const QString kApi = QStringLiteral("https://api.weather.gov");
const QString kGrid = kApi + QStringLiteral("/gridpoints/X/1,1");

QString Points(const QString &grid)
{
    return QStringLiteral(R"({"properties": {"forecast": "%1/forecast", "observationStations": "%1/stations"}})").arg(grid);
}

const QString kForecast = QStringLiteral(
    R"({"properties": {"periods": [{"name": "Today", "isDaytime": true, "temperature": 70, "temperatureUnit": "F"}]}})");
const QString kStations = QStringLiteral(R"({"features": [{"properties": {"stationIdentifier": "KXYZ", "name": "Test Field"}}]})");
const QString kObservation = QStringLiteral(R"({"properties": {"temperature": {"value": 20, "unitCode": "wmoUnit:degC"}}})");

net::Fetched Ok(const QString &body)
{
    return {body, {net::Failure::None, QStringLiteral("host"), 200, QStringLiteral("OK"), {}}};
}

net::Fetched Status(int status, const QString &body = QStringLiteral("<html>no</html>"))
{
    return {body, {net::Failure::None, QStringLiteral("host"), status, QStringLiteral("Not Found"), {}}};
}

const net::Fetched kRefused{QString(), {net::Failure::Refused, QStringLiteral("host"), 0, {}, {}}};
const net::Fetched kCancelled{QString(), {net::Failure::Cancelled, QStringLiteral("host"), 0, {}, {}}};

using Network = std::map<QString, net::Fetched>;   // address (the page's: its origin) to what it gives

// What each source that gave nothing came to ("source: rule", and ": reason"
// with `reasons`; an expected one ending in "*" is a start), the names of
// what is kept, and whether the window closed.
template <typename Value>
void CheckOutcome(const ChainOutcome<Value> &outcome, const QStringList &failed, const QStringList &keep, bool cancelled,
                  bool reasons)
{
    QStringList words;
    for (const Attempt &attempt : outcome.failed)
        words << attempt.source + ": " + attempt.rule + (reasons ? ": " + attempt.reason : QString());
    for (qsizetype i = 0; i < failed.size() && i < words.size(); ++i)
        if (failed[i].endsWith(u'*') && words[i].startsWith(failed[i].chopped(1)))
            words[i] = failed[i];
    QCOMPARE(words, failed);
    QStringList names;
    for (const KeepBody &body : outcome.keep)
        names << body.name;
    QCOMPARE(names, keep);
    QCOMPARE(outcome.cancelled, cancelled);
}

} // namespace

Q_DECLARE_METATYPE(Network)

class ForecastSourceTest : public QObject {
    Q_OBJECT

private slots:
    void chain_data()
    {
        const QString page = QString::fromLatin1(testsupport::SuiteFile("forecast/replies/night-first-short.xml"));
        const Network api{{kApi + "/points/35.9656,-114.836", Ok(Points(kGrid))},
                          {kGrid + "/forecast", Ok(kForecast)},
                          {kGrid + "/stations", Ok(kStations)},
                          {kApi + "/stations/KXYZ/observations/latest", Ok(kObservation)}};
        QTest::addColumn<Network>("network");
        QTest::addColumn<QString>("keptPoints");
        QTest::addColumn<QString>("source");      // empty: no forecast
        QTest::addColumn<QStringList>("failed");  // "source: rule: reason" of each source that gave none
        QTest::addColumn<QStringList>("asked");   // every address asked, in order
        QTest::addColumn<QStringList>("keep");    // the names handed back to keep
        QTest::addColumn<bool>("cancelled");

        Network good = api;
        good[kPage] = Ok(page);
        QTest::newRow("the page gives it") << good << QString() << "forecast.weather.gov" << QStringList()
                                           << QStringList{kPage} << QStringList{"forecast"} << false;
        Network missing = api;
        missing[kPage] = Status(404);
        QTest::newRow("the page 404, the API gives it")
            << missing << QString() << "api.weather.gov"
            << QStringList{"forecast.weather.gov: not-answered: it answered with an error: HTTP 404 Not Found"}
            << QStringList{kPage, kApi + "/points/35.9656,-114.836", kGrid + "/forecast", kGrid + "/stations",
                           kApi + "/stations/KXYZ/observations/latest"}
            << QStringList{"points", "station"} << false;
        Network moved = missing;
        moved[kApi + "/gridpoints/Old/9,9/forecast"] = Status(404);
        QTest::newRow("a kept points reply's address gone: the points asked once more")
            << moved << Points(kApi + "/gridpoints/Old/9,9") << "api.weather.gov"
            << QStringList{"forecast.weather.gov: not-answered: it answered with an error: HTTP 404 Not Found"}
            << QStringList{kPage, kApi + "/gridpoints/Old/9,9/forecast", kApi + "/points/35.9656,-114.836",
                           kGrid + "/forecast", kGrid + "/stations", kApi + "/stations/KXYZ/observations/latest"}
            << QStringList{"points", "station"} << false;
        Network dropped = moved;
        dropped[kApi + "/gridpoints/Old/9,9/forecast"] = kRefused;
        QTest::newRow("a kept address that drops the connection is not a moved grid")
            << dropped << Points(kApi + "/gridpoints/Old/9,9") << QString()
            << QStringList{"forecast.weather.gov: not-answered: it answered with an error: HTTP 404 Not Found",
                           "api.weather.gov: not-answered: host refused the connection"}
            << QStringList{kPage, kApi + "/gridpoints/Old/9,9/forecast"} << QStringList() << false;
        Network both{{kPage, kRefused}, {kApi + "/points/35.9656,-114.836",
                                         Status(404, R"({"title": "Data Unavailable For Requested Point", "status": 404})")}};
        QTest::newRow("both fail: the words of both")
            << both << QString() << QString()
            << QStringList{"forecast.weather.gov: not-answered: host refused the connection",
                           "api.weather.gov: problem: Data Unavailable For Requested Point"}
            << QStringList{kPage, kApi + "/points/35.9656,-114.836"} << QStringList() << false;
        Network unreadable = good;
        unreadable[kPage] = Ok(page.left(300) + QStringLiteral("Daily Minimum"));
        QTest::newRow("a page that names a forecast but cannot be read does not pass on")
            << unreadable << QString() << QString()
            << QStringList{"forecast.weather.gov: parse: the reply is not well-formed XML*"}
            << QStringList{kPage} << QStringList() << false;
        Network closedOnPage = good;
        closedOnPage[kPage] = kCancelled;
        QTest::newRow("the window closed during the page") << closedOnPage << QString() << QString()
                                                          << QStringList{"forecast.weather.gov: not-answered: the download from host was cancelled"}
                                                          << QStringList{kPage} << QStringList() << true;
        Network closedOnApi = missing;
        closedOnApi[kApi + "/points/35.9656,-114.836"] = kCancelled;
        QTest::newRow("the window closed during the API")
            << closedOnApi << QString() << QString()
            << QStringList{"forecast.weather.gov: not-answered: it answered with an error: HTTP 404 Not Found",
                           "api.weather.gov: not-answered: the download from host was cancelled"}
            << QStringList{kPage, kApi + "/points/35.9656,-114.836"} << QStringList() << true;
    }

    // The hours' chain: the page's digital forecast, then the JSON API's
    // hourly forecast at the address of the points reply.
    void hourlyChain_data()
    {
        const QString digital = QStringLiteral(
            R"(<?xml version="1.0"?><dwml><data><time-layout><layout-key>k-p1h-n1-0</layout-key>)"
            R"(<start-valid-time>2026-12-06T10:00:00Z</start-valid-time></time-layout><parameters>)"
            R"(<temperature type="hourly" time-layout="k-p1h-n1-0"><value>50</value></temperature></parameters></data></dwml>)");
        const QString points = QStringLiteral(R"({"properties": {"forecast": "%1/forecast", "observationStations": "%1/stations", )"
                                              R"("forecastHourly": "%1/forecast/hourly"}})")
                                   .arg(kGrid);
        const QString hourly = QStringLiteral(R"({"properties": {"periods": [{"startTime": "2026-12-06T10:00:00Z", )"
                                              R"("temperature": 10, "temperatureUnit": "C"}]}})");
        const QString pointsAt = kApi + "/points/35.9656,-114.836";
        QTest::addColumn<Network>("network");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("failed");
        QTest::addColumn<QStringList>("keep");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("the page gives them") << Network{{kPage, Ok(digital)}} << "forecast.weather.gov" << QStringList()
                                             << QStringList{"hourly"} << false;
        const Network api{{kPage, Ok(QString())}, {pointsAt, Ok(points)}, {kGrid + "/forecast/hourly", Ok(hourly)}};
        QTest::newRow("an empty page, the API gives them")
            << api << "api.weather.gov" << QStringList{"forecast.weather.gov: not-answered"}
            << QStringList{"points", "hourly-api"} << false;
        QTest::newRow("both fail") << Network{{kPage, kRefused}, {pointsAt, kRefused}} << QString()
                                   << QStringList{"forecast.weather.gov: not-answered", "api.weather.gov: not-answered"}
                                   << QStringList() << false;
        Network closed = api;
        closed[kGrid + "/forecast/hourly"] = kCancelled;
        QTest::newRow("the window closed during the API")
            << closed << QString() << QStringList{"forecast.weather.gov: not-answered", "api.weather.gov: not-answered"}
            << QStringList{"points"} << true;
    }

    void hourlyChain()
    {
        QFETCH(Network, network);
        QFETCH(QString, source);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, keep);
        QFETCH(bool, cancelled);
        const net::Download download = [&](const net::Request &request) {
            const auto found = network.find(request.url.startsWith(kPage) ? kPage : request.url);
            return found == network.end() ? Status(404) : found->second;
        };
        const ChainOutcome<HourlyForecast> outcome =
            FetchHourly({Place{"35.9656", "-114.836", "tz=-8"}, kPage, kApi, std::nullopt}, download);
        QCOMPARE(bool(outcome.value), !source.isEmpty());
        if (outcome.value) {
            QCOMPARE(outcome.source, source);
            QCOMPARE(outcome.value.value.hours.at(0).temperature, std::optional<double>(50));
        }
        CheckOutcome(outcome, failed, keep, cancelled, false);
    }

    void chain()
    {
        QFETCH(Network, network);
        QFETCH(QString, keptPoints);
        QFETCH(QString, source);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, keep);
        QFETCH(bool, cancelled);
        QStringList seen;
        const net::Download download = [&](const net::Request &request) {
            const QString address = request.url.startsWith(kPage) ? kPage : request.url;
            seen << address;
            // The API is asked with its own manners, the page with the program's.
            if (request.url.startsWith(kApi) != !request.userAgent.isEmpty())
                return net::Fetched{};
            const auto found = network.find(address);
            return found == network.end() ? Status(404) : found->second;
        };
        ForecastAsk ask{{Place{"35.9656", "-114.836", "tz=-8"}, kPage, kApi, std::nullopt}, std::nullopt};
        if (!keptPoints.isEmpty())
            ask.keptPoints = keptPoints;
        const ChainOutcome<ForecastExtraction> outcome = FetchForecast(ask, download);

        QCOMPARE(seen, asked);
        QCOMPARE(bool(outcome.value), !source.isEmpty());
        if (outcome.value)
            QCOMPARE(outcome.source, source);
        CheckOutcome(outcome, failed, keep, cancelled, true);
    }
};

QTEST_GUILESS_MAIN(ForecastSourceTest)
#include "tst_forecast_source.moc"
