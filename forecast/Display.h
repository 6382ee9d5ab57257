#pragma once

#include "common/DateValue.h"
#include "common/Result.h"
#include "forecast/Extraction.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What the window shows of an extracted forecast: label, text box, list rows
// and title, composed as plain data for the window to apply.

// What the display reads from the form state, the timer and the refreshes.
struct DisplayInputs {
    QString almanacText;
    QString almanacTitle;
    DateValue nextFullMoon = 0;
    // The last refresh of each service that went through; none yet: "(not yet)".
    std::optional<DateValue> lastAlmanacTime;
    std::optional<DateValue> lastForecastTime;
    // Today's date: a refresh time of another date carries its date ("Dec 6
    // 10:00 AM"); none: no time does.
    std::optional<DateValue> today;
    bool timerEnabled = true;
    // Where the forecast came from when not from the page ("api.weather.gov"),
    // and when it was fetched: an issue more than 12 hours before that is
    // marked on its time row.
    QString forecastSource;
    QDateTime forecastFetchedUtc;
};

struct ListRow {
    QString text;
    QStringList subItems;
    QString tip = {};          // the row's tooltip and accessible description; empty: none
    QString description = {};  // its accessible description when that is not the tooltip
    bool operator==(const ListRow &) const = default;
};

struct ForecastView {
    QString temperatureText; // apparent temperature, degree sign, "F"
    QString labelText;       // three spaces and the temperature text
    QString text1;           // the text box: almanac text, four labelled lines, station
    // The seven forecast rows, each with its period's whole worded forecast
    // as its tip, and the full-moon row; tomorrow's moonrise is fetched
    // after these are shown, so its row comes from MoonriseRow().
    std::vector<ListRow> rows;
    // Two refresh times, or "(auto off)". The forecast's says where the
    // forecast came from when not from the page, carries the stale mark
    // (" (forecast issued 2 days ago)") and, as its tip, when the forecast
    // was issued ("Forecast issued Tue, Mar 17 11:07 AM", in the reply's own
    // zone).
    std::vector<ListRow> timeRows;
};

// Failed when the composition stopped on a run-time error (the pressure
// conversion): the view's label and text box then hold what was composed
// before it, the list is not touched, and only the closing step follows.
Result<ForecastView> ComposeForecastView(const ForecastExtraction &extraction, const DisplayInputs &inputs,
                                 const QLocale &locale = QLocale::system());

// " ", " ", " ", " ", "Moonrise tomorrow " + text.
ListRow MoonriseRow(const QString &moonriseTomorrowText);

// " ", " ", " ", " ", "Full Moon " + the date in long form.
ListRow FullMoonRow(DateValue nextFullMoon, const QLocale &locale = QLocale::system());

// The two refresh-time rows (or "(auto off)") for a forecast issued at
// `issued` (invalid: unknown), as ComposeForecastView gives them.
std::vector<ListRow> TimeRows(const QDateTime &issued, const DisplayInputs &inputs,
                              const QLocale &locale = QLocale::system());

// Title after a refresh: the temperature text followed by the almanac title.
inline QString ForecastTitle(const QString &temperatureText, const QString &almanacTitle)
{
    return temperatureText + almanacTitle;
}
