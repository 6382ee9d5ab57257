#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

// Desktop notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus). No call waits longer
// than a second, and with no server, or no bus at all, nothing fails: a
// notification then simply has no id.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    // What the desktop knows the program by: its desktop entry's name and its icon.
    static constexpr const char *kDesktopEntry = "selvorra";
    static constexpr const char *kIcon = "selvorra";

    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // Shows a notification, in place of `replacesId` when that is not 0.
    // `body` is plain text; for a server that reads the body as markup its
    // "&", "<" and ">" are sent as entities (the server is asked once). The
    // notification offers "Show" (clicking it does the same) and stays until
    // the server's own timeout. `urgency`: 0 low, 1 normal, 2 critical.
    // Returns the server's id for it, 0 when there is none.
    uint Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId = 0);

    // Closes one of the notifications sent here (0: none); does not wait.
    void Close(uint id);

    // Takes a notification sent before a restart (a kept id) as one sent
    // here, so that its "Show" still reaches the program.
    void Adopt(uint id);

signals:
    // The user chose "Show" on one of the notifications sent here, or clicked it.
    void ActionInvoked(uint id);

private slots:
    void OnActionInvoked(uint id, const QString &action);
    void OnClosed(uint id, uint reason);

private:
    bool BodyMarkup();
    // The call's reply, or nothing when there is no server, no bus or no answer in time.
    std::optional<QDBusMessage> Call(const QDBusMessage &call);

    QDBusConnection bus_;
    std::optional<bool> bodyMarkup_;
    QSet<uint> ours_;
    QDeadlineTimer quietUntil_;   // after a call that got no answer, the server is left alone for a while
};
