#include "forecast/HourlySource.h"

#include <QUrl>

namespace {

class DigitalPageSource : public Source<HourlyForecast, HourlyAsk> {
public:
    QString Name(const HourlyAsk &ask) const override { return QUrl(ask.pageOrigin).host(); }

    Result<HourlyForecast> Ask(const HourlyAsk &ask, const net::Download &download, Attempt &attempt,
                               std::vector<KeepBody> &keep) override
    {
        const QString query = DigitalForecastQuery(ask.pageOrigin, ask.place.latitude, ask.place.longitude);
        return FetchAndRead<HourlyForecast>(download, net::Request{query}, attempt, keep, kKeepHourly,
                                            [](const QString &reply) { return ReadDigitalForecast(reply); });
    }

    // Hours that arrived but cannot be read are reported as such.
    bool PassesOn(const Result<HourlyForecast> &failure) const override { return failure.outcome == Outcome::Absent; }
};

// The API's hourly forecast, at the address its points reply names.
class ApiHourlySource : public Source<HourlyForecast, HourlyAsk> {
public:
    QString Name(const HourlyAsk &ask) const override { return QUrl(ask.apiOrigin).host(); }

    Result<HourlyForecast> Ask(const HourlyAsk &ask, const net::Download &download, Attempt &attempt,
                               std::vector<KeepBody> &keep) override
    {
        return ApiPoints(ask.place, ask.apiOrigin, ask.keptPoints, download, keep)
            .ReadFrom<HourlyForecast>([](const ApiPoint &point) { return point.forecastHourlyUrl; }, attempt,
                                      [](const QString &reply) { return MapApiHourly(reply); }, kKeepHourlyApi);
    }
};

} // namespace

ChainOutcome<HourlyForecast> FetchHourly(const HourlyAsk &ask, const net::Download &download)
{
    DigitalPageSource page;
    ApiHourlySource api;
    return AskInTurn<HourlyForecast, HourlyAsk>({&page, &api}, ask, download);
}
