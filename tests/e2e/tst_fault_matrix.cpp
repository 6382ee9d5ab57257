// The window in broken worlds: one row per fault of a service host, of the
// settings file or of the full-moon table. Each row builds a healthy world
// (La Mesa's forecast, Reykjavik's sun and moon today, Svalbard's tomorrow),
// breaks one thing, starts the program (and for some rows lets the timer
// tick), and checks what the window shows, that the program is still
// running and idle, and that the files beside it are as they were.
#include "E2EWorld.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <functional>
#include <vector>

#include <sys/stat.h>

using namespace e2e;
using namespace recorded;
using testsupport::Response;

namespace {

const QString kNoForecast = QStringLiteral("No forecast for this location available.");
const QString kSuffix = QStringLiteral(".  Text file format is Lat, Long, Auto update=true or false");
const QString kStartTitle = QStringLiteral("Selvorra Boulder City");
const QByteArray kAlmanacToday = AlmanacTarget("2026-12-06");
const QByteArray kAlmanacTomorrow = AlmanacTarget("2026-12-07");
const QStringList kStartTimes{"10:00 AM", "10:00 AM"};
// How a forecast failure box goes on when the page gave none: the JSON API
// was asked too (the loopback one knows no address unless a row serves one).
const QString kSecondSource = QStringLiteral(" The second source, 127.0.0.1, gave none either: ");
const QString kApiKnowsNothing = QStringLiteral("it answered with an error: HTTP 404 Not Found");
// The JSON API's addresses for the worlds' place, and for Linn's grid.
const QByteArray kApiPoints = "/points/35.9656,-114.836";
const QByteArray kLinnForecast = "/gridpoints/TOP/32,81/forecast";
const QByteArray kLinnStations = "/gridpoints/TOP/32,81/stations";
const QByteArray kKmyzLatest = "/stations/KMYZ/observations/latest";

// The JSON API's forecast in the window: the rows as they map from the
// recorded reply (read from it by hand), the conditions of the observation
// (`conditions`, empty when none came), the label, and the refresh-time row
// that names the source.
void CheckApiForecast(World &w, const QList<QStringList> &firstRows, const QString &temperature,
                      const QString &conditions)
{
    QVERIFY(w.platform.messages.empty());
    const QList<QStringList> rows = ListRows(w.form->lvwEmployees);
    QCOMPARE(rows.mid(0, firstRows.size()), firstRows);
    QCOMPARE(WithoutStaleMark(rows.value(10).value(0)), QStringLiteral("10:00 AM (127.0.0.1)"));
    QCOMPARE(w.form->lvwEmployees->topLevelItem(10)->data(0, Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("10:00 AM (127.0.0.1)"));
    QCOMPARE(w.form->Label1->text(), QStringLiteral("   ") + temperature + kDeg + QStringLiteral("F"));
    QCOMPARE(w.form->Text1Text(), AlmanacText(kReykjavik) + conditions);
    QCOMPARE(w.form->windowTitle(), temperature + kDeg + QStringLiteral("F") + AlmanacTitle(kReykjavik));
}

// The healthy world's replies: La Mesa's forecast, Reykjavik's sun and moon
// today, Svalbard's tomorrow.
QByteArray LaMesa()
{
    return Reply(kLaMesaApril);
}

QByteArray Reykjavik()
{
    return Reply(kReykjavik);
}

void ServeHealthyAlmanac(World &w)
{
    w.ServeAlmanac({{"2026-12-06", Reykjavik()}, {"2026-12-07", Reply(kSvalbard)}});
}

// What the healthy world shows, with the refresh times given.
void CheckHealthyView(World &w, const QStringList &times = kStartTimes)
{
    CheckWindow(*w.form, kLaMesaApril, Shown(kReykjavik), kSvalbard.moonrise, times);
}

// The start-up as it should be, with the timer on and both refresh times 10:00.
void CheckHealthyWindow(World &w, const QStringList &times = kStartTimes)
{
    QVERIFY(w.platform.messages.empty());
    CheckHealthyView(w, times);
}

// The message of a forecast download that failed for `cause`.
QString DownloadFailed(const char *cause)
{
    return QStringLiteral("The forecast could not be downloaded: %1.").arg(QString::fromLatin1(cause));
}

QString ServiceError(const char *status)
{
    return QStringLiteral("The forecast service at 127.0.0.1 answered with an error: %1.").arg(QString::fromLatin1(status));
}

// No forecast on show: the window holds the sun and moon alone (the text
// box's five lines, the title without a temperature, the picture), the
// full-moon and moonrise rows (tomorrow's computed, since only a forecast
// refresh asks the observatory for it) and the refresh times.
void CheckSunAndMoonAlone(World &w)
{
    QCOMPARE(w.form->Label1->text(), QString());
    QCOMPARE(w.form->Text1Text(), AlmanacText(kReykjavik));
    QCOMPARE(w.form->windowTitle(), AlmanacTitle(kReykjavik));
    QVERIFY(IconShows(*w.form, kReykjavik.picture));
    QCOMPARE(ColumnHeaders(w.form->lvwEmployees), kHeaders);
    const QList<QStringList> rows = ListRows(w.form->lvwEmployees);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0][4], QStringLiteral("Full Moon ") + kNextFullMoon);
    QVERIFY2(rows[1][4].startsWith(QStringLiteral("Moonrise tomorrow ")) && rows[1][4].endsWith(QStringLiteral(" (computed)")),
             qPrintable(rows[1][4]));
    QCOMPARE(rows[2][0], QStringLiteral("10:00 AM"));
    QCOMPARE(rows[3][0], QStringLiteral("(not yet)"));
}

// The forecast refresh ended at its message box (`message`); the window
// holds the sun and moon alone.
void CheckNoForecast(World &w, const QString &message, const QString &second = kApiKnowsNothing)
{
    QCOMPARE(w.platform.messages.size(), size_t(1));
    QCOMPARE(w.platform.messages[0].text, message + kSecondSource + second + QLatin1Char('.'));
    QCOMPARE(w.platform.messages[0].title, QString());
    CheckSunAndMoonAlone(w);
}

