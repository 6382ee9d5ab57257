// The whole program end to end: the real window and the real download
// routine against two loopback HTTPS servers that answer with recorded
// replies of both services. Start-up, Update, a Location round and the timer
// under a clock that the test moves; what the window must show comes from the
// records of the replies.
#include "E2EWorld.h"

#include "cache/ReplyCache.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

using namespace e2e;
using namespace recorded;

Q_DECLARE_METATYPE(const recorded::Almanac *)

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    // The scenario's steps, one world from the first to the last.

    // Start-up on 6 December 2026 at 10:00.
    void StartUp(World &w)
    {
        w.WriteSettings(kSettings);
        w.WriteTable(kTable);
        w.ServeForecast(Reply(kLaMesaApril));
        w.ServeAlmanac({{"2026-12-06", Reply(kReykjavik)}, {"2026-12-07", Reply(kSvalbard)}});
        w.Start();
        QVERIFY(w.platform.messages.empty());
        QVERIFY(!w.form->Busy());
        QVERIFY(w.form->Timer1->isActive());
        CheckWindow(*w.form, kLaMesaApril, Shown(kReykjavik), kSvalbard.moonrise, {"10:00 AM", "10:00 AM"});

        // Sun and moon first, then the forecast, then tomorrow's moonrise;
        // the spaces of the queries reach the hosts as %20.
        QCOMPARE(World::Targets(w.almanacHost),
                 (QList<QByteArray>{AlmanacTarget("2026-12-06"), AlmanacTarget("2026-12-07")}));
        QCOMPARE(World::Targets(w.forecastHost), QList<QByteArray>{kForecastTarget});
        QCOMPARE(w.platform.downloads,
                 (QStringList{w.origins.almanac + QStringLiteral("/api/rstt/oneday?date=2026-12-06 &coords=35.9656, "
                                                                 "-114.836&auto update=true &dst=true"),
                              w.origins.forecast + QString::fromLatin1(kForecastTarget),
                              w.origins.almanac + QStringLiteral("/api/rstt/oneday?date=2026-12-07 &coords=35.9656, "
                                                                 "-114.836&auto update=true &dst=true")}));
        for (const testsupport::TestServer *host : {&w.forecastHost, &w.almanacHost}) {
            for (const testsupport::Request &request : host->requests()) {
                QCOMPARE(request.requestLine, "GET " + request.target + " HTTP/1.1");
                QCOMPARE(request.header("User-Agent"), kUserAgent);
                QVERIFY(request.tls);
            }
        }
    }

    // Update at 10:05: the forecast and tomorrow's moonrise only.
    void UpdateClick(World &w)
    {
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.platform.now = MakeDate(2026, 12, 6, 10, 5, 0);
        w.form->Update_Click();
        QCOMPARE(World::Targets(w.forecastHost), QList<QByteArray>{kForecastTarget});
        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{AlmanacTarget("2026-12-07")});
        CheckWindow(*w.form, kLaMesaApril, Shown(kReykjavik), kSvalbard.moonrise, {"10:00 AM", "10:05 AM"});
    }

    // Ticks through the day: each refresh when its count of boundaries is due.
    void TicksToSixPm(World &w)
    {
        // 29 minute starts after the Update nothing is due.
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.platform.now = MakeDate(2026, 12, 6, 10, 34, 59);
        w.form->Timer1_Timer();
        QCOMPARE(w.forecastHost.requestCount() + w.almanacHost.requestCount(), 0);

        // The thirtieth: the forecast again.
        w.platform.now = MakeDate(2026, 12, 6, 10, 35, 0);
        w.form->Timer1_Timer();
        QCOMPARE(World::Targets(w.forecastHost), QList<QByteArray>{kForecastTarget});
        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{AlmanacTarget("2026-12-07")});
        QCOMPARE(WithoutStaleMark(w.form->lvwEmployees->topLevelItem(10)->text(0)), QStringLiteral("10:35 AM"));

        // 17:59 is seven hour starts after 10:00: the forecast, not the sun and moon.
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.platform.now = MakeDate(2026, 12, 6, 17, 59, 0);
        w.form->Timer1_Timer();
        QCOMPARE(w.forecastHost.requestCount(), 1);
        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{AlmanacTarget("2026-12-07")});
        QVERIFY(!w.platform.events.contains(QStringLiteral("pause 5000")));

        // 18:00, the eighth: the sun and moon alone (the forecast is a minute
        // old). The new values show at once, with the picture.
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.ServeAlmanac({{"2026-12-06", Reply(kSvalbard)}, {"2026-12-07", Reply(kSvalbard)}});
        w.platform.now = MakeDate(2026, 12, 6, 18, 0, 0);
        w.form->Timer1_Timer();
        QCOMPARE(World::Targets(w.almanacHost), QList<QByteArray>{AlmanacTarget("2026-12-06")});
        QCOMPARE(w.forecastHost.requestCount(), 0);
        QCOMPARE(w.platform.events.last(), QStringLiteral("pause 5000"));
        QCOMPARE(w.form->State().AlmanacText, AlmanacText(kSvalbard));
        CheckWindow(*w.form, kLaMesaApril, Shown(kSvalbard), kSvalbard.moonrise, {"06:00 PM", "05:59 PM"});
    }

    // Just after midnight: a new day, both refreshes, sun and moon first.
    void AfterMidnight(World &w)
    {
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.ServeAlmanac({{"2026-12-07", Reply(kMayapur)}, {"2026-12-08", Reply(kVrindavan)}});
        w.platform.events.clear();
        w.platform.now = MakeDate(2026, 12, 7, 0, 0, 30);
        w.form->Timer1_Timer();
        QCOMPARE(World::Targets(w.almanacHost),
                 (QList<QByteArray>{AlmanacTarget("2026-12-07"), AlmanacTarget("2026-12-08")}));
        QCOMPARE(w.forecastHost.requestCount(), 1);
        QCOMPARE(w.platform.events.size(), 4);
        QVERIFY(w.platform.events[0].contains(QStringLiteral("date=2026-12-07")));
        QCOMPARE(w.platform.events[1], QStringLiteral("pause 5000"));
        QVERIFY(w.platform.events[2].contains(QStringLiteral("MapClick.php")));
        QVERIFY(w.platform.events[3].contains(QStringLiteral("date=2026-12-08")));
        CheckWindow(*w.form, kLaMesaApril, Shown(kMayapur), kVrindavan.moonrise, {"12:00 AM", "12:00 AM"});
    }

    // Location at 9:00 with the settings file gone: the default file is
    // written, the editor moves the place to San Carlos, and every query of
    // the new start-up carries the new coordinates.
    void LocationToSanCarlos(World &w)
    {
        QVERIFY(QFile::remove(w.SettingsPath()));
        w.forecastHost.clearRecords();
        w.almanacHost.clearRecords();
        w.ServeForecast(Reply(kSanCarlos));
        w.ServeAlmanac({{"2026-12-07", Reply(kVrindavan)}, {"2026-12-08", Reply(kReykjavik)}});
        QByteArray defaultContent;
        w.platform.onEditor = [&](const QString &path) {
            defaultContent = ReadFile(path);
            WriteFile(path, "37.4636,-122.2275, tz=-7 \r\nSan Carlos\r\n");
        };
        w.platform.events.clear();
        w.platform.now = MakeDate(2026, 12, 7, 9, 0, 0);
        w.form->Location_Click();
        QCOMPARE(defaultContent, QByteArray("35.9656,-114.836, auto update=true\r\nBoulder"));
        QCOMPARE(w.platform.editorOpened.last(), w.SettingsPath());
        QCOMPARE(w.platform.events.at(0), QStringLiteral("editor ") + w.SettingsPath());
        QCOMPARE(w.platform.events.at(1), QStringLiteral("message Your new location will be updated."));
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QCOMPARE(w.platform.messages.back().title, QString());

        const QByteArray place = "%20&coords=37.4636,%20-122.2275&tz=-7%20&dst=true";
        QCOMPARE(World::Targets(w.almanacHost),
                 (QList<QByteArray>{"/api/rstt/oneday?date=2026-12-07" + place,
                                    "/api/rstt/oneday?date=2026-12-08" + place}));
        QCOMPARE(World::Targets(w.forecastHost),
                 QList<QByteArray>{"/MapClick.php?lat=37.4636&lon=-122.2275&unit=0&lg=english&FcstType=dwml"});
        for (const testsupport::Request &request : w.forecastHost.requests() + w.almanacHost.requests())
            QCOMPARE(request.header("User-Agent"), kUserAgent);
        // Five columns, never ten, and the rows of the new place only.
        QCOMPARE(w.form->lvwEmployees->columnCount(), 5);
        CheckWindow(*w.form, kSanCarlos, Shown(kVrindavan), kReykjavik.moonrise, {"09:00 AM", "09:00 AM"});
        QCOMPARE(w.form->State().Latitude, QStringLiteral("37.4636"));
        QCOMPARE(w.form->State().QueryExtra, QStringLiteral("tz=-7"));

        // The files beside the program: the table untouched, the settings as
        // the editor left them, nothing else.
        const auto files = Snapshot(w.Dir());
        QCOMPARE(files.size(), size_t(2));
        QCOMPARE(ReadFile(w.TablePath()), kTable);
        QCOMPARE(ReadFile(w.SettingsPath()), QByteArray("37.4636,-122.2275, tz=-7 \r\nSan Carlos\r\n"));
    }

