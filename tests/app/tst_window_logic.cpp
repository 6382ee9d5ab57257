// The window's logic on its own, with no window and no screen: what it
// decides to show after a start-up, as plain data, and the busy pointer
// around every wait on the network.
#include "TestPlatform.h"
#include "support/TestFiles.h"

#include "app/WindowLogic.h"

#include <map>
#include "common/RuntimeError.h"

#include <QTimeZone>
#include <QtTest>

namespace {

struct World {
    TestPlatform platform;
    bool forecastUp = true;
    bool almanacUp = true;
    std::function<void()> raise;   // run inside a download, e.g. to throw
    QList<int> busyAtDownload;
    QList<int> busyAtMessage;
    std::vector<Alert> alertsShown;   // the alert windows opened

    World()
    {
        testsupport::WriteFile(platform.FilePath(kSettingsFileName), "35.9656,-114.836,tz=-8\r\n");
        testsupport::WriteFile(platform.FilePath(kFullMoonFileName), "Full moons\r\n2026-12-23 17:28\r\n");
        platform.onDownload = [this](const QString &url) {
            busyAtDownload << platform.busy;
            if (raise)
                raise();
            const bool forecast = url.contains(QStringLiteral("MapClick"));
            if (!(forecast ? forecastUp : almanacUp))
                return QString();
            return QString::fromLatin1(testsupport::SuiteFile(
                QString::fromLatin1(forecast ? "forecast/replies/night-first-short.xml" : "almanac/waxing-crescent-reply.json")));
        };
        platform.onMessage = [this](const QString &) { busyAtMessage << platform.busy; };
    }
};

// An alerts reply of one feature: a Flood Warning of `severity` in the
// event KMLB.FL.W.0007, in force until `ends` (UTC, as the test clock).
net::Fetched AlertsReply(const char *severity, const char *ends = "2026-12-06T12:00:00Z", const char *etag = "")
{
    const QString body = QStringLiteral(
        R"({"features": [{"id": "https://api.weather.gov/alerts/a%1", "properties": {"status": "Actual", )"
        R"("messageType": "Alert", "event": "Flood Warning", "headline": "Flood Warning <b>now</b>", )"
        R"("severity": "%1", "onset": "2026-12-06T09:00:00Z", "ends": "%2", "instruction": "Turn around. Go.", )"
        R"("parameters": {"VTEC": ["/O.NEW.KMLB.FL.W.0007.261206T0900Z-261206T1200Z/"]}}}]})")
                             .arg(QLatin1String(severity), QLatin1String(ends));
    return {body, {net::Failure::None, "api.weather.gov", 200, "OK", QString::fromLatin1(etag), {}, {}}};
}

const net::Fetched kNotModified{QString(), {net::Failure::None, "api.weather.gov", 304, "Not Modified", {}, {}, {}}};
const net::Fetched kOffline{QString(), {net::Failure::HostNotFound, "api.weather.gov", 0, {}, {}, {}, {}}};
const net::Fetched kOutside{QStringLiteral(R"({"title": "Invalid Parameter", "status": 400, "detail": "out of bounds"})"),
                            {net::Failure::None, "api.weather.gov", 400, "Bad Request", {}, {}, {}}};

// One alerts row: what the service answers at each minute after 10:00
// (a minute not listed: what it answered before), and what the row checks
// at the end.
struct AlertsRow {
    const char *name;
    std::map<int, net::Fetched> answers;
    int minutes;
    std::function<void(World &w, WindowLogic &logic)> check;
};

// Three hours of the page's digital forecast from 10:00 on the test's day.
QString DigitalHours()
{
    return QStringLiteral(R"(<?xml version="1.0"?><dwml><head><product><creation-date>2026-12-06T09:40:00Z</creation-date>)"
                          R"(</product></head><data><time-layout><layout-key>k-p1h-n1-0</layout-key>)"
                          R"(<start-valid-time>2026-12-06T10:00:00Z</start-valid-time>)"
                          R"(<start-valid-time>2026-12-06T11:00:00Z</start-valid-time>)"
                          R"(<start-valid-time>2026-12-06T12:00:00Z</start-valid-time></time-layout>)"
                          R"(<parameters><temperature type="hourly" time-layout="k-p1h-n1-0"><value>50</value>)"
                          R"(<value>52</value><value>54</value></temperature></parameters></data></dwml>)");
}

// The JSON API's points (with the hourly address) and an hourly forecast of one hour.
QString ApiHours(const QString &url)
{
    const QString grid = QStringLiteral("https:") + QStringLiteral("//api.weather.gov/gridpoints/X/1,1");
    if (url.contains(QStringLiteral("/points/")))
        return QStringLiteral(R"({"properties": {"forecast": "%1/forecast", "observationStations": "%1/stations", )"
                              R"("forecastHourly": "%1/forecast/hourly"}})")
            .arg(grid);
    return QStringLiteral(R"({"properties": {"periods": [{"startTime": "2026-12-06T10:00:00Z", )"
                          R"("endTime": "2026-12-06T11:00:00Z", "temperature": 10, "temperatureUnit": "C", )"
                          R"("windSpeed": "16 km/h", "windDirection": "SW", "shortForecast": "Sunny"}]}})");
}

const std::vector<AlertsRow> &AlertsRows()
{
    static const std::vector<AlertsRow> rows = [] {
        std::vector<AlertsRow> r;
        r.push_back({"a new alert: the strip and one notification, critical for a severe one",
                     {{0, AlertsReply("Severe")}}, 2, [](World &w, WindowLogic &logic) {
                         const WarningsStrip &strip = logic.View().warnings;
                         QCOMPARE(strip.text, QStringLiteral("Flood Warning"));
                         QCOMPARE(strip.icon, AlertIcon::Critical);
                         QCOMPARE(strip.description, QStringLiteral("Flood Warning, severe"));
                         QCOMPARE(w.platform.notifications.size(), size_t(1));
                         QCOMPARE(w.platform.notifications[0].summary, QStringLiteral("Flood Warning"));
                         QCOMPARE(w.platform.notifications[0].body, QStringLiteral("Flood Warning <b>now</b>\nTurn around."));
                         QCOMPARE(int(w.platform.notifications[0].urgency), 2);
                         QCOMPARE(w.platform.alertRequests.size(), 3);
                         QVERIFY(w.platform.alertRequests[0].url.endsWith("/alerts/active?point=35.9656,-114.836"));
                         QVERIFY(w.platform.alertRequests[0].headers.contains("Accept: application/geo+json"));
                         // Its "Show" opens the alert's window.
                         w.platform.notificationShown(w.platform.notifications[0].id);
                         QCOMPARE(w.alertsShown.size(), size_t(1));
                         QCOMPARE(w.alertsShown[0].event, QStringLiteral("Flood Warning"));
                     }});
        r.push_back({"an unchanged list is asked with its validators; its 304 changes nothing",
                     {{0, AlertsReply("Moderate", "2026-12-06T12:00:00Z", "\"v1\"")}, {1, kNotModified}}, 3,
                     [](World &w, WindowLogic &logic) {
                         QCOMPARE(logic.View().warnings.text, QStringLiteral("Flood Warning"));
                         QCOMPARE(logic.View().warnings.icon, AlertIcon::Warning);
                         QCOMPARE(w.platform.notifications.size(), size_t(1));
                         QVERIFY(w.platform.alertRequests.last().headers.contains("If-None-Match: \"v1\""));
                     }});
        r.push_back({"an update that raises the severity replaces the notification",
                     {{0, AlertsReply("Moderate")}, {2, AlertsReply("Extreme")}}, 3, [](World &w, WindowLogic &) {
                         QCOMPARE(w.platform.notifications.size(), size_t(2));
                         QCOMPARE(w.platform.notifications[1].replacesId, w.platform.notifications[0].id);
                         QCOMPARE(int(w.platform.notifications[1].urgency), 2);
                     }});
        r.push_back({"the event ends: out of the strip and its notification closed, with no reply",
                     {{0, AlertsReply("Severe", "2026-12-06T10:02:00Z")}, {1, kOffline}}, 3,
                     [](World &w, WindowLogic &logic) {
                         QCOMPARE(logic.View().warnings.text, QString());
                         QCOMPARE(w.platform.closedNotifications, QList<uint>{w.platform.notifications.at(0).id});
                     }});
        r.push_back({"a restart: the kept alerts show until their end, the event is not told again",
                     {{0, AlertsReply("Severe")}}, 1, [](World &w, WindowLogic &) {
                         const size_t told = w.platform.notifications.size();
                         w.platform.onAlerts = [](const net::Request &) { return kOffline; };
                         WindowLogic again(w.platform, {}, {});
                         again.Load();
                         QCOMPARE(again.View().warnings.text, QStringLiteral("Flood Warning"));
                         QCOMPARE(w.platform.notifications.size(), told);
                         QCOMPARE(w.platform.adoptedNotifications, QList<uint>{w.platform.notifications.at(0).id});
                         w.platform.now = MakeDate(2026, 12, 6, 12, 1, 0);
                         WindowLogic later(w.platform, {}, {});
                         later.Load();
                         QCOMPARE(later.View().warnings.text, QString());
                     }});
        r.push_back({"ten minutes without a check that went through", {{0, kOffline}}, 10, [](World &w, WindowLogic &logic) {
                         QCOMPARE(logic.View().warnings.text, QStringLiteral("Warnings could not be checked since 10:00 AM"));
                         QVERIFY(logic.View().warnings.toolTip.contains(QStringLiteral("could not be found")));
                         QVERIFY(w.platform.messages.empty());
                     }});
        r.push_back({"a place outside the service's area: no strip, asked again after an hour",
                     {{0, kOutside}}, 61, [](World &w, WindowLogic &logic) {
                         QCOMPARE(logic.View().warnings.text, QString());
                         QCOMPARE(w.platform.alertRequests.size(), 2);
                     }});
        return r;
    }();
    return rows;
}

} // namespace

class WindowLogicTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startUpView_data()
    {
        QTest::addColumn<bool>("forecastUp");
        QTest::addColumn<bool>("almanacUp");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("almanacRow");
        QTest::newRow("both answer") << true << true << 11 << QStringLiteral("10:00 AM");
        QTest::newRow("sun/moon service down") << true << false << 11 << QStringLiteral("(not yet)");
        // Without a forecast the sun and moon still reach the window: the
        // text box's lines alone, the title without a temperature, the
        // full-moon and moonrise rows and the refresh times.
        QTest::newRow("forecast service down") << false << true << 4 << QStringLiteral("10:00 AM");
        QTest::newRow("both down") << false << false << 4 << QStringLiteral("(not yet)");
    }

    void startUpView()
    {
        QFETCH(bool, forecastUp);
        QFETCH(bool, almanacUp);
        QFETCH(int, rows);
        QFETCH(QString, almanacRow);
        World w;
        w.forecastUp = forecastUp;
        w.almanacUp = almanacUp;
        std::vector<WindowView> drawn;
        WindowLogic logic(w.platform, {}, [&](const WindowView &view, bool) { drawn.push_back(view); });
        logic.Load();

        const WindowView &view = logic.View();
        const FormState &state = logic.State();
        QCOMPARE(drawn.back(), view);
        QVERIFY(view.shown && view.columns && view.timerOn);
        QCOMPARE(int(view.rows.size()), rows);
        // The sun and moon are never blank: fetched, or computed and marked.
        QVERIFY(view.icon >= 1 && view.icon <= 8);
        QCOMPARE(state.AlmanacText.endsWith(QStringLiteral("(computed)\r\n")), !almanacUp);
        QVERIFY(view.text1.startsWith(state.AlmanacText));
        QCOMPARE(view.text1 == state.AlmanacText, !forecastUp);
        QVERIFY(view.title.endsWith(state.AlmanacTitle));
        QCOMPARE(view.title == state.AlmanacTitle, !forecastUp);
        QCOMPARE(view.rows[size_t(rows) - 2].text, almanacRow);
        QCOMPARE(view.rows[size_t(rows) - 3].subItems.value(3),
                 QStringLiteral("Moonrise tomorrow ") + state.MoonriseTomorrowText);
        QCOMPARE(w.platform.openFailures.size(), size_t(forecastUp ? 0 : 1));
    }

    // The pointer is busy during every download and put back when the
    // refresh ends, however it ends, and before a failure's message.
    // The service's alerts, checked at start-up and on every tick: the strip,
    // one notification per event, the polite 304, the end of an event, a
    // service away for 10 minutes and a place outside its area.
    void alerts_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(AlertsRows().size()); ++i)
            QTest::newRow(AlertsRows()[size_t(i)].name) << i;
    }

    void alerts()
    {
        QFETCH(int, row);
        const AlertsRow &r = AlertsRows()[size_t(row)];
        World w;
        net::Fetched answer = r.answers.count(0) ? r.answers.at(0) : net::Fetched{};
        w.platform.onAlerts = [&](const net::Request &) { return answer; };
        WindowLogic logic(w.platform, {}, {});
        logic.SetWindows([&](const Alert &alert) { w.alertsShown.push_back(alert); }, {});
        logic.Load();
        for (int minute = 1; minute <= r.minutes; ++minute) {
            if (r.answers.count(minute))
                answer = r.answers.at(minute);
            w.platform.now = MakeDate(2026, 12, 6, 10, minute, 0);
            logic.Tick();
        }
        r.check(w, logic);
    }

    // The hours are fetched only while their window is open: when it opens
    // and with every forecast refresh; the page first, the API's hourly
    // forecast when the page gives none; kept hours shown at once offline.
    void hours_data()
    {
        QTest::addColumn<bool>("pageUp");
        QTest::addColumn<int>("closeAt");   // minutes after 10:00 the window closes
        QTest::addColumn<int>("asked");     // hourly requests in all, by 11:10
        QTest::newRow("the page's hours, refreshed with the forecast while open") << true << 50 << 2;
        QTest::newRow("closed at 10:20: not again") << true << 20 << 1;
        QTest::newRow("an empty page: the JSON API's hours, in °F") << false << 50 << 2;
    }

    void hours()
    {
        QFETCH(bool, pageUp);
        QFETCH(int, closeAt);
        QFETCH(int, asked);
        World w;
        w.platform.onDownload = [&, serve = w.platform.onDownload](const QString &url) {
            return url.contains(QStringLiteral("digitalDWML")) ? (pageUp ? DigitalHours() : QString()) : serve(url);
        };
        w.platform.onApi = [](const QString &url) { return ApiHours(url); };
        std::vector<HourlyContent> shown;
        std::optional<QDateTime> scrolledTo;
        WindowLogic logic(w.platform, {}, {});
        logic.SetWindows({}, [&](const HourlyContent &content, const std::optional<QDateTime> &to) {
            shown.push_back(content);
            scrolledTo = to;
        });
        logic.Load();
        // Each fetch of the hours asks the page first.
        const auto hourly = [&] { return w.platform.downloads.filter(QStringLiteral("digitalDWML")).size(); };
        QCOMPARE(hourly(), 0);   // never at start-up
        w.platform.now = MakeDate(2026, 12, 6, 10, 5, 0);
        logic.HoursClicked();
        for (int minute = 6; minute <= 70; ++minute) {
            if (minute == closeAt)
                logic.HoursClosed();
            w.platform.now = MakeDate(2026, 12, 6, 10 + minute / 60, minute % 60, 0);
            logic.Tick();
        }
        QCOMPARE(hourly(), asked);
        QVERIFY(!shown.empty() && !shown.back().forecast.hours.empty());
        QCOMPARE(shown.back().forecast.hours.front().temperature, std::optional<double>(50));
        QCOMPARE(shown.back().forecast.source, pageUp ? HourlySource::Page : HourlySource::Api);
        // A forecast row opens the hours at its period: this reply's first row is tonight.
        logic.HoursClicked(0);
        QCOMPARE(scrolledTo, std::optional<QDateTime>(QDateTime(QDate(2024, 1, 1), QTime(18, 0), QTimeZone(-7 * 3600))));

        // Offline, the kept hours show at once, with when they were fetched.
        w.platform.onDownload = [](const QString &) { return QString(); };
        w.platform.onApi = nullptr;
        shown.clear();
        WindowLogic offline(w.platform, {}, {});
        offline.SetWindows({}, [&](const HourlyContent &content, const std::optional<QDateTime> &) { shown.push_back(content); });
        offline.Load();
        offline.HoursClicked();
        QVERIFY(!shown.empty() && shown.front().kept && !shown.front().forecast.hours.empty());
        QCOMPARE(shown.front().forecast.hours.front().temperature, std::optional<double>(50));
    }

    void busyWhileWaiting_data()
    {
        QTest::addColumn<bool>("servicesUp");
        QTest::addColumn<int>("raise");   // 0: none; 1: the program's run-time error; 2: anything else
        QTest::newRow("a start-up that goes through") << true << 0;
        QTest::newRow("every download empty") << false << 0;
        QTest::newRow("a download raises the run-time error") << true << 1;
        QTest::newRow("a download raises something else") << true << 2;
    }

    void busyWhileWaiting()
    {
        QFETCH(bool, servicesUp);
        QFETCH(int, raise);
        World w;
        w.forecastUp = w.almanacUp = servicesUp;
        if (raise == 1)
            w.raise = [] { throw RuntimeError(QStringLiteral("the connection broke")); };
        else if (raise == 2)
            w.raise = [] { throw 42; };
        WindowLogic logic(w.platform, {}, {});
        if (raise == 2)
            QVERIFY_THROWS_EXCEPTION(int, logic.Load());
        else
            logic.Load();
        QVERIFY(!w.busyAtDownload.isEmpty());
        QVERIFY(!w.busyAtDownload.contains(0));
        QVERIFY(!w.busyAtMessage.contains(1));
        QCOMPARE(w.platform.busy, 0);
        QVERIFY(!logic.Busy());
    }
};

QTEST_GUILESS_MAIN(WindowLogicTest)
#include "tst_window_logic.moc"
