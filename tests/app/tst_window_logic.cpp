// The window's logic on its own, with no window and no screen: what it
// decides to show after a start-up, as plain data.
#include "TestPlatform.h"
#include "support/TestFiles.h"

#include "app/WindowLogic.h"

#include <QtTest>

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
        QTest::newRow("forecast service down") << false << true << 0 << QString();
    }

    void startUpView()
    {
        QFETCH(bool, forecastUp);
        QFETCH(bool, almanacUp);
        QFETCH(int, rows);
        QFETCH(QString, almanacRow);
        TestPlatform platform;
        testsupport::WriteFile(platform.FilePath(kSettingsFileName), "35.9656,-114.836,tz=-8\r\n");
        testsupport::WriteFile(platform.FilePath(kFullMoonFileName), "Full moons\r\n2026-12-23 17:28\r\n");
        platform.onDownload = [&](const QString &url) {
            const bool forecast = url.contains(QStringLiteral("MapClick"));
            if (!(forecast ? forecastUp : almanacUp))
                return QString();
            return QString::fromLatin1(testsupport::SuiteFile(
                QString::fromLatin1(forecast ? "forecast/replies/night-first-short.xml" : "almanac/waxing-crescent-reply.json")));
        };
        std::vector<WindowView> drawn;
        WindowLogic logic(platform, {}, [&](const WindowView &view, bool) { drawn.push_back(view); });
        logic.Load();

        const WindowView &view = logic.View();
        QCOMPARE(drawn.back(), view);
        QVERIFY(view.shown && view.columns && view.timerOn);
        QCOMPARE(int(view.rows.size()), rows);
        // The sun and moon are never blank: fetched, or computed and marked.
        QVERIFY(view.icon >= 1 && view.icon <= 8);
        QCOMPARE(logic.State().AlmanacText.endsWith(QStringLiteral("(computed)\r\n")), !almanacUp);
        QCOMPARE(view.text1.startsWith(logic.State().AlmanacText), forecastUp);
        QCOMPARE(view.title.endsWith(logic.State().AlmanacTitle), forecastUp);
        if (rows > 0)
            QCOMPARE(view.rows[9].text, almanacRow);
        QCOMPARE(platform.openFailures.size(), size_t(forecastUp ? 0 : 1));
    }
};

QTEST_GUILESS_MAIN(WindowLogicTest)
#include "tst_window_logic.moc"
