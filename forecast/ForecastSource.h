#pragma once

#include "forecast/ApiPoints.h"
#include "forecast/Extraction.h"

#include <QString>

#include <optional>

// Where a place's forecast comes from: the forecast page, then, when the page
// gives none, the weather service's JSON API (its points, the forecast, the
// first station's latest observation). The chain fetches and reads; the
// window logic applies the outcome.

// The first station kept for the place, beside the points reply, when young
// enough to use; the API asks for either only when missing.
struct ForecastAsk : PageAndApiAsk {
    std::optional<QString> keptStation;
};

// Names of the replies the chain hands back to keep: the page's forecast,
// the points reply and the station ("id\nname").
inline const QString kKeepForecast = QStringLiteral("forecast");
inline const QString kKeepStation = QStringLiteral("station");

// The page is the first source; a reply of the page that arrived but holds
// no forecast (or none arrived) passes on to the API, a reply that names a
// forecast but cannot be read does not. The outcome's source is the page's
// host or the API's.
ChainOutcome<ForecastExtraction> FetchForecast(const ForecastAsk &ask, const net::Download &download);
