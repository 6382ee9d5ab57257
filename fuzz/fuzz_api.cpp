// The weather service's JSON API replies: the points, the first station,
// the forecast's table and the observation, each read from the same input.
#include "FuzzInput.h"

#include "forecast/ApiForecast.h"
#include "forecast/Display.h"

namespace {

template <typename T>
void CheckRefusal(const Result<T> &read, const char *what)
{
    if (!read && (read.rule.isEmpty() || read.reason.isEmpty()))
        fuzzinput::Fail(what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    const QString origin = QStringLiteral("https://api.weather.gov");
    const Result<ApiPoint> point = ReadApiPoint(reply, origin);
    CheckRefusal(point, "a refused points reply without its rule and reason");
    // Only the service's own addresses are ever followed.
    if (point && (!point.value.forecastUrl.startsWith(origin + u'/') || !point.value.stationsUrl.startsWith(origin + u'/')))
        fuzzinput::Fail("an address off the service's origin", point.value.forecastUrl + u' ' + point.value.stationsUrl);
    const Result<ApiStation> station = ReadFirstStation(reply);
    CheckRefusal(station, "a refused stations reply without its rule and reason");
    const Result<ForecastExtraction> forecast = MapApiForecast(reply);
    CheckRefusal(forecast, "a refused forecast without its rule and reason");
    if (forecast) {
        // What the window makes of it must compose as a page's table does.
        const Result<ForecastView> view = ComposeForecastView(forecast.value, DisplayInputs{});
        if (view && view.value.rows.size() != 8)
            fuzzinput::Fail("forecast rows", QString::number(view.value.rows.size()));
        for (size_t r = 1; r < forecast.value.periodTexts.size(); ++r)
            if (forecast.value.periodTexts[r].size() > 1000)
                fuzzinput::Fail("a worded forecast past its bound");
    }
    const Result<ForecastExtraction> observed = MapApiObservation(reply, ApiStation{QStringLiteral("KXYZ"), QStringLiteral("X")},
                                                                  ForecastExtraction{});
    CheckRefusal(observed, "a refused observation without its rule and reason");
    if (ApiProblemText(reply).size() > 200)
        fuzzinput::Fail("problem words past their bound");
    return 0;
}
