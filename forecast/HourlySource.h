#pragma once

#include "forecast/ApiPoints.h"
#include "forecast/Hourly.h"

#include <QString>

// Where the next hours come from: the forecast page's digital forecast,
// then, when the page gives none (an HTTP error, an empty answer, a reply
// without hours, a failed download), the JSON API's hourly forecast, at the
// address its points reply names.

using HourlyAsk = PageAndApiAsk;

// Names of the replies the chain hands back to keep: each source's hours.
inline const QString kKeepHourly = QStringLiteral("hourly");
inline const QString kKeepHourlyApi = QStringLiteral("hourly-api");

ChainOutcome<HourlyForecast> FetchHourly(const HourlyAsk &ask, const net::Download &download);