// The reply named a forecast but did not load: the window holds the sun and
// moon alone, and tomorrow's moonrise is not asked for. One message says why, as the
// reply's reading gave it (`reason`, or only its start when it ends in "*").
void CheckNotLoadedWindow(World &w);
std::function<void(World &)> CheckNotLoaded(const char *reason)
{
    return [reason](World &w) {
        QCOMPARE(w.platform.messages.size(), size_t(1));
        const QString expected = QStringLiteral("The forecast from 127.0.0.1 could not be read: ") + QLatin1String(reason);
        if (expected.endsWith(u'*'))
            QVERIFY2(w.platform.messages[0].text.startsWith(expected.chopped(1)), qPrintable(w.platform.messages[0].text));
        else
            QCOMPARE(w.platform.messages[0].text, expected + QLatin1Char('.'));
        w.platform.messages.clear();
        CheckNotLoadedWindow(w);
    };
}

void CheckNotLoadedWindow(World &w)
{
    QVERIFY(w.platform.messages.empty());
    CheckSunAndMoonAlone(w);
    QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{kAlmanacToday});
}

// The sun/moon service gave nothing usable at the start: there is nothing
// of the observatory's to keep, so the window shows the values computed
// here, marked as such, beside the whole forecast; its time row says that no
// sun/moon refresh has gone through yet.
void CheckComputedAlmanac(World &w)
{
    QVERIFY(w.platform.messages.empty());
    const QString almanac = w.form->State().AlmanacText;
    QCOMPARE(almanac.count(QStringLiteral("\r\n")), 5);
    QVERIFY2(almanac.startsWith(QStringLiteral("Sunrise: ")) && almanac.endsWith(QStringLiteral(" visible (computed)\r\n")),
             qPrintable(almanac));
    QVERIFY(w.form->State().AlmanacTitle.endsWith(QStringLiteral(" (computed)")));
    const QString temperature = kLaMesaApril.temperature + kDeg + QStringLiteral("F");
    QCOMPARE(w.form->windowTitle(), temperature + w.form->State().AlmanacTitle);
    QCOMPARE(w.form->Text1Text(), almanac + Conditions(kLaMesaApril));
    const QList<QStringList> rows = ListRows(w.form->lvwEmployees);
    QCOMPARE(rows.mid(0, 7), kLaMesaApril.rows);
    QVERIFY(rows.value(8).value(4).startsWith(QStringLiteral("Moonrise tomorrow ")));
    QVERIFY(rows.value(8).value(4).endsWith(QStringLiteral(" (computed)")));
    QCOMPARE(rows.value(9).value(0), QStringLiteral("(not yet)"));
    QCOMPARE(WithoutStaleMark(rows.value(10).value(0)), QStringLiteral("10:00 AM"));
    QVERIFY(w.form->IconIndex() >= 1 && w.form->IconIndex() <= 8);
}

// A start-up stopped by a bad settings file: one message, no refresh, no
// columns, the window as it opened.
void CheckSettingsFailure(World &w, const QString &description)
{
    QCOMPARE(w.platform.messages.size(), size_t(1));
    QCOMPARE(w.platform.messages[0].text, description + kSuffix);
    QCOMPARE(w.forecastHost.requestCount() + w.almanacHost.requestCount(), 0);
    QCOMPARE(w.form->lvwEmployees->columnCount(), 0);
    QCOMPARE(w.form->windowTitle(), kStartTitle);
}

// The Location command refused a settings path that is not a file: one
// message naming it, no editor, no new start, the window as it was.
void CheckLocationRefused(World &w, const char *what)
{
    QCOMPARE(w.platform.messages.size(), size_t(1));
    QCOMPARE(w.platform.messages[0].text,
             QStringLiteral("The settings file cannot be edited: %1 %2.").arg(w.SettingsPath(), QString::fromLatin1(what)));
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Error opening SkyvaneLatLong_Setup.txt"));
    QVERIFY(w.platform.editorOpened.isEmpty());
    QCOMPARE(w.forecastHost.requestCount(), 1);
    CheckHealthyView(w);
    QVERIFY(!QFile::exists(w.Dir() + QStringLiteral("/elsewhere.txt")));
}

// La Mesa's reply with `inner` nested `levels` deep, text at every level, at
// the end of its forecast data: not a value the scans take.
QByteArray LaMesaNested(int levels)
{
    QByteArray reply = LaMesa();
    const qsizetype at = reply.indexOf("</parameters>\n</data>");
    reply.insert(at, QByteArray("<n>t").repeated(levels) + "x" + QByteArray("</n>").repeated(levels));
    return reply;
}

// A start-up stopped by a bad full-moon table: one message naming the line,
// no refresh, no columns, the window as it opened.
void CheckTableFailure(World &w, const QString &description)
{
    QCOMPARE(w.platform.messages.size(), size_t(1));
    QCOMPARE(w.platform.messages[0].text, description + kSuffix);
    QCOMPARE(w.platform.messages[0].title, QStringLiteral("Error loading SkyvaneLatLong_Setup.txt"));
    QCOMPARE(w.forecastHost.requestCount() + w.almanacHost.requestCount(), 0);
    QCOMPARE(w.form->lvwEmployees->columnCount(), 0);
    QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 0);
    QCOMPARE(w.form->windowTitle(), kStartTitle);
    QVERIFY(IconShows(*w.form, 0));
    // The settings were taken over before the table was read.
    QCOMPARE(w.form->State().Latitude, QStringLiteral("35.9656"));
    QVERIFY(w.form->Timer1->isActive());
}

// Healthy start, then the sun/moon host breaks and the 18:00 tick runs both
// refreshes: the failed sun/moon run keeps the texts and icon it had, and the
// failed moonrise run keeps tomorrow's moonrise.
void TickAt18With(World &w, const QByteArray &reply)
{
    w.ServeAlmanac({{"2026-12-06", reply}, {"2026-12-07", reply}});
    w.platform.now = MakeDate(2026, 12, 6, 18, 0, 0);
    w.form->Timer1_Timer();
}

