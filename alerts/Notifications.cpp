#include "alerts/Notifications.h"

#include "common/Text.h"

#include <QHash>
#include <QUrl>

#include <algorithm>

namespace {

constexpr qsizetype kMostAlertIds = 50;
constexpr qsizetype kMostKeptEvents = 1000;
const QString kKeptHeader = QStringLiteral("selvorra notified events 1");

// The service names an alert by its address in `id` and by the bare
// identifier in `references`: the part after the last "/" is the alert.
QStringView IdCore(const QString &id)
{
    return QStringView(id).mid(id.lastIndexOf(u'/') + 1);
}

QDateTime Later(const QDateTime &a, const QDateTime &b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() ? a : b;
    return std::max(a, b);
}

// The event takes in one more of its alerts.
void Record(NotifiedEvent &event, const Alert &alert)
{
    event.end = Later(event.end, alert.End().toUTC());
    if (!event.alertIds.contains(alert.id))
        event.alertIds << alert.id;
    if (event.alertIds.size() > kMostAlertIds)
        event.alertIds.remove(0, event.alertIds.size() - kMostAlertIds);
}

QString Field(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString Unfield(QStringView field)
{
    return QUrl::fromPercentEncoding(field.toLatin1());
}

std::optional<NotifiedEvent> EventOfLine(QStringView line)
{
    const QList<QStringView> fields = line.split(u'\t');
    if (fields.size() != 5)
        return std::nullopt;
    NotifiedEvent event;
    event.key = Unfield(fields[0]);
    const QString severity = Unfield(fields[1]);
    event.severity = SeverityOf(severity);
    bool number = false;
    event.notificationId = fields[2].toUInt(&number);
    const QString end = Unfield(fields[3]);
    event.end = QDateTime::fromString(end, Qt::ISODate);
    for (const QStringView id : fields[4].split(u' ', Qt::SkipEmptyParts))
        event.alertIds << Unfield(id);
    if (event.key.isEmpty() || SeverityWord(event.severity) != severity || !number
        || (!end.isEmpty() && !event.end.isValid()) || event.alertIds.size() > kMostAlertIds)
        return std::nullopt;
    return event;
}

} // namespace

QString EventKey(const Alert &alert, const std::vector<NotifiedEvent> &notified)
{
    return EventKeys({alert}, notified).front();
}

std::vector<QString> EventKeys(const std::vector<Alert> &alerts, const std::vector<NotifiedEvent> &notified)
{
    QHash<QStringView, size_t> listed;     // an alert of the list by its id
    QHash<QStringView, QString> notifiedBy;  // an event's key by the id of one of its alerts
    for (size_t i = alerts.size(); i-- > 0;)
        listed.insert(IdCore(alerts[i].id), i);
    for (auto event = notified.rbegin(); event != notified.rend(); ++event)
        for (const QString &id : event->alertIds)
            notifiedBy.insert(IdCore(id), event->key);
    // Alerts without VTEC joined by their references make one event.
    std::vector<size_t> group(alerts.size());
    for (size_t i = 0; i < alerts.size(); ++i)
        group[i] = i;
    const auto root = [&group](size_t i) {
        while (group[i] != i)
            i = group[i] = group[group[i]];
        return i;
    };
    for (size_t i = 0; i < alerts.size(); ++i)
        for (const QString &reference : alerts[i].references)
            if (const size_t j = listed.value(IdCore(reference), i); alerts[i].vtecEvent.isEmpty()
                && alerts[j].vtecEvent.isEmpty())
                group[root(i)] = root(j);
    // A group's key: the VTEC event of an alert it updates, else the event
    // that holds one of its alerts or an alert they update, else its first id.
    std::vector<std::pair<int, QString>> named(alerts.size(), {3, QString()});
    const auto name = [&](size_t i, int rank, const QString &key) {
        std::pair<int, QString> &current = named[root(i)];
        if (rank < current.first && !key.isEmpty())
            current = {rank, key};
    };
    for (size_t i = 0; i < alerts.size(); ++i) {
        if (!alerts[i].vtecEvent.isEmpty())
            continue;
        for (const QString &reference : alerts[i].references) {
            const auto j = listed.constFind(IdCore(reference));
            if (j != listed.constEnd())
                name(i, 0, alerts[*j].vtecEvent);
            name(i, 1, notifiedBy.value(IdCore(reference)));
        }
        name(i, 1, notifiedBy.value(IdCore(alerts[i].id)));
        name(i, 2, alerts[i].id);
    }
    std::vector<QString> keys;
    for (size_t i = 0; i < alerts.size(); ++i)
        keys.push_back(alerts[i].vtecEvent.isEmpty() ? named[root(i)].second : alerts[i].vtecEvent);
    return keys;
}

NotificationPlan PlanNotifications(const std::vector<Alert> &active, const std::vector<NotifiedEvent> &notified,
                                   std::optional<Severity> minimum, const QDateTime &now)
{
    NotificationPlan plan;
    plan.notified = notified;
    std::vector<bool> listed(plan.notified.size(), false);
    const std::vector<QString> keys = EventKeys(active, notified);
    for (size_t a = 0; a < active.size(); ++a) {
        const Alert &alert = active[a];
        // An event is over once all its alerts have ended, and then no longer listed.
        if (alert.End().isValid() && alert.End() <= now)
            continue;
        const QString &key = keys[a];
        const auto found = std::find_if(plan.notified.begin(), plan.notified.end(),
                                        [&key](const NotifiedEvent &event) { return event.key == key; });
        const size_t e = static_cast<size_t>(found - plan.notified.begin());
        const bool notifies = minimum && alert.severity >= *minimum;
        if (found == plan.notified.end()) {
            if (!notifies)
                continue;
            plan.notified.push_back(NotifiedEvent{key, alert.severity, 0, {}, {}});
            listed.push_back(true);
            plan.notify.push_back(PlannedNotice{a, e, 0});
        } else if (notifies && alert.severity > found->severity) {
            found->severity = alert.severity;
            plan.replace.push_back(PlannedNotice{a, e, found->notificationId});
        }
        listed[e] = true;
        Record(plan.notified[e], alert);
    }
    // Events no longer listed go; the notices' indices follow the rest.
    std::vector<size_t> moved(plan.notified.size());
    std::vector<NotifiedEvent> kept;
    for (size_t e = 0; e < plan.notified.size(); ++e) {
        moved[e] = kept.size();
        if (listed[e])
            kept.push_back(std::move(plan.notified[e]));
        else
            plan.close.push_back(plan.notified[e].notificationId);
    }
    for (std::vector<PlannedNotice> *notices : {&plan.notify, &plan.replace})
        for (PlannedNotice &notice : *notices)
            notice.event = moved[notice.event];
    plan.notified = std::move(kept);
    // The desktop gave no id for some: nothing to close there.
    plan.close.erase(std::remove(plan.close.begin(), plan.close.end(), 0u), plan.close.end());
    return plan;
}

QString NotifiedEventsText(const std::vector<NotifiedEvent> &events)
{
    QString text = kKeptHeader + u'\n';
    for (const NotifiedEvent &event : events) {
        QStringList ids;
        for (const QString &id : event.alertIds)
            ids << Field(id);
        const QString end = event.end.isValid() ? event.end.toUTC().toString(Qt::ISODateWithMs) : QString();
        text += QStringList{Field(event.key), SeverityWord(event.severity), QString::number(event.notificationId), end,
                            ids.join(u' ')}
                    .join(u'\t')
            + u'\n';
    }
    return text;
}

std::vector<NotifiedEvent> ReadNotifiedEvents(const QString &text)
{
    QList<QStringView> lines = QStringView(text).split(u'\n');
    if (lines.isEmpty() || lines.takeFirst() != kKeptHeader || !lines.endsWith(QStringView())
        || lines.size() > kMostKeptEvents + 1)
        return {};
    lines.removeLast();
    std::vector<NotifiedEvent> events;
    for (const QStringView line : lines) {
        std::optional<NotifiedEvent> event = EventOfLine(line);
        if (!event)
            return {};
        events.push_back(std::move(*event));
    }
    return events;
}

NotificationSetting ReadNotificationSetting(const QString &iniText, const QString &path)
{
    QString section;
    std::optional<QString> value;
    for (QStringView line : QStringView(iniText).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed().toString();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && section.compare(u"notifications", Qt::CaseInsensitive) == 0
            && line.left(equals).trimmed().compare(u"minimum-severity", Qt::CaseInsensitive) == 0)
            value = line.mid(equals + 1).trimmed().toString();
    }
    NotificationSetting setting;
    if (!value)
        return setting;
    if (value->compare(u"Off", Qt::CaseInsensitive) == 0) {
        setting.minimum.reset();
        return setting;
    }
    const Severity severity = SeverityOf(*value);
    if (severity != Severity::Unknown) {
        setting.minimum = severity;
        return setting;
    }
    setting.problem = QStringLiteral("the value %1 of minimum-severity in [notifications] of %2 is not one of "
                                     "Extreme, Severe, Moderate, Minor or Off")
                          .arg(QuotedForMessage(SafeText(*value, 61)), SafeText(path, 4096));
    return setting;
}
