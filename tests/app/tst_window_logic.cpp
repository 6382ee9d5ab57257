// The window's logic on its own, with no window and no screen: what it
// decides to show after a start-up, as plain data, and the busy pointer
// around every wait on the network.
#include "TestPlatform.h"
#include "support/TestFiles.h"

#include "app/WindowLogic.h"
#include "common/RuntimeError.h"

#include <QtTest>

namespace {

struct World {
    TestPlatform platform;
    bool forecastUp = true;
    bool almanacUp = true;
    std::function<void()> raise;   // run inside a download, e.g. to throw
    QList<int> busyAtDownload;
    QList<int> busyAtMessage;

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
