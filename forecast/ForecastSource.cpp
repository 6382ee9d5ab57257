#include "forecast/ForecastSource.h"

#include "forecast/ApiPoints.h"
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

// The weather service's JSON API: where the place's forecast and stations
// are (kept, or asked), the forecast, then the first station's latest
// observation as the current conditions.
class ApiSource : public Source<ForecastExtraction, ForecastAsk> {
public:
    QString Name(const ForecastAsk &ask) const override { return HostOf(ask.apiOrigin); }

    Result<ForecastExtraction> Ask(const ForecastAsk &ask, const net::Download &download, Attempt &attempt,
                                   std::vector<KeepBody> &keep) override
    {
        ApiPoints points(ask.place, ask.apiOrigin, ask.keptPoints, download, keep);
        Result<ForecastExtraction> forecast = points.ReadFrom<ForecastExtraction>(
            [](const ApiPoint &point) { return point.forecastUrl; }, attempt,
            [](const QString &reply) { return MapApiForecast(reply); });
        if (forecast)
            AddObservation(ask, points, keep, forecast.value);
        return forecast;
    }

private:
    // The first station, kept with the points; its latest observation is the
    // current conditions. Without them the forecast still shows.
    static void AddObservation(const ForecastAsk &ask, const ApiPoints &points, std::vector<KeepBody> &keep,
                               ForecastExtraction &forecast)
    {
        ApiStation station;
        if (ask.keptStation && ask.keptStation->count(QLatin1Char('\n')) == 1) {
            station.id = ask.keptStation->section(QLatin1Char('\n'), 0, 0);
            station.name = ask.keptStation->section(QLatin1Char('\n'), 1, 1);
        } else {
            const net::Fetched fetched = points.Get(points.Point().stationsUrl);
            const Result<ApiStation> first = ReadFirstStation(fetched.body);
            if (!first || fetched.report.httpStatus >= 400)
                return;
            station = first.value;
            keep.push_back({kKeepStation, station.id + QLatin1Char('\n') + station.name});
        }
        const net::Fetched fetched = points.Get(ask.apiOrigin + ApiLatestObservationPath(station));
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
