#pragma once

#include "common/DateValue.h"
#include "common/Result.h"
#include "forecast/Extraction.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

// What the window shows of an extracted forecast: label, text box, list rows
// and title, composed as plain data for the window to apply.

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
    QString tip = {};          // the row's tooltip and accessible description; empty: none
    QString description = {};  // its accessible description when that is not the tooltip
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
};

// Failed when the composition stopped on a run-time error (the pressure
// conversion): the view's label and text box then hold what was composed
// before it, the list is not touched, and only the closing step follows.
Result<ForecastView> ComposeForecastView(const ForecastExtraction &extraction, const DisplayInputs &inputs,
                                 const QLocale &locale = QLocale::system());

// " ", " ", " ", " ", "Moonrise tomorrow " + text.
ListRow MoonriseRow(const QString &moonriseTomorrowText);

// Title after a refresh: the temperature text followed by the almanac title.
inline QString ForecastTitle(const QString &temperatureText, const QString &almanacTitle)
{
    return temperatureText + almanacTitle;
}
