// The weather service's active alerts: the reply read, the alerts to show
// and their order, the strip's, the alert window's and a notification's
// texts, which events notify, and the kept events read back.
#include "FuzzInput.h"

#include "alerts/AlertText.h"
#include "alerts/Notifications.h"

namespace {

// Shown text: no control character but the line breaks of a text of
// several lines, no mark that turns the text's direction, within its bound.
void CheckShown(const QString &text, qsizetype most, bool lines, const char *what)
{
    if (text.size() > most)
        fuzzinput::Fail(what, QStringLiteral("past its bound: %1").arg(text.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && !(lines && u == u'\n')) || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E)
            || (u >= 0x2066 && u <= 0x2069))
            fuzzinput::Fail(what, QStringLiteral("holds U+%1").arg(u, 4, 16, QChar(u'0')));
    }
}

void CheckAlert(const Alert &alert, const QLocale &locale)
{
    CheckShown(alert.event, kAlertNameMost, false, "event");
    CheckShown(alert.headline, kAlertTextMost, false, "headline");
    CheckShown(alert.description, kAlertTextMost, true, "description");
    CheckShown(alert.instruction, kAlertTextMost, true, "instruction");
    const AlertWindowText window = ComposeAlertWindow(alert, locale);
    CheckShown(window.heading, kAlertTextMost, false, "window heading");
    for (const AlertSection &section : window.sections)
        CheckShown(section.text, kAlertTextMost, section.lines, "window section");
    const AlertNotice notice = ComposeNotice(alert);
    CheckShown(notice.body, 2 * 300 + 1, true, "notification body");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const Result<AlertsReply> read = ReadAlerts(reply);
    if (!read && (read.rule.isEmpty() || read.reason.isEmpty()))
        fuzzinput::Fail("a refused reply without its rule and reason");
    if (read.value.alerts.size() > static_cast<size_t>(kMostAlerts))
        fuzzinput::Fail("alerts past their bound", QString::number(read.value.alerts.size()));
    const QDateTime now = read.value.updated.isValid() ? read.value.updated
                                                       : QDateTime(QDate(2022, 10, 18), QTime(12, 0), Qt::UTC);
    const std::vector<Alert> active = ActiveAlerts(read.value.alerts, now);
    const AlertStrip strip = ComposeAlertStrip(active);
    CheckShown(strip.text, (kAlertNameMost + 3) * kMostAlerts, false, "strip");
    for (size_t i = 0; i < active.size(); ++i)
        CheckAlert(active[i], fuzzinput::Locale(static_cast<int>(i)));
    // The same alerts a tick later, after a restart: nothing new, nothing closed.
    const NotificationPlan first = PlanNotifications(active, {}, Severity::Unknown, now);
    const QString kept = NotifiedEventsText(first.notified);
    const std::vector<NotifiedEvent> back = ReadNotifiedEvents(kept);
    if (back.size() != first.notified.size() || NotifiedEventsText(back) != kept)
        fuzzinput::Fail("kept events not read back as written");
    const NotificationPlan second = PlanNotifications(active, back, Severity::Unknown, now);
    if (!second.notify.empty() || !second.replace.empty() || !second.close.empty())
        fuzzinput::Fail("an event notified twice");
    // The input as the other texts the program reads.
    ReadNotifiedEvents(reply);
    ReadNotificationSetting(reply, QStringLiteral("selvorra.conf"));
    return 0;
}
