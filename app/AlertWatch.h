#pragma once

#include "Platform.h"
#include "WindowModel.h"

#include "alerts/Notifications.h"
#include "cache/KeptReplies.h"
#include "common/Place.h"
#include "common/SourceChain.h"
#include "schedule/Schedule.h"

#include <QString>

#include <optional>
#include <vector>

// The weather service's active alerts for the place, kept current for the
// window: asked on the minute (the retry waits after a failure, at most once
// an hour for a place outside the service's area), kept for the next start,
// and each new event told once on the desktop, as the user chose in
// selvorra.conf. It asks through the alerts' chain and the platform; it
// never shows a message box.
class AlertWatch {
public:
    AlertWatch(Platform &platform, QString apiOrigin) : platform_(platform), origin_(std::move(apiOrigin)) {}

    // A start for `place` at `now`: what was kept for it (the alerts, the
    // validators, the events notified) and the user's setting.
    void Start(const Place &place, DateValue now);
    // Asks the service when due (`force`: now), then brings the desktop's
    // notifications in line with the alerts in force.
    void Check(const net::Download &download, DateValue now, bool force);

    // What the strip shows of them at `now`.
    AlertsShown ShownAt(DateValue now) const;

    // The alert whose notification is `id`, when it is still in force.
    std::optional<Alert> AlertOfNotification(uint id, DateValue now) const;

private:
    void Notify();
    KeptReplies Kept() const { return KeptReplies(platform_.UserCacheDirectory(), place_); }

    Platform &platform_;
    QString origin_;
    Place place_;
    Schedule schedule_{Schedule::Kind::Alerts};
    DateValue lastTry_ = 0;
    DateValue startedAt_ = 0;
    std::optional<DateValue> lastSuccess_;
    QString failure_;
    bool outside_ = false;
    std::vector<Alert> alerts_;
    QString etag_;
    QString lastModified_;
    std::vector<NotifiedEvent> notified_;
    std::optional<Severity> minimum_ = Severity::Moderate;
    bool complained_ = false;
};
