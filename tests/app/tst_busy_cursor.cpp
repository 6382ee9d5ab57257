// The wait cursor while a refresh waits on the network: shown during every
// download, put back when the refresh ends, on success, on failure, when a
// download raises, and before the "no forecast" message box.
#include "TestPlatform.h"
#include "support/TestFiles.h"

#include "app/Form1.h"
#include "startup/StartupFiles.h"
#include "common/RuntimeError.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

// What the pointer is at one moment: the override cursor's shape, or -1
// when no override cursor is set.
int CursorNow()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? static_cast<int>(cursor->shape()) : -1;
}

constexpr int kWait = static_cast<int>(Qt::WaitCursor);
constexpr int kNone = -1;

// One of the suite's hand-made replies, as the download gives it.
QString OwnReply(const char *relative)
{
    return QString::fromLatin1(testsupport::SuiteFile(QString::fromLatin1(relative)));
}

struct World {
    TestPlatform platform;
    std::unique_ptr<Form1> form;
    QString forecastReply;
    QString almanacReply;
    std::function<void()> raise;     // run inside a download, e.g. to throw
    QList<int> cursorAtDownload;
    QList<int> cursorAtMessage;

    World()
    {
        testsupport::WriteFile(platform.FilePath(kSettingsFileName), "35.9656,-114.836,tz=-8,auto update=true\r\n");
        testsupport::WriteFile(platform.FilePath(kFullMoonFileName), "Full moons\r\n2026-12-23 17:28\r\n");
        platform.onDownload = [this](const QString &url) {
            cursorAtDownload << CursorNow();
            if (raise)
                raise();
            return url.contains(QStringLiteral("MapClick.php")) ? forecastReply : almanacReply;
        };
        platform.onMessage = [this](const QString &) { cursorAtMessage << CursorNow(); };
        form = std::make_unique<Form1>(platform);
    }
};

} // namespace

class BusyCursorTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QCOMPARE(CursorNow(), kNone); }
    void cleanup()
    {
        // Leave nothing behind for the next case, whatever failed.
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    void waitCursorDuringEveryDownloadOfASuccessfulStartUp()
    {
        World w;
        w.forecastReply = OwnReply("forecast/replies/night-first-short.xml");
        w.almanacReply = OwnReply("almanac/waxing-crescent-reply.json");
        w.form->Form_Load();

        QVERIFY(w.platform.messages.empty());
        // Sun and moon, forecast, tomorrow's moonrise.
        QCOMPARE(w.cursorAtDownload, (QList<int>{kWait, kWait, kWait}));
        QVERIFY(!w.form->Label1->text().isEmpty());
        QVERIFY(w.form->lvwEmployees->topLevelItemCount() > 0);
        QCOMPARE(CursorNow(), kNone);

        // A later click and a timer refresh behave alike.
        w.cursorAtDownload.clear();
        w.form->Update_Click();
        w.platform.now += 0.5;
        w.form->Timer1_Timer();
        QVERIFY(w.cursorAtDownload.size() >= 4);
        for (int shape : w.cursorAtDownload)
            QCOMPARE(shape, kWait);
        QCOMPARE(CursorNow(), kNone);
    }

    void failedDownloadsPutTheCursorBack()
    {
        World w; // every reply empty: nothing could be fetched
        w.form->Form_Load();
        QVERIFY(!w.cursorAtDownload.isEmpty());
        for (int shape : w.cursorAtDownload)
            QCOMPARE(shape, kWait);
        QCOMPARE(CursorNow(), kNone);

        w.form->Update_Click();
        QCOMPARE(CursorNow(), kNone);
    }

    void downloadsThatRaisePutTheCursorBack()
    {
        World w;
        // A download never raises: a failure that did would pass through
        // the refreshes, and still the cursor is put back on the way out.
        w.raise = [] { throw RuntimeError(QStringLiteral("the connection broke")); };
        w.form->Form_Load();
        QVERIFY(!w.cursorAtDownload.isEmpty());
        QCOMPARE(CursorNow(), kNone);
        w.raise = [] { throw 42; };
        QVERIFY_THROWS_EXCEPTION(int, w.form->RefreshForecast());
        QCOMPARE(CursorNow(), kNone);
        QVERIFY_THROWS_EXCEPTION(int, w.form->RefreshAlmanac());
        QCOMPARE(CursorNow(), kNone);
        QVERIFY_THROWS_EXCEPTION(int, w.form->FetchTomorrowMoonrise());
        QCOMPARE(CursorNow(), kNone);
    }

    void noForecastMessageShowsTheNormalCursor()
    {
        World w;
        w.forecastReply = QStringLiteral("<dwml><data type=\"forecast\"/></dwml>");
        w.almanacReply = OwnReply("almanac/waxing-crescent-reply.json");
        w.form->Form_Load();

        QCOMPARE(w.platform.messages.size(), size_t(1));
        QCOMPARE(w.platform.messages[0].text, kNoForecastMessage + kApiOffline);
        QCOMPARE(w.cursorAtMessage, QList<int>{kNone});
        QCOMPARE(CursorNow(), kNone);
    }

    void restoresOnlyWhatItSet()
    {
        // A cursor someone else set stays once the refresh is over, also
        // on the early "no forecast" return.
        World w;
        w.forecastReply = QStringLiteral("<dwml/>");
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);
        w.form->RefreshForecast();
        QCOMPARE(w.cursorAtDownload, QList<int>{kWait});
        QCOMPARE(w.cursorAtMessage, QList<int>{static_cast<int>(Qt::CrossCursor)});
        QCOMPARE(CursorNow(), static_cast<int>(Qt::CrossCursor));
        w.form->RefreshAlmanac();
        QCOMPARE(CursorNow(), static_cast<int>(Qt::CrossCursor));
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(CursorNow(), kNone);
    }
};

QTEST_MAIN(BusyCursorTest)
#include "tst_busy_cursor.moc"
