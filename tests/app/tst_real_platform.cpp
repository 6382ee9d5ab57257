// The running program's platform: the editor start, with a stand-in
// xdg-open first on the PATH (what it answers, whenever it answers, decides
// whether the window reports a failure), and the waits that closing the
// window must end.
#include "app/Form1.h"
#include "app/RealPlatform.h"
#include "startup/StartupFiles.h"
#include "support/TestFiles.h"
#include "support/TestServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// The real platform with the test's folder and clock.
class FolderPlatform : public RealPlatform {
public:
    QTemporaryDir dir;
    DateValue now = MakeDate(2026, 12, 6, 10, 0, 0);
    DateValue Now() override { return now; }
    QString ProgramDirectory() override { return dir.path(); }
    QString UserCacheDirectory() override { return dir.path() + QStringLiteral("/cache"); }
};

// A message box that should never have shown is closed after a while, so
// the test fails instead of waiting for a click forever.
class StrayBoxGuard {
public:
    explicit StrayBoxGuard(int ms)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                closedOne = true;
                box->close();
            }
        });
        timer_.start(ms);
    }
    bool closedOne = false;

private:
    QTimer timer_;
};

} // namespace

class RealPlatformTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QByteArray savedPath_;

    // Puts an xdg-open running `body` (a /bin/sh script) first on the PATH.
    void StandIn(const QByteArray &body)
    {
        const QString script = dir_.filePath("bin/xdg-open");
        testsupport::WriteFile(script, "#!/bin/sh\n" + body + "\n");
        QVERIFY(QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath("bin"));
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", dir_.filePath("bin").toLocal8Bit() + ":" + savedPath_);
    }

    void cleanupTestCase() { qputenv("PATH", savedPath_); }

    void answerDecides()
    {
        RealPlatform platform;
        const QString received = dir_.filePath("received");
        // The path goes as one argument, untouched by any shell.
        const QString path = dir_.filePath("my place; $(touch injected) 'x'.txt");

        StandIn("printf '%s' \"$1\" > '" + received.toLocal8Bit() + "'\nexit 0");
        QVERIFY(platform.OpenInEditor(path));
        QCOMPARE(QString::fromLocal8Bit(testsupport::ReadFile(received)), path);
        QVERIFY(!QFile::exists(dir_.filePath("injected")));
        QVERIFY(!QFile::exists("injected"));

        // "no method available for opening": the desktop has no editor.
        StandIn("exit 3");
        QVERIFY(!platform.OpenInEditor(path));
        StandIn("kill -9 $$");
        QVERIFY(!platform.OpenInEditor(path));

        // A warning's page goes to the browser the same way, as one argument.
        const QString page = QStringLiteral("https://forecast.weather.gov/a?x=1&y=$(touch injected)");
        StandIn("printf '%s' \"$1\" > '" + received.toLocal8Bit() + "'\nexit 0");
        QVERIFY(platform.OpenUrl(page));
        QCOMPARE(QString::fromLocal8Bit(testsupport::ReadFile(received)), page);
        QVERIFY(!QFile::exists("injected"));
        StandIn("exit 3");
        QVERIFY(!platform.OpenUrl(page));
    }

    void editorFailingLaterIsReported()
    {
        // The opener fails only after its first answer time: the waiting
        // message closes then, and says so.
        RealPlatform platform;
        StandIn("sleep 2; exit 3");
        QVERIFY(platform.OpenInEditor(dir_.filePath("settings.txt")));
        StrayBoxGuard guard(8000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!platform.ShowMessageWhileEditing(QStringLiteral("Your new location will be updated.")));
        QVERIFY(!guard.closedOne);
        QVERIFY(clock.elapsed() < 3000);
    }

    void closingEndsEveryWait_data()
    {
        QTest::addColumn<bool>("inPause");
        QTest::newRow("while a download waits") << false;
        QTest::newRow("in the pause between the refreshes") << true;
    }

    void closingEndsEveryWait()
    {
        QFETCH(bool, inPause);
        // A host that answers nothing keeps a download waiting up to its
        // bounds; one that answers at once leaves the pause as the wait.
        testsupport::TestServer host;
        testsupport::Response silent = testsupport::Response::ok("late");
        silent.stall = testsupport::Response::Stall::BeforeHeaders;
        host.route("/MapClick.php", silent);
        host.route("/api/rstt/oneday", inPause ? testsupport::Response::ok("{}") : silent);
        QVERIFY(host.start());
        FolderPlatform platform;
        testsupport::WriteFile(platform.dir.filePath(kSettingsFileName), "1,2,3\r\n");
        testsupport::WriteFile(platform.dir.filePath(kFullMoonFileName), "Full moons\r\n");

        Form1 window(platform, {host.baseUrl(), host.baseUrl()});
        StrayBoxGuard guard(8000);
        QElapsedTimer clock;
        if (inPause) {
            // Never refreshed: the first tick runs both refreshes.
            window.show();
            QTimer::singleShot(300, &window, &QWidget::close);
            clock.start();
            window.Timer1_Timer();
        } else {
            QTimer::singleShot(300, &window, &QWidget::close);
            clock.start();
            window.Form_Load();
        }
        QVERIFY2(clock.elapsed() < 1300, QByteArray::number(clock.elapsed()).constData());
        QVERIFY(!window.isVisible());
        QVERIFY(!guard.closedOne);
        QVERIFY(!window.Busy());
    }

    // Closing the window while Location waits, for the editor's answer or
    // on its message, ends the program's work there: the window never comes
    // back and nothing is fetched.
    void closingDuringLocationEndsIt_data()
    {
        QTest::addColumn<int>("closeAtMs");
        QTest::newRow("while the editor opens") << 500;
        QTest::newRow("on the new-location message") << 2000;
    }

    void closingDuringLocationEndsIt()
    {
        QFETCH(int, closeAtMs);
        StandIn("sleep 3");
        testsupport::TestServer host;
        QVERIFY(host.start());
        FolderPlatform platform;
        testsupport::WriteFile(platform.dir.filePath(kSettingsFileName), "1,2,3\r\n");
        testsupport::WriteFile(platform.dir.filePath(kFullMoonFileName), "Full moons\r\n");
        Form1 window(platform, {host.baseUrl(), host.baseUrl()});
        window.show();
        QTimer::singleShot(closeAtMs, &window, &QWidget::close);
        QElapsedTimer clock;
        clock.start();
        window.Location_Click();
        QVERIFY2(clock.elapsed() < closeAtMs + 1000, QByteArray::number(clock.elapsed()).constData());
        QTest::qWait(100);
        QVERIFY(!window.isVisible());
        QCOMPARE(host.requestCount(), 0);
        QTest::qWait(3500 - closeAtMs);   // the stand-in editor ends
    }

    // A refresh's failure box waits for no one: the ticks behind it go on
    // refreshing, a newer failure rewrites the one box, and a success closes it.
    void failureBoxLetsTheTimerRun()
    {
        testsupport::TestServer host;
        host.route("/MapClick.php", testsupport::Response::withStatus(503, "<html>Busy</html>"));
        host.route("/api/rstt/oneday", testsupport::Response::ok(testsupport::SuiteFile("almanac/waxing-crescent-reply.json")));
        QVERIFY(host.start());
        FolderPlatform platform;
        testsupport::WriteFile(platform.dir.filePath(kSettingsFileName), "1,2,3\r\n");
        testsupport::WriteFile(platform.dir.filePath(kFullMoonFileName), "Full moons\r\n");
        Form1 window(platform, {host.baseUrl(), host.baseUrl()});
        StrayBoxGuard guard(8000);
        window.Form_Load();
        QMessageBox *box = platform.FailureBox(Service::Forecast);
        QVERIFY(box && box->isVisible() && !box->isModal());
        QVERIFY(box->text().contains(QStringLiteral("HTTP 503")));

        host.route("/MapClick.php", testsupport::Response::withStatus(500, "<html>Broken</html>"));
        platform.now = MakeDate(2026, 12, 6, 10, 1, 0);
        window.Timer1_Timer();
        QCOMPARE(host.requestCount(), 3);
        QCOMPARE(platform.FailureBox(Service::Forecast), box);
        QVERIFY(box->text().contains(QStringLiteral("HTTP 500")));

        host.route("/MapClick.php", testsupport::Response::ok(testsupport::SuiteFile("forecast/replies/night-first-short.xml")));
        platform.now = MakeDate(2026, 12, 6, 10, 3, 0);
        window.Timer1_Timer();
        QTRY_VERIFY(!platform.FailureBox(Service::Forecast));
        QCOMPARE(window.lvwEmployees->topLevelItemCount(), 11);
        QVERIFY(!guard.closedOne);
    }

    void editorRunningInsideCounts()
    {
        // On a desktop that xdg-open does not know, it runs the editor itself
        // and waits for it: still running means the editor is up, and the
        // window goes on without waiting for the editor to close.
        RealPlatform platform;
        StandIn("sleep 4");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(platform.OpenInEditor(dir_.filePath("settings.txt")));
        QVERIFY(clock.elapsed() < 3500);
        // Once the stand-in ends, the program lets go of it (the leak check
        // of the sanitizer build would see it otherwise).
        QTest::qWait(4500);
    }
};

QTEST_MAIN(RealPlatformTest)
#include "tst_real_platform.moc"
