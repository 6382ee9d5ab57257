#pragma once

#include "common/DateValue.h"
#include "common/Result.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The next hours of the forecast: the forecast page's digital forecast (or,
// when the page fails, the JSON API's hourly forecast) read into plain data,
// and the texts the hourly window shows of it. Pure functions, no I/O.

// A reply with more hours than this is refused: the service sends 168.
inline constexpr int kMostHours = 200;
// The table shows at most a week of hours.
inline constexpr int kMostTableRows = 168;

// One hour. A value the reply leaves out or marks nil has none: a gap,
// never zero.
struct HourValues {
    QDateTime start;   // with the reply's own offset from UTC
    QDateTime end;
    std::optional<double> temperature;   // °F
    std::optional<double> dewPoint;      // °F
    std::optional<double> windChill;     // °F
    std::optional<double> rainChance;    // percent
    std::optional<double> rainAmount;    // inches in the hour
    std::optional<double> windSpeed;     // mph, sustained
    std::optional<double> windGust;      // mph
    std::optional<double> windDirection; // degrees true, where it blows from
    std::optional<double> skyCover;      // percent
    std::optional<double> humidity;      // percent
    // The weather in words ("chance thunderstorms and rain"), made safe and
    // cut to 120 characters; empty when none.
    QString weather;
};

enum class HourlySource {
    Page,   // forecast.weather.gov's digital forecast
    Api,    // api.weather.gov's hourly forecast
};

struct HourlyForecast {
    std::vector<HourValues> hours;   // in time order, each after the one before
    QDateTime created;               // when the reply was made (invalid when it does not say)
    HourlySource source = HourlySource::Page;
};

// origin + "/MapClick.php?lat=" + latitude + "&lon=" + longitude +
// "&FcstType=digitalDWML"; the settings' texts go in as they are.
QString DigitalForecastQuery(const QString &origin, const QString &latitude, const QString &longitude);

// The forecast page's digital forecast (the reply text as the download hands
// it). The reply's text and tree are checked as the forecast reply's are
// (rules of WellFormed.h, NotLoaded). Its hours come from the first time
// layout whose key starts "k-p1h-" (the key's count is not to be trusted:
// "k-p1h-n1-0" holds 168 hours), each series naming that layout matched to
// them by position: a longer series is cut, a shorter one leaves gaps.
// Refused, NotLoaded: an empty reply (rule "empty"); more than kMostHours
// hours ("hour-count"); a start time that is not a date and time with its
// offset ("time"); an hour that does not follow the one before it or ends
// before it starts ("time-order"). A reply without an hourly layout, or
// with one of no hours, is Absent ("no-hours").
Result<HourlyForecast> ReadDigitalForecast(const QString &reply);

// The JSON API's hourly forecast (/gridpoints/W/X,Y/forecast/hourly),
// bounded and loaded as its other replies are (ApiForecast.h). Temperatures
// (°F, °C or a measured value) and dew points to °F, wind speeds ("10 mph",
// "5 to 10 mph": the higher; "4 km/h" to mph) and compass words to degrees;
// the chance of rain and the humidity when given; the short forecast as the
// weather. No amount of rain, sky cover or wind chill. Refused like the
// digital forecast ("hour-count", "time", "time-order"); no periods: Absent
// ("no-periods", or "problem" with the service's words).
Result<HourlyForecast> MapApiHourly(const QString &reply);

// The table's columns and their headers.
enum HourlyColumn { kTimeColumn, kTempColumn, kFeelsColumn, kDewColumn, kRainColumn, kAmountColumn, kWindColumn,
                    kSkyColumn, kWeatherColumn, kHourlyColumns };
const std::array<QString, kHourlyColumns> &HourlyHeaders();

struct HourlyRow {
    QDateTime start;
    std::array<QString, kHourlyColumns> cells;   // a gap is an empty cell
};

// The index of the first hour to show at `nowUtc`: the first that does not
// begin before the current hour's start (in that hour's own offset); the
// number of hours when every hour began before it.
size_t FirstCurrentHour(const HourlyForecast &forecast, const QDateTime &nowUtc);

// An hour's amount of rain as a figure: two decimals, halves up as the
// reply's figure reads ("0.0550" is "0.06"), whatever its nearest double.
QString AmountFigure(double inches);

// One row per hour from the current hour on, at most kMostTableRows:
// "Wed 3 PM" (in the hour's own offset), "79°F", wind chill "31°F", dew point
// "55°F", "80%", "0.12 in" (halves up, "0.00 in" for none), "SW 10 mph" with
// ", gusts 25" when a gust is given, "calm" below half a mile an hour,
// "75%", the weather words.
std::vector<HourlyRow> HourlyTable(const HourlyForecast &forecast, const QDateTime &nowUtc,
                                   const QLocale &locale = QLocale::system());

// Every value of one hour in a line, for the chart's focus hour:
// "Wed 3 PM: 79°F, feels 31°F, dew point 55°F, humidity 60%, rain 80%
// (0.12 in), wind SW 10 mph, gusts 25, sky 75%, chance thunderstorms";
// gaps are left out.
QString HourDetails(const HourValues &hour, const QLocale &locale = QLocale::system());

// The next 24 hours from the current hour in two sentences: "High 79°F at 3
// PM, low 56°F at 5 AM." (the first hour of each) and "Rain chance up to
// 80% from 2 PM to 6 PM." (the first run of hours at that chance). When
// every chance given is 0: "No rain expected."; when none is given, nothing
// on rain; without temperatures "No temperatures given."; with no hours
// left "No hourly forecast for the next 24 hours."
QString HourlySummary(const HourlyForecast &forecast, const QDateTime &nowUtc,
                      const QLocale &locale = QLocale::system());

// Where the hours came from and when they were fetched (local wall-clock
// time): "From forecast.weather.gov, fetched 10:05 AM" (or api.weather.gov);
// hours kept from an earlier run carry the date and "(kept)":
// "From forecast.weather.gov, fetched Dec 6 10:05 AM (kept)".
QString HourlySourceLine(HourlySource source, DateValue fetched, bool kept,
                         const QLocale &locale = QLocale::system());
