#include "forecast/ForecastSource.h"

#include "forecast/ApiForecast.h"
#include "forecast/ForecastQuery.h"

#include <QUrl>

namespace {

QString HostOf(const QString &origin)
{
    return QUrl(origin).host();
}

// The forecast page: its reply read by the page's own scans.
class PageSource : public Source<ForecastExtraction, ForecastAsk> {
public:
    QString Name(const ForecastAsk &ask) const override { return HostOf(ask.pageOrigin); }

    Result<ForecastExtraction> Ask(const ForecastAsk &ask, const net::Download &download, Attempt &attempt,
                                   std::vector<KeepBody> &keep) override
    {
        const QString query = ForecastQuery(ask.pageOrigin, ask.place.latitude, ask.place.longitude);
        return FetchAndRead<ForecastExtraction>(download, net::Request{query}, attempt, keep, kKeepForecast,
                                                [](const QString &reply) { return ExtractForecastReply(reply); });
    }

    // A reply that names a forecast but cannot be read is reported as such;
    // the API is asked only when the page has none for the place.
    bool PassesOn(const Result<ForecastExtraction> &failure) const override
    {
        return failure.outcome == Outcome::Absent;
    }
};

// What one request to the API came to, in words: the download's failure,
// the service's own words for its error, its error status, or what the
// reading of the reply said.
template <typename T>
Result<ForecastExtraction> ApiFailed(const net::Fetched &fetched, const Result<T> &read, Attempt &attempt)
{
    attempt.fetched = fetched;
    const QString problem = fetched.report.failure == net::Failure::None ? ApiProblemText(fetched.body) : QString();
    if (!problem.isEmpty())
        return Result<ForecastExtraction>::Failure(Outcome::Absent, QStringLiteral("problem"), problem);
    if (fetched.report.failure != net::Failure::None || fetched.report.httpStatus >= 400)
        return Result<ForecastExtraction>::Failure(Outcome::Absent, QStringLiteral("not-answered"),
                                                   net::NotAnsweredWords(fetched));
    return Result<ForecastExtraction>::Failure(read ? Outcome::Absent : read.outcome, read ? QStringLiteral("api") : read.rule,
                                               read.reason);
}

// An address of a kept points reply that the service no longer knows (it
// answered with an error status, not a dropped connection): the grid has
// moved, and a new points reply names the new address.
bool Moved(const net::Fetched &fetched)
{
    return fetched.report.failure == net::Failure::None && fetched.report.httpStatus >= 400;
}

// The weather service's JSON API: where the place's forecast and stations
// are (kept, or asked), the forecast, then the first station's latest
// observation as the current conditions.
class ApiSource : public Source<ForecastExtraction, ForecastAsk> {
public:
    QString Name(const ForecastAsk &ask) const override { return HostOf(ask.apiOrigin); }

    Result<ForecastExtraction> Ask(const ForecastAsk &ask, const net::Download &download, Attempt &attempt,
                                   std::vector<KeepBody> &keep) override
    {
        const std::optional<QString> path = ApiPointsPath(ask.place.latitude, ask.place.longitude);
        if (!path)
            return Result<ForecastExtraction>::Failure(Outcome::NotLoaded, QStringLiteral("place"),
                                                       QStringLiteral("the settings name no point it knows"));
        const auto get = [&](const QString &url) { return download(ApiRequest(url, ask.apiOrigin)); };
        Result<ApiPoint> point = ask.keptPoints ? ReadApiPoint(*ask.keptPoints, ask.apiOrigin) : Result<ApiPoint>{};
        bool pointKept = bool(point);
        const auto askPoints = [&]() -> std::optional<Result<ForecastExtraction>> {
            const net::Fetched fetched = get(ask.apiOrigin + *path);
            point = ReadApiPoint(fetched.body, ask.apiOrigin);
            if (!point || fetched.report.httpStatus >= 400)
                return ApiFailed(fetched, point, attempt);
            keep.push_back({kKeepPoints, fetched.body});
            pointKept = false;
            return std::nullopt;
        };
        if (!pointKept)
            if (auto failed = askPoints())
                return *failed;

        net::Fetched fetched = get(point.value.forecastUrl);
        if (pointKept && Moved(fetched)) {
            if (auto failed = askPoints())
                return *failed;
            fetched = get(point.value.forecastUrl);
        }
        Result<ForecastExtraction> forecast = MapApiForecast(fetched.body);
        if (!forecast || fetched.report.httpStatus >= 400)
            return ApiFailed(fetched, forecast, attempt);
        AddObservation(ask, get, point.value, keep, forecast.value);
        return forecast;
    }

private:
    // The first station, kept with the points; its latest observation is the
    // current conditions. Without them the forecast still shows.
    template <typename Get>
    static void AddObservation(const ForecastAsk &ask, const Get &get, const ApiPoint &point,
                               std::vector<KeepBody> &keep, ForecastExtraction &forecast)
    {
        ApiStation station;
        if (ask.keptStation && ask.keptStation->count(QLatin1Char('\n')) == 1) {
            station.id = ask.keptStation->section(QLatin1Char('\n'), 0, 0);
            station.name = ask.keptStation->section(QLatin1Char('\n'), 1, 1);
        } else {
            const net::Fetched fetched = get(point.stationsUrl);
            const Result<ApiStation> first = ReadFirstStation(fetched.body);
            if (!first || fetched.report.httpStatus >= 400)
                return;
            station = first.value;
            keep.push_back({kKeepStation, station.id + QLatin1Char('\n') + station.name});
        }
        const net::Fetched fetched = get(ask.apiOrigin + ApiLatestObservationPath(station));
        const Result<ForecastExtraction> observed = MapApiObservation(fetched.body, station, forecast);
        if (observed && fetched.report.httpStatus < 400)
            forecast = observed.value;
    }
};

} // namespace

ChainOutcome<ForecastExtraction> FetchForecast(const ForecastAsk &ask, const net::Download &download)
{
    PageSource page;
    ApiSource api;
    return AskInTurn<ForecastExtraction, ForecastAsk>({&page, &api}, ask, download);
}

net::Request ApiRequest(const QString &url, const QString &origin)
{
    net::Request request;
    request.url = url;
    request.userAgent = QByteArrayLiteral("Selvorra/" SELVORRA_VERSION
                                          " (https://github.com/selvorra/selvorra; selvorra@users.noreply.github.com)");
    request.headers.append(QByteArrayLiteral("Accept: application/geo+json"));
    request.redirectPrefix = origin + QLatin1Char('/');
    return request;
}
