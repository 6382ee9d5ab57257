#include "app/DesktopNotifier.h"

#include "alerts/AlertText.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString &kInterface = kService;
constexpr int kCallTimeoutMs = 1000;
// A server that let a call go unanswered is hung; a minute spares the window more waits.
constexpr qint64 kQuietMs = 60 * 1000;

QDBusMessage MethodCall(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus_(bus), quietUntil_(0)
{
    if (!bus_.isConnected())
        return;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this, SLOT(OnClosed(uint, uint)));
}

std::optional<QDBusMessage> DesktopNotifier::Call(const QDBusMessage &call)
{
    if (!bus_.isConnected() || !quietUntil_.hasExpired())
        return std::nullopt;
    QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    if (reply.errorName() == QDBusError::errorString(QDBusError::NoReply)
        || reply.errorName() == QDBusError::errorString(QDBusError::Timeout))
        quietUntil_.setRemainingTime(kQuietMs);
    return std::nullopt;
}

bool DesktopNotifier::BodyMarkup()
{
    if (!bodyMarkup_) {
        // Asked again next time when no server answered: one may start later.
        const std::optional<QDBusMessage> reply = Call(MethodCall(QStringLiteral("GetCapabilities")));
        if (!reply)
            return false;
        bodyMarkup_ = reply->arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));
    }
    return *bodyMarkup_;
}

uint DesktopNotifier::Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId)
{
    if (!bus_.isConnected())
        return 0;
    QDBusMessage call = MethodCall(QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(urgency)},
                            {QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry)}};
    // One action, "default", labelled "Show": a click on the notification,
    // or its button where the server draws one.
    const QStringList actions{QStringLiteral("default"), QStringLiteral("Show")};
    call << QStringLiteral("Selvorra") << replacesId << QString::fromLatin1(kIcon) << summary
         << (BodyMarkup() ? EscapedForMarkup(body) : body) << actions << hints << qint32(-1);
    const std::optional<QDBusMessage> reply = Call(call);
    const uint id = reply ? reply->arguments().value(0).toUInt() : 0;
    if (id != 0)
        ours_.insert(id);
    return id;
}

void DesktopNotifier::Close(uint id)
{
    if (id == 0 || !bus_.isConnected())
        return;
    QDBusMessage call = MethodCall(QStringLiteral("CloseNotification"));
    call << id;
    bus_.send(call);
    ours_.remove(id);
}

void DesktopNotifier::Adopt(uint id)
{
    if (id != 0)
        ours_.insert(id);
}

void DesktopNotifier::OnActionInvoked(uint id, const QString &action)
{
    // The server tells every program of every notification's actions.
    if (ours_.contains(id) && action == u"default")
        emit ActionInvoked(id);
}

void DesktopNotifier::OnClosed(uint id, uint)
{
    ours_.remove(id);
}
