#pragma once

#include "common/Result.h"
#include "forecast/Extraction.h"

#include <QString>

#include <optional>

// The forecast service's JSON interface, read into the same extraction the
// point-forecast page gives, for when that page cannot be had. Every reply is
// the text as the download hands it (one character a byte, through the code
// page); its bytes are read as UTF-8 JSON. A reply that is not JSON, nests
// deeper than kMaxApiNesting or holds more than kMaxApiContainers arrays and
// objects is NotLoaded (rule "json", "nesting" or "node-count"); JSON of
// another shape is Absent, with a rule naming what is missing, or the rule
// "problem" and the service's own words when the reply is one of its error
// replies (see ApiProblemText).

inline constexpr int kMaxApiNesting = 64;      // a real reply nests about eight levels
inline constexpr int kMaxApiPeriods = 1000;    // a real forecast has fourteen
inline constexpr long long kMaxApiContainers = 20000; // a real reply holds a few hundred

// The service's addresses for one place, from its points reply.
struct ApiPoint {
    QString forecastUrl;   // properties.forecast
    QString stationsUrl;   // properties.observationStations
    QString forecastHourlyUrl;   // properties.forecastHourly; empty when the reply names none
};

struct ApiStation {
    QString id;            // the first station's stationIdentifier (e.g. "KMYZ")
    QString name;          // its name (e.g. "Marysville Municipal Airport"), made safe, at most 100 characters
};

// "/points/{lat},{lon}" for the settings' latitude and longitude texts: each
// rounded to at most 4 decimals, as the service requires, without trailing
// zeros. Nothing when either is not a number or out of range (latitude
// -90..90, longitude -180..180).
std::optional<QString> ApiPointsPath(const QString &latitude, const QString &longitude);

// "/stations/{id}/observations/latest": where the station's latest
// observation is asked for.
QString ApiLatestObservationPath(const ApiStation &station);

// Both addresses of a points reply. An address is followed only when it
// starts with `origin` + "/" (origin e.g. "https://api.weather.gov"): one on
// another host or scheme is NotLoaded, rule "foreign-address"; one longer
// than 2048 characters or with a character outside printable ASCII is
// NotLoaded, rule "address". Either reason quotes the address, made safe and
// cut to 100 characters. Missing addresses: Absent, rule
// "no-forecast-address" or "no-stations-address". The hourly forecast's
// address is checked alike when the reply names one (the same rules); a
// reply without one leaves it empty.
Result<ApiPoint> ReadApiPoint(const QString &reply, const QString &origin);

// The first station of a stations reply. None: Absent, rule "no-station"; an
// identifier that is not 1 to 8 ASCII letters and digits: NotLoaded, rule
// "station-id". A station without a name is named by its identifier.
Result<ApiStation> ReadFirstStation(const QString &stationsReply);

// The forecast reply's periods as the point-forecast page's scans would have
// left them (see Extraction.h): when the first period is a night the reply is
// night-first. Column 0 holds the names (for a night-first reply the opening
// night's in row 1, then each day's), the temperature columns the nights'
// minima and the days' maxima in the reply's order (minima first for a
// night-first reply, maxima first otherwise), column 3 a row's chance of
// precipitation (the larger of its day's and the following night's; the
// opening night's alone) followed by "%", or empty when neither is given.
// Column 4, the condition summary, stays empty: the page's rule for cutting
// it lives with its scans. periodTexts holds each row's whole worded
// forecast (detailedForecast), made safe and cut to 1000 characters; issued the reply's
// updateTime (or "updated"). Temperatures are whole degrees Fahrenheit.
// No periods: Absent, rule "no-periods"; a period that is not an object with
// a true or false isDaytime: Absent, rule "period-shape"; more than
// kMaxApiPeriods: NotLoaded, rule "period-count". Names and chances fill rows
// 1-10, the other columns rows 1-7; later periods are left out.
Result<ForecastExtraction> MapApiForecast(const QString &forecastReply);

// The latest observation's values put into `into`: apparentTemp (the
// temperature) and dewPointText in whole degrees Fahrenheit, humidityText in
// whole percent, windSpeedText in whole knots, pressureText (the barometric
// pressure) in inches of mercury with two decimals, stationText the station's
// name. A value that is null, missing, in a unit not known here or beyond any
// weather on Earth gives an empty text. A reply that is not an observation
// (Absent, rule "no-observation") or not read leaves `into` as it was.
Result<ForecastExtraction> MapApiObservation(const QString &observationReply, const ApiStation &station,
                                             ForecastExtraction into);

// An error reply's words (application/problem+json): "<title>: <detail>", or
// the title alone when there is no detail or it repeats the title, made safe
// and cut to 200 characters. Empty when the reply is not one: not a JSON
// object with a text title and a numeric status.
QString ApiProblemText(const QString &reply);
