#include "forecast/ApiPoints.h"

#include "common/JsonReply.h"

ApiPoints::ApiPoints(Place place, QString origin, std::optional<QString> kept, net::Download download,
                     std::vector<KeepBody> &keep)
    : place_(std::move(place)), origin_(std::move(origin)), kept_(std::move(kept)), download_(std::move(download)),
      keep_(keep)
{
}

net::Fetched ApiPoints::Get(const QString &url) const
{
    return download_(ApiRequest(url, origin_));
}

// An address of a kept points reply that the service no longer knows (it
// answered with an error status, not a dropped connection).
bool ApiPoints::Moved(const net::Fetched &fetched)
{
    return fetched.report.failure == net::Failure::None && fetched.report.httpStatus >= 400;
}

Result<ApiPoint> ApiPoints::Points(Attempt &attempt, Result<int> &failure)
{
    if (kept_) {
        Result<ApiPoint> point = ReadApiPoint(*kept_, origin_);
        if (point) {
            point_ = point.value;
            return point;
        }
        kept_.reset();
    }
    const std::optional<QString> path = ApiPointsPath(place_.latitude, place_.longitude);
    if (!path) {
        failure = Result<int>::Failure(Outcome::NotLoaded, QStringLiteral("place"),
                                       QStringLiteral("the settings name no point it knows"));
        return Result<ApiPoint>::FailureOf(failure);
    }
    const net::Fetched fetched = Get(origin_ + *path);
    Result<ApiPoint> point = ReadApiPoint(fetched.body, origin_);
    if (!point || fetched.report.httpStatus >= 400) {
        failure = ApiFailed<int>(fetched, point, attempt);
        return Result<ApiPoint>::FailureOf(failure);
    }
    keep_.push_back({kKeepPoints, fetched.body});
    point_ = point.value;
    return point;
}