private slots:
    void initTestCase() { recorded::StartTestCase(); }

    void startUpUpdateTimerAndLocation()
    {
        World w;
        for (const auto step : {&EndToEndTest::StartUp, &EndToEndTest::UpdateClick, &EndToEndTest::TicksToSixPm,
                                &EndToEndTest::AfterMidnight, &EndToEndTest::LocationToSanCarlos}) {
            (this->*step)(w);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // The timer switched off by the settings: the list ends in "(auto off)",
    // and Update still fetches the forecast.
    void autoOffAcrossTheNetwork()
    {
        World w;
        w.WriteSettings("35.9656,-114.836, auto update=true,Auto Update=FALSE\r\n");
        w.WriteTable(kTable);
        w.ServeForecast(Reply(kSanCarlos));
        w.ServeAlmanac({{"2026-12-06", Reply(kMayapur)}, {"2026-12-07", Reply(kVrindavan)}});
        w.Start();
        QVERIFY(!w.form->Timer1->isActive());
        CheckWindow(*w.form, kSanCarlos, Shown(kMayapur), kVrindavan.moonrise, {"(auto off)"});
        QCOMPARE(w.forecastHost.requestCount(), 1);

        w.platform.now = MakeDate(2026, 12, 6, 11, 0, 0);
        w.form->Update_Click();
        QCOMPARE(w.forecastHost.requestCount(), 2);
        QCOMPARE(w.almanacHost.requestCount(), 3);
        QCOMPARE(w.form->lvwEmployees->topLevelItemCount(), 10);
    }

    // A start without network shows the last good replies that the run
    // before kept, when they are for this place and young enough; anything
    // else kept is passed over, and a cache that cannot be written costs
    // nothing else.
    void startFromTheKeptReplies_data()
    {
        QTest::addColumn<QDateTime>("restart");
        QTest::addColumn<QString>("damage");        // done to the kept files before the restart
        QTest::addColumn<QString>("forecastTime");  // the forecast's time row; empty: no forecast shown
        QTest::addColumn<bool>("almanacKept");      // today's observatory reply shown, else computed values
        const QDateTime hourLater(QDate(2026, 12, 6), QTime(11, 0));
        QTest::newRow("an hour later") << hourLater << QString() << QStringLiteral("10:00 AM") << true;
        QTest::newRow("the next morning") << QDateTime(QDate(2026, 12, 7), QTime(9, 0)) << QString()
                                          << QStringLiteral("Dec 6 10:00 AM") << false;
        QTest::newRow("48 hours and a minute later")
            << QDateTime(QDate(2026, 12, 8), QTime(10, 1)) << QString() << QString() << false;
        QTest::newRow("kept files cut short") << hourLater << QStringLiteral("truncate") << QString() << false;
        QTest::newRow("kept files replaced by links") << hourLater << QStringLiteral("link") << QString() << false;
        QTest::newRow("kept replies hostile") << hourLater << QStringLiteral("hostile") << QString() << false;
        QTest::newRow("kept for another place") << hourLater << QStringLiteral("place") << QString() << false;
        QTest::newRow("cache folder cannot be made") << hourLater << QStringLiteral("unwritable") << QString() << false;
        // A reply kept "later" than now is no fresh reply: the clock was set back.
        QTest::newRow("the clock set back 26 hours") << QDateTime(QDate(2026, 12, 5), QTime(8, 0)) << QString() << QString()
                                                    << false;
        QTest::newRow("kept fetch times 40 hours ahead") << hourLater << QStringLiteral("future") << QString() << false;
        // A run on a full disk keeps nothing new and spoils nothing kept.
        QTest::newRow("the next run on a full disk") << hourLater << QStringLiteral("full disk") << QStringLiteral("10:00 AM")
                                                     << true;
    }

    void startFromTheKeptReplies()
    {
        QFETCH(QDateTime, restart);
        QFETCH(QString, damage);
        QFETCH(QString, forecastTime);
        QFETCH(bool, almanacKept);
        QTemporaryDir home;
        const QString cache = home.filePath("selvorra");
        if (damage == QStringLiteral("unwritable"))
            WriteFile(cache, "not a folder");
        {
            World first;
            first.platform.cacheOverride = cache;
            StartUp(first);
        }
        const QStringList kept{"forecast", "almanac", "tomorrow"};
        for (const QString &name : kept) {
            const QString path = cache + QLatin1Char('/') + name;
            if (damage == QStringLiteral("truncate")) {
                QVERIFY(QFile::resize(path, QFileInfo(path).size() - 1));
            } else if (damage == QStringLiteral("future")) {
                QByteArray file = ReadFile(path);
                file.replace("fetched 2026-12-06T10:00", "fetched 2026-12-08T02:00");
                WriteFile(path, file);
            } else if (damage == QStringLiteral("link")) {
                QVERIFY(QFile::rename(path, home.filePath(name)));
                QVERIFY(QFile::link(home.filePath(name), path));
            }
        }
        if (damage == QStringLiteral("full disk")) {
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit low = saved;
            low.rlim_cur = 4096;   // the sun/moon replies fit, the forecast does not
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &low), 0);
            {
                World next;
                next.platform.cacheOverride = cache;
                StartUp(next);
            }
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        }
        if (damage == QStringLiteral("hostile")) {
            const QDateTime fetched(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC);
            const QString place = QStringLiteral("35.9656,-114.836,auto update=true");
            QVERIFY(StoreCachedReply(cache, "forecast", place, fetched, "<dwml>Daily Minimum <unclosed", 1 << 20));
            QVERIFY(StoreCachedReply(cache, "almanac", place + "|2026-12-06", fetched, "<html>503</html>", 1 << 20));
        }

        World w;
        w.platform.cacheOverride = cache;
        w.platform.now = DateFromQDateTime(restart);
        w.origins.forecast = World::RefusingOrigin();
        w.origins.almanac = World::RefusingOrigin();
        w.WriteSettings(damage == QStringLiteral("place") ? QByteArray("40.7831,-73.9712, auto update=true\r\n") : kSettings);
        w.WriteTable(kTable);
        w.Start();
        QCOMPARE(w.platform.messages.size(), size_t(1));
        QVERIFY(w.platform.messages[0].text.startsWith(QStringLiteral("The forecast could not be downloaded: ")));
        const QString almanac = w.form->State().AlmanacText;
        if (almanacKept)
            QCOMPARE(almanac, AlmanacText(kReykjavik));
        else
            QVERIFY2(almanac.endsWith(QStringLiteral(" visible (computed)\r\n")), qPrintable(almanac));
        if (forecastTime.isEmpty()) {
            // No forecast at all: the sun and moon alone, with the full-moon
            // and moonrise rows and the refresh times.
            QCOMPARE(w.form->Text1Text(), almanac);
            QCOMPARE(w.form->windowTitle(), w.form->State().AlmanacTitle);
            QCOMPARE(w.form->Label1->text(), QString());
            const QList<QStringList> rows = ListRows(w.form->lvwEmployees);
            QCOMPARE(rows.size(), 4);
            QCOMPARE(rows[0][4], QStringLiteral("Full Moon ") + kNextFullMoon);
            QVERIFY(rows[1][4].startsWith(QStringLiteral("Moonrise tomorrow ")));
            QCOMPARE(rows[3][0], QStringLiteral("(not yet)"));
            return;
        }
        const QList<QStringList> rows = ListRows(w.form->lvwEmployees);
        QCOMPARE(rows.mid(0, 7), kLaMesaApril.rows);
        QCOMPARE(rows.value(9).value(0), almanacKept ? QStringLiteral("10:00 AM") : QStringLiteral("(not yet)"));
        QCOMPARE(WithoutStaleMark(rows.value(10).value(0)), forecastTime);
        QCOMPARE(w.form->Text1Text(), almanac + Conditions(kLaMesaApril));
        QCOMPARE(w.form->windowTitle(), kLaMesaApril.temperature + kDeg + QStringLiteral("F") + w.form->State().AlmanacTitle);
    }

    // The observatory gone for the day: the window shows what it would have
    // answered, computed here and marked. Each row is a recorded reply's
    // place and date; the query's time zone is the reply's less the daylight
    // hour that dst=true adds on these US summer dates.
    void observatoryGoneComputedSky_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<const Almanac *>("recordedDay");
        QTest::newRow("Mayapur, waning crescent") << QByteArray("23.4242,88.3888,tz=4.5\r\n") << QDate(2026, 4, 14) << &kMayapur;
        QTest::newRow("Reykjavik, sunset after midnight")
            << QByteArray("64.1466,-21.9426,tz=-1\r\n") << QDate(2026, 6, 26) << &kReykjavik;
        QTest::newRow("Svalbard, polar day, two moonsets")
            << QByteArray("78.22,15.65,tz=0\r\n") << QDate(2026, 6, 21) << &kSvalbard;
        QTest::newRow("Vrindavan, full moon") << QByteArray("27.583333,77.7,tz=4.5\r\n") << QDate(2026, 6, 30) << &kVrindavan;
    }

    void observatoryGoneComputedSky()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QDate, date);
        QFETCH(const Almanac *, recordedDay);
        World w;
        w.platform.now = DateFromQt(date, QTime(10, 0));
        w.WriteSettings(settings);
        w.WriteTable("Full moons\r\n2026-12-23 17:28\r\n");
        w.ServeForecast(Reply(kLaMesaApril));
        // Only tomorrow's question is answered; today's gets the 404 page.
        w.ServeAlmanac({{date.addDays(1).toString(Qt::ISODate).toLatin1(), Reply(kSvalbard)}});
        w.Start();
        QVERIFY(w.platform.messages.empty());
        AlmanacShown computed = Shown(*recordedDay);
        computed.text.insert(computed.text.size() - 2, QStringLiteral(" (computed)"));
        computed.title += QStringLiteral(" (computed)");
        CheckWindow(*w.form, kLaMesaApril, computed, kSvalbard.moonrise, {"(not yet)", "10:00 AM"});
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_e2e_window.moc"
