#pragma once

#include "cache/ReplyCache.h"
#include "common/DateValue.h"
#include "common/Place.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The last good replies of the services for one place, kept in the user's
// cache folder so that a start without network still has something to show.
// Each is kept under the name its chain gives it ("forecast", "almanac",
// "tomorrow", "points", "station", ...), for the place's three settings
// texts and, for the sun and moon, the local date it is for. What may be
// shown again is decided here: a forecast or its hours at most 48 hours old
// (the alerts until each one's own end), a points
// reply or station at most a week (a place's grid and stations change
// rarely, and each saves the service requests), the sun and moon only for
// their date; never a reply fetched later than now (beyond a few minutes of
// clock jitter), since a clock set back would show it as fresh.
class KeptReplies {
public:
    // Everything kept is at most what one download may bring.
    static constexpr qint64 kMostBytes = 16LL * 1024 * 1024;

    KeptReplies(QString folder, Place place) : folder_(std::move(folder)), place_(std::move(place)) {}

    // Keeps `body` under `name`, fetched at `fetchedUtc`; `date` is the
    // local date a sun/moon reply is for. A cache that cannot be written
    // costs nothing but the cache.
    void Keep(const QString &name, const QString &body, const QDateTime &fetchedUtc, DateValue date = 0) const;
    // Each of `bodies` under its name.
    template <typename Bodies>
    void KeepAll(const Bodies &bodies, const QDateTime &fetchedUtc, DateValue date = 0) const
    {
        for (const auto &body : bodies)
            Keep(body.name, body.body, fetchedUtc, date);
    }

    // The reply kept under `name` for this place (and `date`), when it may
    // be used at `nowUtc`.
    std::optional<CachedReply> Load(const QString &name, const QDateTime &nowUtc, DateValue date = 0) const;
    // The same reply's body alone.
    std::optional<QString> Body(const QString &name, const QDateTime &nowUtc) const
    {
        const std::optional<CachedReply> kept = Load(name, nowUtc);
        return kept ? std::optional<QString>(kept->body) : std::nullopt;
    }

private:
    QString KeyOf(const QString &name, DateValue date) const;

    QString folder_;
    Place place_;
};