void CheckKeptAfterTick(World &w)
{
    QCOMPARE(w.almanacHost.requestCount(), 4);
    CheckHealthyWindow(w, {"10:00 AM", "06:00 PM"});
}

// A DWML-looking reply that is large: the forecast marker at the start, so
// only the download's size bound keeps it from being taken.
QByteArray HugeReply()
{
    QByteArray body = "<?xml version=\"1.0\"?><dwml><data>Daily Minimum</data><data>";
    body += QByteArray(20 * 1024 * 1024, 'x');
    body += "</data></dwml>";
    return body;
}

struct Row {
    const char *name;
    std::function<void(World &)> arrange;   // before the start-up
    std::function<void(World &)> act;       // after it; may be empty
    std::function<void(World &)> check;
    bool writesDefaultSettings = false;   // Location may create the settings file, nothing else
};

std::vector<Row> Rows()
{
    std::vector<Row> rows;

    // --- the forecast host ---
    rows.push_back({"forecast host refuses connections",
                    [](World &w) { w.origins.forecast = World::RefusingOrigin(); }, {},
                    [](World &w) {
                        CheckNoForecast(w, DownloadFailed("127.0.0.1 refused the connection"));
                        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{kAlmanacToday});
                    }});
    rows.push_back({"forecast host answers 500 with an HTML page",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(
                            500, "<html><head><title>500 Internal Server Error</title></head>"
                                 "<body><h1>Internal Server Error</h1><p>Try again later.</p></body></html>"));
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, ServiceError("HTTP 500 Internal Server Error"));
                        QCOMPARE(World::Targets(w.forecastHost), QList<QByteArray>{kForecastTarget});
                    }});
    rows.push_back({"forecast host answers 204 No Content",
                    [](World &w) { w.ServeForecast(Response::withStatus(204, QByteArray())); }, {},
                    [](World &w) {
                        CheckNoForecast(w, QStringLiteral("The forecast service at 127.0.0.1 answered with no content "
                                                          "(HTTP 204)."));
                    }});
    rows.push_back({"forecast host sends a compressed reply nobody asked for",
                    [](World &w) {
                        Response r = Response::ok(LaMesa(), "text/xml");
                        r.headers.append({QByteArray("Content-Encoding"), QByteArray("gzip")});
                        w.ServeForecast(r);
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, DownloadFailed("127.0.0.1 sent a compressed reply (Content-Encoding: gzip) "
                                                          "that was not asked for"));
                    }});
    // --- the JSON API, asked when the page gives none ---
    rows.push_back({"forecast page 404, the JSON API answers with Linn's chain",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(404, "<html><body>Not here</body></html>"));
                        w.ServeApi({{kApiPoints, "linn-2025-05-10-points.json"},
                                    {kLinnForecast, "linn-2025-05-12-forecast.json"},
                                    {kLinnStations, "linn-2025-05-10-stations.json"},
                                    {kKmyzLatest, "linn-2025-05-10-observations-latest-KMYZ.json"}});
                    },
                    // A second refresh takes the points and the station from the cache.
                    [](World &w) {
                        QCOMPARE(World::Targets(w.apiHost),
                                 (QList<QByteArray>{kApiPoints, kLinnForecast, kLinnStations, kKmyzLatest}));
                        for (const testsupport::Request &request : w.apiHost.requests()) {
                            QCOMPARE(request.header("Accept"), QByteArray("application/geo+json"));
                            QVERIFY(request.header("User-Agent").startsWith("Selvorra/0.1 ("));
                            QVERIFY(request.header("User-Agent").contains("@"));
                        }
                        w.apiHost.clearRecords();
                        w.form->Update_Click();
                        QCOMPARE(World::Targets(w.apiHost), (QList<QByteArray>{kLinnForecast, kKmyzLatest}));
                        QCOMPARE(World::Targets(w.forecastHost), (QList<QByteArray>{kForecastTarget, kForecastTarget}));
                    },
                    [](World &w) {
                        // 8 degC: 46 degF; no dew point or humidity; 102370 Pa: 30.23 inHg, 1024 hPa.
                        CheckApiForecast(w,
                                         {{"Overnight", "", "53", "", "Mostly clear,"},
                                          {"Monday", "84", "55", "", "Sunny,"}},
                                         QStringLiteral("46"),
                                         QStringLiteral("Wind Speed: 0\r\nHumidy: \r\nDew Point: \r\nPressure: 1024\r\n"
                                                        "Marysville Municipal Airport"));
                    }});
    // The grid of a kept points reply has moved: its forecast address
    // answers 404, so the points are asked again in the same refresh.
    rows.push_back({"a kept points reply's forecast address answers 404",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(404, "<html><body>Not here</body></html>"));
                        w.ServeApi({{kApiPoints, "linn-2025-05-10-points.json"},
                                    {kLinnForecast, "linn-2025-05-12-forecast.json"},
                                    {kLinnStations, "linn-2025-05-10-stations.json"},
                                    {kKmyzLatest, "linn-2025-05-10-observations-latest-KMYZ.json"}});
                    },
                    [](World &w) {
                        QByteArray moved = recorded::Bytes(QStringLiteral("nws-api/linn-2025-05-10-points.json"));
                        moved.replace("https://api.weather.gov", w.apiHost.baseUrl().toLatin1()).replace("32,81", "33,81");
                        w.apiHost.route(kApiPoints, Response::ok(moved, "application/geo+json"));
                        w.apiHost.route(kLinnForecast, Response::withStatus(404, "{}"));
                        w.apiHost.route("/gridpoints/TOP/33,81/forecast",
                                        Response::ok(recorded::Bytes(QStringLiteral("nws-api/linn-2025-05-12-forecast.json")),
                                                     "application/geo+json"));
                        w.apiHost.clearRecords();
                        w.form->Update_Click();
                        QCOMPARE(World::Targets(w.apiHost), (QList<QByteArray>{kLinnForecast, kApiPoints,
                                                                               "/gridpoints/TOP/33,81/forecast", kKmyzLatest}));
                        // The new points reply is the one kept.
                        w.apiHost.clearRecords();
                        w.form->Update_Click();
                        QCOMPARE(World::Targets(w.apiHost),
                                 (QList<QByteArray>{"/gridpoints/TOP/33,81/forecast", kKmyzLatest}));
                    },
                    [](World &w) {
                        QVERIFY(w.platform.messages.empty());
                        QCOMPARE(ListRows(w.form->lvwEmployees).value(1).value(0), QStringLiteral("Monday"));
                    }});
    // A redirect from the API's address to another host is not followed:
    // the program's name and contact go to the weather service alone.
    rows.push_back({"the JSON API's forecast address redirects to another host",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(404, "<html><body>Not here</body></html>"));
                        w.ServeApi({{kApiPoints, "linn-2025-05-10-points.json"}});
                        const QByteArray elsewhere = "https://localhost:" + QByteArray::number(w.almanacHost.port())
                            + "/api/rstt/oneday?date=2026-12-06";
                        w.apiHost.route(kLinnForecast, Response::redirect(elsewhere, 301));
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, ServiceError("HTTP 404 Not Found"),
                                        QStringLiteral("127.0.0.1 redirected to localhost, which is not the service's own address"));
                        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{kAlmanacToday});
                    }});
    rows.push_back({"forecast page redirects to an HTML page, the JSON API answers for Portland without stations",
                    [](World &w) {
                        w.forecastHost.route("/zone.html", Response::ok("<html><body>Zone forecast</body></html>", "text/html"));
                        w.ServeForecast(Response::redirect(w.forecastHost.url("/zone.html").toLatin1()));
                        w.ServeApi({{kApiPoints, "portland-2024-04-07-points.json"},
                                    {"/gridpoints/PQR/114,105/forecast", "portland-2024-04-07-forecast.json"}});
                    },
                    {},
                    [](World &w) {
                        CheckApiForecast(w, {{"Tonight", "", "41", "50%", "A chance of rain showers."}}, QString(),
                                         QStringLiteral("Wind Speed: \r\nHumidy: \r\nDew Point: \r\nPressure: \r\n"));
                    }});
    rows.push_back({"forecast page 500 and the JSON API knows no such point",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(500, "<html><body>Broken</body></html>"));
                        w.apiHost.route(kApiPoints, Response::withStatus(404, recorded::Bytes(QStringLiteral(
                                                                                  "nws-api/paris-2025-02-28-points-error-404-invalidpoint.json"))));
                    },
                    {},
                    [](World &w) {
                        QCOMPARE(w.platform.messages.size(), size_t(1));
                        QVERIFY2(w.platform.messages[0].text.startsWith(ServiceError("HTTP 500 Internal Server Error") + kSecondSource
                                                                        + "Data Unavailable For Requested Point"),
                                 qPrintable(w.platform.messages[0].text));
                        CheckSunAndMoonAlone(w);
                    }});
    rows.push_back({"no forecast on the page, and the JSON API points to another host",
                    [](World &w) {
                        w.ServeForecast(Response::ok("<?xml version=\"1.0\"?><error>outside</error>", "text/xml"));
                        w.apiHost.route(kApiPoints, Response::ok(recorded::Bytes(QStringLiteral("nws-api/linn-2025-05-10-points.json")),
                                                                 "application/geo+json"));
                    },
                    {},
                    [](World &w) {
                        QCOMPARE(w.platform.messages.size(), size_t(1));
                        QVERIFY2(w.platform.messages[0].text.startsWith(kNoForecast + kSecondSource),
                                 qPrintable(w.platform.messages[0].text));
                        QVERIFY(w.platform.messages[0].text.contains("https://api.weather.gov/gridpoints/TOP/32,81/forecast"));
                        QCOMPARE(World::Targets(w.apiHost), QList<QByteArray>{kApiPoints});
                    }});
    rows.push_back({"forecast page 404 and a hostile JSON API reply",
                    [](World &w) {
                        w.ServeForecast(Response::withStatus(404, "<html><body>Not here</body></html>"));
                        w.apiHost.route(kApiPoints, Response::ok(QByteArray(100000, '[') + QByteArray(100000, ']'), "application/geo+json"));
                    },
                    {},
                    [](World &w) {
                        QCOMPARE(w.platform.messages.size(), size_t(1));
                        QVERIFY2(w.platform.messages[0].text.startsWith(ServiceError("HTTP 404 Not Found") + kSecondSource + "the reply"),
                                 qPrintable(w.platform.messages[0].text));
                    }});
    // A reply that arrives whole but holds no forecast: the place has none.
    rows.push_back({"forecast host answers a place outside its area",
                    [](World &w) {
                        w.ServeForecast(Response::ok("<?xml version=\"1.0\"?><error><h2>Point is outside the forecast "
                                                     "area</h2></error>", "text/xml"));
                    },
                    {}, [](World &w) { CheckNoForecast(w, kNoForecast); }});
    // The first piece holds "Daily Minimum": a partial body must not count.
    rows.push_back({"forecast host stalls in the middle of the body",
                    [](World &w) {
                        Response r = Response::ok(LaMesa(), "text/xml");
                        r.pieces = {6000};
                        r.stall = Response::Stall::MidBody;
                        w.ServeForecast(r);
                    },
                    {}, [](World &w) { CheckNoForecast(w, DownloadFailed("the transfer from 127.0.0.1 stalled")); }});
    // A byte now and then never lets the transfer look stalled; its speed does.
    rows.push_back({"forecast host sends a byte at a time, slowly",
                    [](World &w) {
                        Response r = Response::ok(LaMesa(), "text/xml");
                        r.pieces = QList<int>(40, 1);
                        r.pieceDelayMs = 100;
                        w.ServeForecast(r);
                    },
                    {}, [](World &w) { CheckNoForecast(w, DownloadFailed("the transfer from 127.0.0.1 stalled")); }});
    rows.push_back({"forecast host stalls before answering",
                    [](World &w) {
                        Response r = Response::ok(LaMesa(), "text/xml");
                        r.stall = Response::Stall::BeforeHeaders;
                        w.ServeForecast(r);
                    },
                    {}, [](World &w) { CheckNoForecast(w, DownloadFailed("the transfer from 127.0.0.1 stalled")); }});
    rows.push_back({"forecast host with a certificate nobody vouches for",
                    [](World &w) {
                        QVERIFY(w.untrustedHost.start());
                        w.origins.forecast = w.untrustedHost.baseUrl();
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, DownloadFailed("the certificate of 127.0.0.1 could not be verified"));
                        QCOMPARE(w.untrustedHost.requestCount(), 0);
                    }});
    rows.push_back({"forecast host redirects to plain http",
                    [](World &w) {
                        QVERIFY(w.plainHost.start());
                        w.plainHost.route("/MapClick.php", Response::ok(LaMesa(), "text/xml"));
                        w.ServeForecast(Response::redirect(w.plainHost.url("/MapClick.php").toLatin1()));
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, DownloadFailed("127.0.0.1 redirected to an address that is not https"));
                        QCOMPARE(w.plainHost.requestCount(), 0);
                    }});
    rows.push_back({"truncated DWML reply, sent as complete",
                    [](World &w) { w.ServeForecast(LaMesa().left(6000)); }, {},
                    CheckNotLoaded("the reply is not well-formed XML*")});
    rows.push_back({"truncated DWML reply, connection closed before the announced length",
                    [](World &w) {
                        const QByteArray whole = LaMesa();
                        Response r = Response::ok(whole.left(6000), "text/xml");
                        r.contentLength = false;
                        r.closeConnection = true;
                        r.headers.append({"Content-Length", QByteArray::number(whole.size())});
                        w.ServeForecast(r);
                    },
                    {},
                    [](World &w) {
                        CheckNoForecast(w, DownloadFailed("the connection to 127.0.0.1 broke off before the reply "
                                                          "was complete"));
                    }});
    rows.push_back({"DWML reply with a bare ampersand in a place name",
                    [](World &w) {
                        QByteArray reply = LaMesa();
                        const qsizetype at = reply.indexOf("<area-description>");
                        QVERIFY(at >= 0);
                        reply.insert(at + qsizetype(sizeof "<area-description>") - 1, "A & B ");
                        w.ServeForecast(reply);
                    },
                    {}, CheckNotLoaded("the reply is not well-formed XML*")});
    // The apostrophe in the comment must not hide the bare "&" after it.
    rows.push_back({"DWML reply with an apostrophe in a comment of its DOCTYPE, then a bare ampersand",
                    [](World &w) {
                        QByteArray reply = LaMesa();
                        reply.replace("<dwml", "<!DOCTYPE dwml [<!-- it's ours -->]>\n<dwml");
                        reply.replace("<area-description>3 Miles", "<area-description>A & B's<!-- ]> --> 3 Miles");
                        w.ServeForecast(reply);
                    },
                    {}, CheckNotLoaded("the reply is not well-formed XML*")});
    rows.push_back({"DWML reply nested 4000 levels deep in its forecast data",
                    [](World &w) { w.ServeForecast(LaMesaNested(4000)); }, {},
                    [](World &w) { CheckHealthyWindow(w); }});
    rows.push_back({"DWML reply nested past any forecast's depth",
                    [](World &w) { w.ServeForecast(LaMesaNested(100000)); }, {},
                    CheckNotLoaded("the reply nests deeper than 4096 levels*")});
    // A byte-order mark before the declaration, as a misconfigured server
    // might send it.
    rows.push_back({"DWML reply with a byte-order mark before its declaration",
                    [](World &w) { w.ServeForecast("\xEF\xBB\xBF" + LaMesa()); }, {},
                    CheckNotLoaded("the reply is not well-formed XML (line 1, column 1)")});
    // Names for more periods than the list has rows: the scan stops.
    rows.push_back({"DWML reply with more than ten period names",
                    [](World &w) {
                        QByteArray reply = LaMesa();
                        const qsizetype at = reply.indexOf("</time-layout>");
                        QVERIFY(at >= 0);
                        reply.insert(at, QByteArray("<start-valid-time period-name=\"Someday\">2026-04-18T06:00:00-07:00"
                                                    "</start-valid-time>").repeated(10));
                        w.ServeForecast(reply);
                    },
                    {}, CheckNotLoaded("*")});
    // Megabytes in one value: composed whole, but the box is given only what
    // it can ever show, so laying it out does not hold the window.
    rows.push_back({"DWML reply with a site description of 4 MiB",
                    [](World &w) {
                        QByteArray reply = LaMesa();
                        reply.replace("DW5256 La Mesa, CA", "DW5256 " + QByteArray("La Mesa ").repeated(512 * 1024));
                        w.ServeForecast(reply);
                    },
                    {},
                    [](World &w) {
                        QVERIFY(w.platform.messages.empty());
                        Forecast big = kLaMesaApril;
                        big.station = QStringLiteral("DW5256 ") + QStringLiteral("La Mesa ").repeated(512 * 1024);
                        QCOMPARE(w.form->Text1Text(), AlmanacText(kReykjavik) + Conditions(big));
                        QCOMPARE(w.form->Text1->toPlainText().size(), 4096);
                        QCOMPARE(ListRows(w.form->lvwEmployees).mid(0, 7), kLaMesaApril.rows);
                    }});
    rows.push_back({"non-XML reply containing Daily Minimum",
                    [](World &w) {
                        w.ServeForecast(Response::ok("Daily Minimum and Daily Maximum temperatures are not "
                                                     "available at this time.\n"));
                    },
                    {}, CheckNotLoaded("the reply is not well-formed XML*")});
    rows.push_back({"20 MiB body with its length announced",
                    [](World &w) { w.ServeForecast(Response::ok(HugeReply(), "text/xml")); }, {},
                    [](World &w) { CheckNoForecast(w, DownloadFailed("the reply from 127.0.0.1 was too large")); }});
    rows.push_back({"20 MiB body ending at the close of the connection",
                    [](World &w) {
                        Response r = Response::ok(HugeReply(), "text/xml");
                        r.contentLength = false;
                        r.pieces = {1024 * 1024, 1024 * 1024, 1024 * 1024};
                        w.ServeForecast(r);
                    },
                    {}, [](World &w) { CheckNoForecast(w, DownloadFailed("the reply from 127.0.0.1 was too large")); }});

    // --- the sun/moon host ---
    rows.push_back({"sun/moon host refuses connections",
                    [](World &w) { w.origins.almanac = World::RefusingOrigin(); }, {}, CheckComputedAlmanac});
    // A laptop that wakes before its network: what the window showed stays.
    rows.push_back({"sun/moon host gone at the 18:00 tick",
                    {},
                    [](World &w) {
                        w.almanacHost.stop();
                        w.platform.now = MakeDate(2026, 12, 6, 18, 0, 0);
                        w.form->Timer1_Timer();
                    },
                    [](World &w) {
                        QCOMPARE(w.forecastHost.requestCount(), 2);
                        CheckHealthyWindow(w, {"10:00 AM", "06:00 PM"});
                    }});
    // A clock set back two hours: both refreshes are due at once, and the
    // counts go on from there.
    rows.push_back({"clock set back two hours",
                    {},
                    [](World &w) {
                        w.platform.now = MakeDate(2026, 12, 6, 8, 0, 0);
                        w.form->Timer1_Timer();
                        w.platform.now = MakeDate(2026, 12, 6, 8, 1, 0);
                        w.form->Timer1_Timer();
                    },
                    [](World &w) {
                        QCOMPARE(World::Targets(w.almanacHost),
                                 (QList<QByteArray>{kAlmanacToday, kAlmanacTomorrow, kAlmanacToday, kAlmanacTomorrow}));
                        QCOMPARE(World::Targets(w.forecastHost), (QList<QByteArray>{kForecastTarget, kForecastTarget}));
                        CheckHealthyWindow(w, {"08:00 AM", "08:00 AM"});
                    }});
    rows.push_back({"sun/moon host sends an HTML page",
                    [](World &w) {
                        const QByteArray page = "<html><head><title>Service Unavailable</title></head><body>"
                                                "Down for maintenance, please come back later.</body></html>";
                        w.ServeAlmanac({{"2026-12-06", page}, {"2026-12-07", page}});
                    },
                    {},
                    [](World &w) {
                        CheckComputedAlmanac(w);
                        QCOMPARE(World::Targets(w.almanacHost), (QList<QByteArray>{kAlmanacToday, kAlmanacTomorrow}));
                    }});
    rows.push_back({"sun/moon reply ends with a time value",
                    {},
                    [](World &w) {
                        const QByteArray reply = Reykjavik();
                        TickAt18With(w, reply.left(reply.indexOf("\"22:27\"") + 7));
                    },
                    CheckKeptAfterTick});
    rows.push_back({"sun/moon reply with an unreadable time",
                    {},
                    [](World &w) {
                        QByteArray reply = Reykjavik();
                        TickAt18With(w, reply.replace("\"22:27\"", "\"22h27\""));
                    },
                    CheckKeptAfterTick});
    rows.push_back({"sun/moon reply without curphase and fracillum",
                    [](World &w) {
                        QByteArray reply = Reykjavik();
                        reply.replace("      \"curphase\": \"Waxing Gibbous\", \n", "");
                        reply.replace("      \"fracillum\": \"89%\", \n", "");
                        QVERIFY(!reply.contains("curphase") && !reply.contains("fracil"));
                        w.ServeAlmanac({{"2026-12-06", reply}, {"2026-12-07", Reply(kSvalbard)}});
                    },
                    {},
                    [](World &w) {
                        // No phase word, no illumination: the new moon.
                        Almanac noPhase = kReykjavik;
                        noPhase.phase.clear();
                        noPhase.illumination.clear();
                        noPhase.picture = 1;
                        CheckWindow(*w.form, kLaMesaApril, Shown(noPhase), kSvalbard.moonrise, kStartTimes);
                    }});

    // --- the settings file ---
    // The hosts answer coordinates they cannot read with error pages.
    rows.push_back({"settings with letters for coordinates",
                    [](World &w) {
                        w.WriteSettings("north,west, auto update=true\r\n");
                        w.ServeForecast(Response::withStatus(400, "<html><body>Bad point: north, west</body></html>"));
                        w.ServeAlmanac({{"2026-12-06", "{\"error\": \"Invalid coordinates\"}"},
                                        {"2026-12-07", "{\"error\": \"Invalid coordinates\"}"}});
                    },
                    {},
                    [](World &w) {
                        QCOMPARE(World::Targets(w.forecastHost),
                                 QList<QByteArray>{"/MapClick.php?lat=north&lon=west&unit=0&lg=english&FcstType=dwml"});
                        QCOMPARE(World::Targets(w.almanacHost),
                                 QList<QByteArray>{"/api/rstt/oneday?date=2026-12-06%20&coords=north,%20west"
                                                   "&auto%20update=true%20&dst=true"});
                        QCOMPARE(w.platform.messages.at(0).text, ServiceError("HTTP 400 Bad Request") + kSecondSource
                                                                         + "the settings name no point it knows.");
                        // No place to compute for, and nothing usable fetched: no sun or moon.
                        QCOMPARE(w.form->Text1Text(), QString());
                        QCOMPARE(w.form->windowTitle(), kStartTitle);
                        QVERIFY(IconShows(*w.form, 0));
                        QCOMPARE(ListRows(w.form->lvwEmployees).value(1).value(4), QStringLiteral("Moonrise tomorrow "));
                    }});
    // Only the fourth field is the switch: "false" in the fifth and later is ignored.
    rows.push_back({"settings line of 1000 fields",
                    [](World &w) {
                        QByteArray line = "35.9656,-114.836, auto update=true,auto update=true";
                        for (int field = 5; field <= 1000; ++field)
                            line += ",false";
                        w.WriteSettings(line + "\r\n");
                    },
                    {},
                    [](World &w) {
                        QVERIFY(w.form->Timer1->isActive());
                        CheckHealthyWindow(w);
                        QCOMPARE(World::Targets(w.forecastHost), QList<QByteArray>{kForecastTarget});
                    }});
    // The longest first line that is read: its switch field still counts.
    rows.push_back({"settings line of 64 KiB, the switch field long",
                    [](World &w) {
                        const QByteArray head = "35.9656,-114.836, auto update=true,";
                        w.WriteSettings(head + QByteArray(64 * 1024 - head.size() - 5, 'x') + "FALSE\r\n");
                    },
                    {},
                    [](World &w) {
                        QVERIFY(!w.form->Timer1->isActive());
                        CheckHealthyView(w, {"(auto off)"});
                        QCOMPARE(World::Targets(w.almanacHost), (QList<QByteArray>{kAlmanacToday, kAlmanacTomorrow}));
                    }});
    rows.push_back({"settings line of 1 MiB, the latitude long",
                    [](World &w) {
                        w.WriteSettings("35.9656" + QByteArray(1024 * 1024, '0') + ",-114.836, auto update=true\r\n");
                    },
                    {},
                    [](World &w) {
                        CheckSettingsFailure(w, QStringLiteral("Line too long: the first line of %1 is longer than "
                                                               "65536 characters").arg(w.SettingsPath()));
                        QCOMPARE(w.form->State().Latitude, QString());
                    }});
    // A gigabyte without a line end (a sparse file: no disk is used).
    rows.push_back({"settings file of 1 GiB",
                    [](World &w) {
                        w.WriteSettings(QByteArray());
                        QVERIFY(QFile::resize(w.SettingsPath(), 1024LL * 1024 * 1024));
                    },
                    {},
                    [](World &w) {
                        CheckSettingsFailure(w, QStringLiteral("Line too long: the first line of %1 is longer than "
                                                               "65536 characters").arg(w.SettingsPath()));
                    }});
    // Every byte from 0x80 up reaches the host as itself, percent-encoded.
    rows.push_back({"settings with bytes from 0x80 up",
                    [](World &w) {
                        QByteArray line = "35.9656,-114.836, auto update=true&note=";
                        for (int b = 0x80; b <= 0xFF; ++b)
                            line += char(b);
                        w.WriteSettings(line + "\r\n");
                    },
                    {},
                    [](World &w) {
                        QByteArray encoded;
                        for (int b = 0x80; b <= 0xFF; ++b)
                            encoded += '%' + QByteArray::number(b, 16).toUpper();
                        const QByteArray query = "%20&coords=35.9656,%20-114.836&auto%20update=true&note=" + encoded
                            + "%20&dst=true";
                        QCOMPARE(World::Targets(w.almanacHost),
                                 (QList<QByteArray>{"/api/rstt/oneday?date=2026-12-06" + query,
                                                    "/api/rstt/oneday?date=2026-12-07" + query}));
                        CheckHealthyWindow(w);
                    }});
    rows.push_back({"settings with a NUL byte in the latitude",
                    [](World &w) { w.WriteSettings(QByteArray("35.9656\0,-114.836, auto update=true\r\n", 38)); },
                    {},
                    [](World &w) {
                        QCOMPARE(w.form->State().Latitude, QString::fromLatin1("35.9656\0", 8));
                        QCOMPARE(World::Targets(w.forecastHost),
                                 QList<QByteArray>{"/MapClick.php?lat=35.9656%00&lon=-114.836&unit=0&lg=english&FcstType=dwml"});
                        QCOMPARE(World::Targets(w.almanacHost).value(0),
                                 QByteArray("/api/rstt/oneday?date=2026-12-06%20&coords=35.9656%00,%20-114.836"
                                            "&auto%20update=true%20&dst=true"));
                        CheckHealthyWindow(w);
                    }});

    // --- the full-moon table ---
    rows.push_back({"full-moon table with an empty line before the next full moon",
                    [](World &w) { w.WriteTable("Full moons\r\n2026-11-24 06:53\r\n\r\n2026-12-23 17:28\r\n"); }, {},
                    [](World &w) {
                        CheckTableFailure(w, QStringLiteral("Not a date: \"\" in line 3 of ") + w.TablePath());
                        QCOMPARE(w.form->State().NextFullMoon, MakeDate(2026, 11, 24, 6, 53));
                    }});
    rows.push_back({"full-moon table with an empty line after the next full moon",
                    [](World &w) { w.WriteTable("Full moons\r\n2026-12-23 17:28\r\n\r\n\r\n"); }, {},
                    [](World &w) { CheckHealthyWindow(w); }});
    rows.push_back({"full-moon table with a line that is not a date",
                    [](World &w) { w.WriteTable("Full moons\r\n2026-11-24 06:53\r\nsoon\r\n2026-12-23 17:28\r\n"); },
                    {},
                    [](World &w) {
                        CheckTableFailure(w, QStringLiteral("Not a date: \"soon\" in line 3 of ") + w.TablePath());
                    }});
    // A long line of words is refused at once, and its message stays short.
    rows.push_back({"full-moon table with a 1 MiB line of words before the next full moon",
                    [](World &w) {
                        w.WriteTable("Full moons\r\n2026-11-24 06:53\r\n" + QByteArray("Dec 23 ").repeated(150000)
                                     + "\r\n2026-12-23 17:28\r\n");
                    },
                    {},
                    [](World &w) {
                        const QString quoted = QStringLiteral("Dec 23 ").repeated(9).left(60) + QChar(0x2026);
                        CheckTableFailure(w, QStringLiteral("Not a date: \"%1\" in line 3 of %2").arg(quoted, w.TablePath()));
                    }});
    rows.push_back({"full-moon table over 4 MiB",
                    [](World &w) {
                        w.WriteTable("Full moons\r\n" + QByteArray("2026-12-23 17:28\r\n").repeated(250000));
                    },
                    {},
                    [](World &w) {
                        CheckTableFailure(w, QStringLiteral("File too large: %1 holds more than 4 MiB").arg(w.TablePath()));
                    }});
    // Every line is read: the next full moon is the last one.
    rows.push_back({"full-moon table of 100000 lines",
                    [](World &w) {
                        QByteArray table = "Full moons\r\n";
                        table.reserve(100001 * 18);
                        for (int line = 1; line < 100000; ++line)
                            table += "2026-11-24 06:53\r\n";
                        w.WriteTable(table + "2026-12-23 17:28\r\n");
                    },
                    {}, [](World &w) { CheckHealthyWindow(w); }});
    // The first line is the header whatever it holds: its date is not used.
    rows.push_back({"full-moon table without a header",
                    [](World &w) { w.WriteTable("2026-12-23 17:28\r\n2027-01-21 20:00\r\n"); }, {},
                    [](World &w) {
                        QVERIFY(w.platform.messages.empty());
                        QCOMPARE(w.form->lvwEmployees->topLevelItem(7)->text(4),
                                 QStringLiteral("Full Moon Thursday, Jan 21, 2027"));
                        QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 11);
                    }});

    // --- the Location command in a broken world ---
    rows.push_back({"Location without a settings file, no editor, forecast host refusing",
                    [](World &w) {
                        w.origins.forecast = World::RefusingOrigin();
                        w.platform.editorStarts = false;
                    },
                    [](World &w) {
                        QVERIFY(QFile::remove(w.SettingsPath()));
                        w.platform.now = MakeDate(2026, 12, 6, 10, 5, 0);
                        w.form->Location_Click();
                    },
                    [](World &w) {
                        QCOMPARE(ReadFile(w.SettingsPath()), QByteArray("35.9656,-114.836, auto update=true\r\nBoulder"));
                        const QString refused =
                            DownloadFailed("127.0.0.1 refused the connection") + kSecondSource + kApiKnowsNothing + ".";
                        QCOMPARE(w.platform.messages.size(), size_t(4));
                        QCOMPARE(w.platform.messages[0].text, refused);
                        QVERIFY(w.platform.messages[1].text.startsWith(
                            QStringLiteral("No text editor could be started for ") + w.SettingsPath()));
                        QCOMPARE(w.platform.messages[2].text, QStringLiteral("Your new location will be updated."));
                        QCOMPARE(w.platform.messages[3].text, refused);
                        QCOMPARE(World::Targets(w.almanacHost), (QList<QByteArray>{kAlmanacToday, kAlmanacToday}));
                        QCOMPARE(ColumnHeaders(w.form->lvwEmployees), kHeaders);
                        QCOMPARE(ListRows(w.form->lvwEmployees).size(), 4);
                        QCOMPARE(w.form->windowTitle(), AlmanacTitle(kReykjavik));
                    },
                    true});
    // The editor comes up and then fails while the message waits: the user
    // is told, and the place is taken up as saved.
    rows.push_back({"Location: the editor fails while its message is up",
                    [](World &w) { w.platform.editorFailsLater = true; },
                    [](World &w) {
                        w.platform.now = MakeDate(2026, 12, 6, 10, 5, 0);
                        w.form->Location_Click();
                    },
                    [](World &w) {
                        const QString updated = QStringLiteral("Your new location will be updated.");
                        QCOMPARE(w.platform.messages.size(), size_t(3));
                        QCOMPARE(w.platform.messages[0].text, updated);
                        QVERIFY(w.platform.messages[1].text.startsWith(
                            QStringLiteral("No text editor could be started for ") + w.SettingsPath()));
                        QCOMPARE(w.platform.messages[2].text, updated);
                        CheckHealthyView(w, {"10:05 AM", "10:05 AM"});
                    }});
    // Nothing but a missing file is created, never through a link, and
    // nothing waits on a pipe.
    rows.push_back({"Location: the settings path is a named pipe",
                    {},
                    [](World &w) {
                        QVERIFY(QFile::remove(w.SettingsPath()));
                        QCOMPARE(mkfifo(QFile::encodeName(w.SettingsPath()).constData(), 0600), 0);
                        w.form->Location_Click();
                    },
                    [](World &w) { CheckLocationRefused(w, "is a named pipe (FIFO)"); },
                    true});
    rows.push_back({"Location: the settings path is a link to a missing file",
                    {},
                    [](World &w) {
                        QVERIFY(QFile::remove(w.SettingsPath()));
                        QVERIFY(QFile::link(w.Dir() + QStringLiteral("/elsewhere.txt"), w.SettingsPath()));
                        w.form->Location_Click();
                    },
                    [](World &w) { CheckLocationRefused(w, "is a symbolic link that leads to no file"); },
                    true});
    rows.push_back({"Location: the settings path is a directory",
                    {},
                    [](World &w) {
                        QVERIFY(QFile::remove(w.SettingsPath()));
                        QVERIFY(QDir().mkdir(w.SettingsPath()));
                        w.form->Location_Click();
                    },
                    [](World &w) { CheckLocationRefused(w, "is a directory"); },
                    true});
    return rows;
}

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { recorded::StartTestCase(); }

    void brokenWorld_data()
    {
        QTest::addColumn<int>("row");
        const std::vector<Row> rows = Rows();
        for (int i = 0; i < int(rows.size()); ++i)
            QTest::newRow(rows[size_t(i)].name) << i;
    }

    void brokenWorld()
    {
        QFETCH(int, row);
        const Row r = Rows()[size_t(row)];

        World w;
        w.WriteSettings(kSettings);
        w.WriteTable(kTable);
        w.ServeForecast(LaMesa());
        ServeHealthyAlmanac(w);
        if (r.arrange)
            r.arrange(w);
        if (QTest::currentTestFailed())
            return;
        auto filesBefore = Snapshot(w.Dir());

        QElapsedTimer clock;
        clock.start();
        w.Start();
        if (r.act)
            r.act(w);
        // The bounds of a fetch keep every broken world short.
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));

        // Still running, idle, visible, and nothing beside it written.
        QVERIFY(!w.form->Busy());
        QVERIFY(w.form->isVisible());
        auto filesAfter = Snapshot(w.Dir());
        if (r.writesDefaultSettings) {
            filesBefore.erase(kSettingsFileName);
            filesAfter.erase(kSettingsFileName);
        }
        QVERIFY(filesAfter == filesBefore);
        r.check(w);
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "tst_fault_matrix.moc"
