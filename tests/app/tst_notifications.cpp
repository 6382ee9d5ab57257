// The desktop notifications against a stand-in notification server on a
// private session bus: the exact Notify call, closing, the actions and no
// server at all. The alert window: every server text shown as written (cut
// to its bound), plain, its line breaks kept, with nothing to activate.

#include "alerts/AlertText.h"
#include "app/AlertWindow.h"
#include "app/DesktopNotifier.h"
#include "common/Text.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWindow>

namespace {

const QString kDaemon = QStringLiteral("/usr/bin/dbus-daemon");
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

// The desktop's notification server, as far as the program uses it. It
// lives in a thread of its own: the program's calls wait for the answer.
class StandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList capabilities;

    // Each Notify call as "signature|app|replaces|icon|summary|body|actions|urgency type:value|entry|timeout".
    QStringList Calls()
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

public slots:
    QStringList GetCapabilities() { return capabilities; }

    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        const QVariant urgency = hints.value(QStringLiteral("urgency"));
        QMutexLocker lock(&mutex_);
        calls_ << QStringList{message().signature(), app, QString::number(replaces), icon, summary, body,
                              actions.join(u','),
                              QString::fromLatin1(urgency.typeName()) + u':' + QString::number(urgency.toInt()),
                              hints.value(QStringLiteral("desktop-entry")).toString(), QString::number(timeout)}
                      .join(u'|');
        return replaces != 0 ? replaces : ++lastId_;
    }

    void CloseNotification(uint id)
    {
        QMutexLocker lock(&mutex_);
        calls_ << QStringLiteral("close %1").arg(id);
    }

private:
    QMutex mutex_;
    QStringList calls_;
    uint lastId_ = 40;
};

class NotificationsTest : public QObject {
    Q_OBJECT

    QProcess daemon_;
    QString address_;
    QThread serverThread_;

    QDBusConnection Bus(const QString &name) { return QDBusConnection::connectToBus(address_, name); }

    // A stand-in server with these capabilities, registered under the service's name.
    StandIn *Serve(const QStringList &capabilities)
    {
        auto *server = new StandIn;
        server->capabilities = capabilities;
        server->moveToThread(&serverThread_);
        QDBusConnection bus = Bus(QStringLiteral("server"));
        bus.unregisterObject(kPath);
        bus.unregisterService(kService);
        if (!bus.registerObject(kPath, server, QDBusConnection::ExportAllSlots) || !bus.registerService(kService))
            qFatal("cannot register the stand-in server: %s", qPrintable(bus.lastError().message()));
        return server;
    }

