#include "HourlyWatch.h"

#include "forecast/ApiPoints.h"
#include "forecast/HourlySource.h"

#include <cmath>

void HourlyWatch::Open(const Place &place, const std::optional<QDateTime> &scrollTo, const net::Download &download)
{
    open_ = true;
    // The kept hours first, the younger of the two sources'.
    const KeptReplies kept(platform_.UserCacheDirectory(), place);
    const QDateTime nowUtc = platform_.NowUtc();
    const std::optional<CachedReply> page = kept.Load(kKeepHourly, nowUtc);
    const std::optional<CachedReply> api = kept.Load(kKeepHourlyApi, nowUtc);
    const bool pageFirst = page && (!api || page->fetchedUtc >= api->fetchedUtc);
    const std::optional<CachedReply> &younger = pageFirst ? page : api;
    const Result<HourlyForecast> hours = !younger ? Result<HourlyForecast>{}
                                        : pageFirst ? ReadDigitalForecast(younger->body)
                                                    : MapApiHourly(younger->body);
    if (hours) {
        const DateValue shift = std::round((platform_.Now() - DateFromQDateTime(nowUtc)) * 1440.0) / 1440.0;
        Show(place, hours.value, DateFromQDateTime(younger->fetchedUtc) + shift, true, scrollTo, true);
    } else if (show_) {
        // Nothing kept: the window opens at once all the same, and says so.
        show_(HourlyContent{{}, 0, false, {}, nowUtc, QStringLiteral("Fetching the hourly forecast\u2026"), true},
              scrollTo);
    }
    hasHours_ = bool(hours);
    Refresh(place, download, scrollTo);
}

void HourlyWatch::Refresh(const Place &place, const net::Download &download, const std::optional<QDateTime> &scrollTo)
{
    if (!open_)
        return;
    BusyPointer busy(platform_);
    const KeptReplies kept(platform_.UserCacheDirectory(), place);
    const QDateTime nowUtc = platform_.NowUtc();
    const ChainOutcome<HourlyForecast> outcome =
        FetchHourly({place, pageOrigin_, apiOrigin_, kept.Body(kKeepPoints, nowUtc)}, download);
    if (outcome.cancelled || !open_)
        return;
    kept.KeepAll(outcome.keep, nowUtc);
    // What is shown stays when neither source gave any.
    if (outcome.value) {
        Show(place, outcome.value.value, platform_.Now(), false, scrollTo);
        hasHours_ = true;
    } else if (!hasHours_ && show_) {
        const Attempt &last = outcome.failed.back();
        show_(HourlyContent{{}, 0, false, {}, nowUtc,
                            QStringLiteral("The hourly forecast could not be had from %1: %2.").arg(last.source, last.reason)},
              scrollTo);
    }
}

void HourlyWatch::Show(const Place &place, const HourlyForecast &hours, DateValue fetched, bool kept,
                       const std::optional<QDateTime> &scrollTo, bool opening)
{
    if (!show_)
        return;
    const QDateTime nowUtc = platform_.NowUtc();
    HourlyContent content{hours, fetched, kept, {}, nowUtc, {}, opening};
    bool latitudeRead = false;
    bool longitudeRead = false;
    const double latitude = place.latitude.trimmed().toDouble(&latitudeRead);
    const double longitude = place.longitude.trimmed().toDouble(&longitudeRead);
    if (latitudeRead && longitudeRead && !hours.hours.empty())
        content.nights = NightSpans(latitude, longitude, hours.hours.front().start.toUTC(), hours.hours.back().end.toUTC());
    show_(content, scrollTo);
}
