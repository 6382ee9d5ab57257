#pragma once

#include "alerts/Alerts.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Which alerts become desktop notifications, as plain bookkeeping: one
// event, one notification. An alert and its updates are one event, named
// by its key (see EventKey); an event is notified once, its notification
// replaced when an update raises the severity and closed when the event
// leaves the active list or ends. The notified events are kept across a
// restart as text (NotifiedEventsText).

// An event that has a notification.
struct NotifiedEvent {
    QString key;
    Severity severity = Severity::Unknown;   // the highest notified so far
    uint notificationId = 0;                 // the desktop's id; 0 when it gave none
    QDateTime end;                           // in UTC: the latest end of its alerts; invalid when none names one
    QStringList alertIds;                    // the ids of its alerts seen so far (the latest 50)
};

// The event an alert belongs to: its VTEC event ("KMLB.FL.W.0007") when it
// has one; without, the key of the notified event holding an alert that its
// references name (or the alert itself); otherwise its own id.
QString EventKey(const Alert &alert, const std::vector<NotifiedEvent> &notified);

// The same for every alert of a list, where alerts without VTEC that name
// each other in their references are one event too: the VTEC event of an
// alert of the list they name, else a notified event as above, else the id
// of the first of them. So an update listed beside the alert it updates
// makes no second notification, whichever of them comes first.
std::vector<QString> EventKeys(const std::vector<Alert> &alerts, const std::vector<NotifiedEvent> &notified);

// A notification to send: the alert it shows (an index into the active
// alerts), the event it is for (an index into NotificationPlan::notified,
// where the desktop's id for it goes) and the id it replaces (0: none).
struct PlannedNotice {
    size_t alert = 0;
    size_t event = 0;
    uint replacesId = 0;
};

struct NotificationPlan {
    std::vector<PlannedNotice> notify;    // events not notified before
    std::vector<PlannedNotice> replace;   // notified events whose severity rose
    std::vector<uint> close;              // notifications of events that left the list or ended
    std::vector<NotifiedEvent> notified;  // the events notified from now on
};

// What to do for `active` (ActiveAlerts at `now`), given the events notified
// before. An event none of whose alerts is listed and not ended is closed
// and dropped. An event notifies when its highest severity is at least
// `minimum` (nothing: never); an event below it is not recorded, so it
// notifies once it rises to it.
NotificationPlan PlanNotifications(const std::vector<Alert> &active, const std::vector<NotifiedEvent> &notified,
                                   std::optional<Severity> minimum, const QDateTime &now);

// The notified events as text for the cache folder, one a line, and back.
// Text that is not wholly of that form (damaged, cut short, another file)
// reads as no events.
QString NotifiedEventsText(const std::vector<NotifiedEvent> &events);
std::vector<NotifiedEvent> ReadNotifiedEvents(const QString &text);

// The user's choice of which severities notify: `minimum-severity` in the
// `[notifications]` section of selvorra.conf, INI form, one of Extreme,
// Severe, Moderate, Minor or Off (in any letter case). Without the key:
// Moderate. A wrong value also gives Moderate, and the words of the problem
// for standard error, naming the value and `path`.
struct NotificationSetting {
    std::optional<Severity> minimum = Severity::Moderate;   // nothing: Off
    QString problem;
};
NotificationSetting ReadNotificationSetting(const QString &iniText, const QString &path);