    void Signal(const char *name, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, QLatin1String(name));
        signal.setArguments(arguments);
        Bus(QStringLiteral("server")).send(signal);
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(kDaemon))
            QSKIP("no dbus-daemon (package dbus-daemon) to run a private session bus");
        daemon_.start(kDaemon,
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY(daemon_.waitForReadyRead(10000));
        address_ = QString::fromLatin1(daemon_.readLine()).trimmed();
        QVERIFY(Bus(QStringLiteral("server")).isConnected());
        serverThread_.start();
    }

    void cleanupTestCase()
    {
        serverThread_.quit();
        serverThread_.wait();
        daemon_.kill();
        daemon_.waitForFinished();
    }

    void notify_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<uint>("replaces");
        QTest::addColumn<QString>("call");
        const QString head = QStringLiteral("susssasa{sv}i|Selvorra|");
        QTest::newRow("plain body") << QStringList{"body", "actions"} << 0u
            << head + "0|selvorra|Flood <Warning> & more|<b>River</b> &amp; creek\nMove up.|default,Show|uchar:2|"
                      "selvorra|-1";
        QTest::newRow("body-markup: escaped, replacing") << QStringList{"body", "body-markup"} << 77u
            << head + "77|selvorra|Flood <Warning> & more|&lt;b&gt;River&lt;/b&gt; &amp;amp; creek\nMove up.|"
                      "default,Show|uchar:2|selvorra|-1";
    }

    void notify()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(uint, replaces);
        QFETCH(QString, call);
        StandIn *server = Serve(capabilities);
        DesktopNotifier notifier(Bus(QStringLiteral("program")));
        const uint id = notifier.Notify("Flood <Warning> & more", "<b>River</b> &amp; creek\nMove up.", 2, replaces);
        QCOMPARE(id, replaces != 0 ? replaces : 41u);
        QCOMPARE(server->Calls(), QStringList{call});
        server->deleteLater();
    }

    void closeAndActions()
    {
        StandIn *server = Serve({});
        DesktopNotifier notifier(Bus(QStringLiteral("program")));
        QSignalSpy shown(&notifier, &DesktopNotifier::ActionInvoked);
        const uint ours = notifier.Notify("Tornado Warning", "Take shelter.", 2);
        notifier.Adopt(5);   // kept from before a restart
        Signal("ActionInvoked", {999u, QStringLiteral("default")});   // another program's
        Signal("ActionInvoked", {ours, QStringLiteral("default")});
        Signal("ActionInvoked", {5u, QStringLiteral("default")});
        QTRY_COMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).at(0).toUInt(), ours);
        QCOMPARE(shown.at(1).at(0).toUInt(), 5u);
        notifier.Close(ours);
        notifier.Close(0);
        QTRY_COMPARE(server->Calls().size(), 2);
        QCOMPARE(server->Calls().at(1), QStringLiteral("close %1").arg(ours));
        // Once closed it is no longer ours.
        Signal("ActionInvoked", {ours, QStringLiteral("default")});
        QTest::qWait(100);
        QCOMPARE(shown.size(), 2);
        server->deleteLater();
    }

    void noServer()
    {
        QDBusConnection server = Bus(QStringLiteral("server"));
        server.unregisterObject(kPath);
        server.unregisterService(kService);
        QTRY_VERIFY(!server.interface()->isServiceRegistered(kService));
        QElapsedTimer clock;
        clock.start();
        DesktopNotifier notifier(Bus(QStringLiteral("program")));
        QCOMPARE(notifier.Notify("Tornado Warning", "Take shelter.", 2), 0u);
        notifier.Close(3);
        // No bus at all either.
        DesktopNotifier unconnected(QDBusConnection(QStringLiteral("no such connection")));
        QCOMPARE(unconnected.Notify("Tornado Warning", "Take shelter.", 2), 0u);
        QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed())));
    }

    void alertWindow_data()
    {
        QTest::addColumn<QString>("text");   // put into every text of the alert
        QTest::newRow("markup and a link") << R"(<b>bold</b> <a href="https://example.com/x">here</a> https://example.com)";
        QTest::newRow("entities, a script, a title mark") << "&amp; &lt;i&gt; &#x41; <script>alert(1)</script> [*]";
        QTest::newRow("a 1 MiB line") << QString(1 << 20, u'x');
    }

    void alertWindow()
    {
        QFETCH(QString, text);
        Alert alert;
        for (QString *field : {&alert.event, &alert.headline, &alert.areaDesc, &alert.sender, &alert.urgency})
            *field = text;
        alert.description = alert.instruction = text + "\nsecond line\n\n" + text;
        AlertWindow window;
        window.ShowAlert(Alert{}, QLocale::c());   // the window is reused
        window.ShowAlert(alert, QLocale::c());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const AlertWindowText composed = ComposeAlertWindow(alert, QLocale::c());
        QCOMPARE(window.windowHandle()->title(), composed.title);
        QStringList shown, expected{composed.heading};
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            QVERIFY(label->textFormat() == Qt::PlainText && !label->openExternalLinks());
            QVERIFY(!(label->textInteractionFlags() & (Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard)));
            shown << label->text();
        }
        for (const QPlainTextEdit *box : window.findChildren<QPlainTextEdit *>())
            shown << box->accessibleName() + ": " + box->toPlainText() + (box->isReadOnly() ? "" : " (editable)");
        for (const AlertSection &section : composed.sections)
            expected << section.label + ":" << (section.lines ? QString() : section.text);
        for (const AlertSection &section : composed.sections)
            if (section.lines)
                expected << section.label + ": " + section.text;
        expected.removeAll(QString());
        QCOMPARE(shown, expected);
        // As written within their bounds, the line breaks kept.
        QVERIFY(shown.contains(SafeText(text, kAlertTextMost)) && shown.contains(SafeText(text, kAlertNameMost)));
        QVERIFY(shown.contains("Description: " + SafeLines(alert.description, kAlertTextMost)));
        window.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->click();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(NotificationsTest)
#include "tst_notifications.moc"
