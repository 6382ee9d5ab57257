#pragma once

#include "common/DateValue.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

namespace pugi {
class xml_node;
}

// The forecast refresh in plain functions: query text, reply text to an
// extraction result, extraction result to what the window shows.

inline const QString kForecastOrigin = QStringLiteral("https://forecast.weather.gov");

// origin + "/MapClick.php?lat=" + latitude + "&lon=" + longitude +
// "&unit=0&lg=english&FcstType=dwml"; the location texts go in as they are.
QString ForecastQuery(const QString &origin, const QString &latitude, const QString &longitude);

// Flattens one element: its attribute values, then its single text or the
// flattened strings of its child elements, joined by "|".
QString NodeText(const pugi::xml_node &element);
// The same as UTF-8, as the parser holds its values.
std::string NodeTextUtf8(const pugi::xml_node &element);

// Rows 0-10 by columns 0-7; row 0 and columns 5-7 stay empty.
using PeriodTable = std::array<std::array<QString, 8>, 11>;

struct ForecastExtraction {
    PeriodTable periods;
    bool nightFirst = false; // its final value after the scans
    QString stationText;
    QString apparentTemp;
    QString dewPointText;
    QString humidityText;
    QString windSpeedText;
    QString pressureText;
};

enum class ForecastOutcome {
    NoForecast, // the reply lacks "Daily Minimum": show the message, change nothing
    NotLoaded,  // the reply does not parse: only the closing step runs
    Extracted,  // scans done: display the extraction
};

struct ForecastStages {
    ForecastOutcome outcome = ForecastOutcome::NoForecast;
    ForecastExtraction extraction;
};

inline const QString kNoForecastMessage = QStringLiteral("No forecast for this location available.");

// Classifies the reply, loads it and runs both scans. A 16-bit overflow, an
// eleventh row, a look-ahead or observation offset past the last field, or a
// root child that is not an element raises RuntimeError.
ForecastStages ExtractForecastReply(const QString &reply);

// What the display reads from the form state and the timer.
struct DisplayInputs {
    QString almanacText;
    QString almanacTitle;
    DateValue nextFullMoon = 0;
    DateValue lastAlmanacTime = 0;
    DateValue lastForecastTime = 0;
    bool timerEnabled = true;
};

struct ListRow {
    QString text;
    QStringList subItems;
    bool operator==(const ListRow &) const = default;
};

struct ForecastView {
    QString temperatureText; // apparent temperature, degree sign, "F"
    QString labelText;       // three spaces and the temperature text
    QString text1;           // the text box: almanac text, four labelled lines, station
    // The seven forecast rows and the full-moon row; tomorrow's moonrise is
    // fetched after these are shown, so its row comes from MoonriseRow().
    std::vector<ListRow> rows;
    std::vector<ListRow> timeRows; // two refresh times, or "(auto off)"
    // Set when the composition stopped on a run-time error (the pressure
    // conversion): label and text box hold what was composed before it, the
    // list is not touched, and only the closing step follows.
    bool failed = false;
    QString failure;
};

ForecastView ComposeForecastView(const ForecastExtraction &extraction, const DisplayInputs &inputs,
                                 const QLocale &locale = QLocale::system());

// " ", " ", " ", " ", "Moonrise tomorrow " + text.
ListRow MoonriseRow(const QString &moonriseTomorrowText);

// Title after a refresh: the temperature text followed by the almanac title.
inline QString ForecastTitle(const QString &temperatureText, const QString &almanacTitle)
{
    return temperatureText + almanacTitle;
}
