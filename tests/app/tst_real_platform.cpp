// The running program's platform: the editor start, with a stand-in
// xdg-open first on the PATH (what it answers, whenever it answers, decides
// whether the window reports a failure), and the waits that closing the
// window must end.
#include "app/Form1.h"
#include "app/RealPlatform.h"
#include "app/ShownText.h"
#include "startup/StartupFiles.h"
#include "support/TestFiles.h"
#include "support/TestServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
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

// What a rich-text sink (a tooltip) draws of `tip`, and whether any of it
// is a link.
std::pair<QString, bool> Drawn(const QString &tip)
{
    QTextDocument document;
    document.setHtml(tip);
    bool link = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            link = link || it.fragment().charFormat().isAnchor();
    return {document.toPlainText(), link};
}

// A label or message box that shows `text` as the characters it is.
void CheckPlainLabel(const QLabel *label, const QString &text)
{
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(!(label->textInteractionFlags() & (Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard)));
    QCOMPARE(label->text(), text);
}

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

    // Text from a server reaches the screen as the characters it is, cut
    // where its place cuts it, in every widget that can show it: never
    // markup, never a link, never a shortcut mark.
    void serverTextIsPlain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("tags") << QStringLiteral("<b>Flood</b> Watch <font color=red size=6>now</font>");
        QTest::newRow("link") << QStringLiteral("Flood Watch <a href=\"https://evil.example/phish\">more</a>");
        QTest::newRow("entities") << QStringLiteral("Heat &amp; Smoke &lt;b&gt; &#x41; & more");
        QTest::newRow("script and title mark") << QStringLiteral("data:text/html,<script>alert(1)</script> [*]");
        QTest::newRow("1 MiB line") << QStringLiteral("<a href='x'>&amp;</a>").repeated(52429);
    }

    void serverTextIsPlain()
    {
        QFETCH(QString, text);
        const QString line = shown::Cut(text);
        FolderPlatform platform;
        Form1 window(platform);
        WindowView view;
        view.shown = true;
        view.title = text;
        view.label = text;
        view.text1 = text;
        view.columns = true;
        view.rows = {ListRow{text, {text, text, text, text}, text}, ListRow{text, {QStringLiteral(" ")}}};
        view.warnings = WarningsStrip{text, text, text, AlertIcon::Critical, {}, {Hazard{text, text}, Hazard{text, text}}};
        window.Draw(view);
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowHandle()->title(), line);
        CheckPlainLabel(window.Label1, line);
        QCOMPARE(window.Text1->toPlainText(), shown::Cut(text, shown::kBox));
        const QTreeWidgetItem *row = window.lvwEmployees->topLevelItem(0);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(row->text(c), line);
            QCOMPARE(Drawn(row->toolTip(c)), std::make_pair(line, false));
        }
        // The warnings strip: its caption shows every "&" as itself, and its
        // tooltip lists each headline.
        QCOMPARE(window.Warnings->text().replace(QStringLiteral("&&"), QStringLiteral("&")), line);
        QCOMPARE(Drawn(window.Warnings->toolTip()), std::make_pair(shown::Cut(text, shown::kBox), false));
        // The menu of several warnings names each as it is.
        QTimer::singleShot(200, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions())
                QCOMPARE(action->text().replace(QStringLiteral("&&"), QStringLiteral("&")), line);
            menu->close();
        });
        window.Warnings->click();
        // A cell cut short without a tip of its own shows its whole text.
        const QRect cell = window.lvwEmployees->visualRect(window.lvwEmployees->model()->index(1, 0));
        QHelpEvent help(QEvent::ToolTip, cell.center(), window.lvwEmployees->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(window.lvwEmployees->viewport(), &help);
        if (text.size() > 1)   // only a text wider than its cell has one
            QCOMPARE(Drawn(QToolTip::text()), std::make_pair(line, false));

        // Message boxes: the waiting one and a refresh's failure box.
        QTimer::singleShot(200, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            CheckPlainLabel(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")), shown::Cut(text, shown::kBox));
            box->close();
        });
        platform.ShowMessage(text, QString());
        platform.ShowFailure(Service::Forecast, text);
        CheckPlainLabel(platform.FailureBox(Service::Forecast)->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")),
                        shown::Cut(text, shown::kBox));
    }

    // The busy pointer nests, and puts back only what it set.
    void busyPointer()
    {
        RealPlatform platform;
        const auto shape = [] {
            const QCursor *cursor = QGuiApplication::overrideCursor();
            return cursor ? int(cursor->shape()) : -1;
        };
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);
        platform.SetBusy(true);
        platform.SetBusy(true);
        QCOMPARE(shape(), int(Qt::WaitCursor));
        platform.SetBusy(false);
        QCOMPARE(shape(), int(Qt::WaitCursor));
        platform.SetBusy(false);
        platform.SetBusy(false);
        QCOMPARE(shape(), int(Qt::CrossCursor));
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(shape(), -1);
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
