#pragma once

#include "common/Place.h"
#include "common/SourceChain.h"
#include "forecast/ApiForecast.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Where the place's addresses of the weather service's JSON API are, for
// every source that asks it: the points reply kept for the place when there
// is one, else asked (and handed back to keep); asked once more when an
// address of the kept reply answers with an HTTP error, since the place's
// grid has moved then.

inline const QString kKeepPoints = QStringLiteral("points");

// What a chain of the forecast page and the JSON API is given: the place,
// where both services live, and the points reply kept for the place when it
// is young enough to use.
struct PageAndApiAsk {
    Place place;
    QString pageOrigin;   // e.g. "https://forecast.weather.gov"
    QString apiOrigin;    // e.g. "https://api.weather.gov"
    std::optional<QString> keptPoints;
};

// What one request to the API came to, as a failure in words: the
// download's failure, the service's own words for its error, its error
// status, or what the reading of the reply said. The fetch goes to `attempt`.
template <typename Value, typename T>
Result<Value> ApiFailed(const net::Fetched &fetched, const Result<T> &read, Attempt &attempt)
{
    attempt.fetched = fetched;
    const QString problem = fetched.report.failure == net::Failure::None ? ApiProblemText(fetched.body) : QString();
    if (!problem.isEmpty())
        return Result<Value>::Failure(Outcome::Absent, QStringLiteral("problem"), problem);
    if (fetched.report.failure != net::Failure::None || fetched.report.httpStatus >= 400)
        return Result<Value>::Failure(Outcome::Absent, QStringLiteral("not-answered"), net::NotAnsweredWords(fetched));
    return Result<Value>::Failure(read ? Outcome::Absent : read.outcome, read ? QStringLiteral("api") : read.rule,
                                  read.reason);
}

class ApiPoints {
public:
    ApiPoints(Place place, QString origin, std::optional<QString> kept, net::Download download,
              std::vector<KeepBody> &keep);

    // An API request to `url`, with the API's manners.
    net::Fetched Get(const QString &url) const;
    // The reply at the address that `address` takes from the points: the
    // points kept or asked; asked anew when that address of a kept reply
    // has gone. Nothing, with the failure in `failure` (its fetch in
    // `attempt`), when the points could not be had.
    template <typename Value>
    std::optional<net::Fetched> Fetch(const std::function<QString(const ApiPoint &)> &address, Attempt &attempt,
                                      Result<Value> &failure)
    {
        Result<ApiPoint> point = Points(attempt, pointsFailure_);
        if (!point)
            return Failed(failure);
        if (address(point.value).isEmpty()) {
            failure = Result<Value>::Failure(Outcome::Absent, QStringLiteral("no-address"),
                                             QStringLiteral("the points reply names no address for it"));
            return std::nullopt;
        }
        net::Fetched fetched = Get(address(point.value));
        if (kept_ && Moved(fetched)) {
            kept_.reset();
            point = Points(attempt, pointsFailure_);
            if (!point)
                return Failed(failure);
            fetched = Get(address(point.value));
        }
        return fetched;
    }
    const ApiPoint &Point() const { return point_; }

    // The reply at the address `address` takes from the points, read by
    // `read` and, when read, kept under `keepName` (empty: not kept); the
    // API's words of why when it gives none.
    template <typename Value, typename Read>
    Result<Value> ReadFrom(const std::function<QString(const ApiPoint &)> &address, Attempt &attempt, const Read &read,
                           const QString &keepName = QString())
    {
        Result<Value> value;
        const std::optional<net::Fetched> fetched = Fetch<Value>(address, attempt, value);
        if (!fetched)
            return value;
        value = read(fetched->body);
        if (!value || fetched->report.httpStatus >= 400)
            return ApiFailed<Value>(*fetched, value, attempt);
        if (!keepName.isEmpty())
            keep_.push_back({keepName, fetched->body});
        return value;
    }

private:
    static bool Moved(const net::Fetched &fetched);
    Result<ApiPoint> Points(Attempt &attempt, Result<int> &failure);
    template <typename Value>
    std::optional<net::Fetched> Failed(Result<Value> &failure) const
    {
        failure = Result<Value>::FailureOf(pointsFailure_);
        return std::nullopt;
    }

    Place place_;
    QString origin_;
    std::optional<QString> kept_;
    net::Download download_;
    std::vector<KeepBody> &keep_;
    ApiPoint point_;
    Result<int> pointsFailure_;
};
