#include "AlertWatch.h"

#include "alerts/AlertSource.h"
#include "alerts/AlertText.h"
#include "startup/StartupFiles.h"

#include <QLocale>

namespace {

const QString kKeepValidators = QStringLiteral("alerts-validators");
const QString kKeepNotified = QStringLiteral("notified");
constexpr double kCurrentMinutes = 10;

double MinutesBetween(DateValue from, DateValue to)
{
    return (to - from) * 1440.0;
}

} // namespace

void AlertWatch::Start(const Place &place, DateValue now)
{
    place_ = place;
    schedule_ = Schedule(Schedule::Kind::Alerts);
    startedAt_ = lastTry_ = now;
    lastSuccess_.reset();
    failure_.clear();
    outside_ = false;
    const KeptReplies kept = Kept();
    const QDateTime nowUtc = platform_.NowUtc();
    // The alerts kept stand for the service until it is asked; the ended
    // ones never show.
    const std::optional<QString> alerts = kept.Body(kKeepAlerts, nowUtc);
    const Result<AlertsReply> read = alerts ? ReadAlerts(*alerts) : Result<AlertsReply>{};
    alerts_ = read ? read.value.alerts : std::vector<Alert>{};
    if (read)
        lastSuccess_ = now;
    const QString validators = read ? kept.Body(kKeepValidators, nowUtc).value_or(QString()) : QString();
    etag_ = validators.section(QLatin1Char('\n'), 0, 0);
    lastModified_ = validators.section(QLatin1Char('\n'), 1, 1);
    notified_ = ReadNotifiedEvents(kept.Body(kKeepNotified, nowUtc).value_or(QString()));
    for (const NotifiedEvent &event : notified_)
        if (event.notificationId != 0)
            platform_.AdoptNotification(event.notificationId);

    const QString config = platform_.UserConfigDirectory() + QLatin1Char('/') + kConfigFileName;
    const NotificationSetting setting = ReadNotificationSetting(ReadConfigText(config), config);
    minimum_ = setting.minimum;
    if (!setting.problem.isEmpty() && !complained_)
        platform_.Complain(setting.problem);
    complained_ = complained_ || !setting.problem.isEmpty();
}

void AlertWatch::Check(const net::Download &download, DateValue now, bool force)
{
    if (force || schedule_.Due(lastTry_, now)) {
        lastTry_ = now;
        const ChainOutcome<AlertsFetch> outcome = FetchAlerts({place_, origin_, etag_, lastModified_}, download);
        if (outcome.cancelled)
            return;
        if (outcome.value) {
            schedule_.Succeeded();
            lastSuccess_ = now;
            failure_.clear();
            outside_ = false;
            const AlertsFetch &fetch = outcome.value.value;
            if (!fetch.notModified) {
                alerts_ = fetch.reply.alerts;
                etag_ = fetch.etag;
                lastModified_ = fetch.lastModified;
                const KeptReplies kept = Kept();
                kept.KeepAll(outcome.keep, platform_.NowUtc());
                kept.Keep(kKeepValidators, etag_ + QLatin1Char('\n') + lastModified_, platform_.NowUtc());
            }
        } else if (outcome.value.rule == QStringLiteral("outside-area")) {
            outside_ = true;
            alerts_.clear();
            schedule_.Hold(now, 60);
        } else {
            schedule_.Failed(now);
            failure_ = outcome.value.reason;
        }
    }
    Notify();
}

void AlertWatch::Notify()
{
    const QDateTime nowUtc = platform_.NowUtc();
    const std::vector<Alert> active = outside_ ? std::vector<Alert>{} : ActiveAlerts(alerts_, nowUtc);
    NotificationPlan plan = PlanNotifications(active, notified_, minimum_, nowUtc);
    for (const std::vector<PlannedNotice> *notices : {&plan.notify, &plan.replace})
        for (const PlannedNotice &notice : *notices) {
            const AlertNotice text = ComposeNotice(active[notice.alert]);
            const uint id = platform_.Notify(text.summary, text.body, text.urgency, notice.replacesId);
            plan.notified[notice.event].notificationId = id != 0 ? id : notice.replacesId;
        }
    for (const uint id : plan.close)
        platform_.CloseNotification(id);
    const QString before = NotifiedEventsText(notified_);
    notified_ = std::move(plan.notified);
    if (const QString after = NotifiedEventsText(notified_); after != before)
        Kept().Keep(kKeepNotified, after, nowUtc);
}

AlertsShown AlertWatch::ShownAt(DateValue now) const
{
    AlertsShown shown;
    shown.outside = outside_;
    if (outside_)
        return shown;
    shown.active = ActiveAlerts(alerts_, platform_.NowUtc());
    shown.current = lastSuccess_ && MinutesBetween(*lastSuccess_, now) < kCurrentMinutes;
    const DateValue since = lastSuccess_.value_or(startedAt_);
    if (!failure_.isEmpty() && MinutesBetween(since, now) >= kCurrentMinutes) {
        const QString time = DatePart(since) == DatePart(now)
            ? FormatClockTime(since)
            : QLocale().toString(ToQDate(since), QStringLiteral("MMM d")) + u' ' + FormatClockTime(since);
        shown.note = QStringLiteral("Warnings could not be checked since %1").arg(time);
        shown.reason = failure_;
    }
    return shown;
}

std::optional<Alert> AlertWatch::AlertOfNotification(uint id, DateValue) const
{
    for (const NotifiedEvent &event : notified_) {
        if (event.notificationId != id)
            continue;
        for (const Alert &alert : ActiveAlerts(alerts_, platform_.NowUtc()))
            if (event.alertIds.contains(alert.id))
                return alert;
    }
    return std::nullopt;
}
