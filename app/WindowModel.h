#pragma once

#include "alerts/AlertText.h"
#include "almanac/Almanac.h"
#include "common/Place.h"
#include "forecast/Display.h"
#include "forecast/Extraction.h"
#include "startup/FormState.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

inline const QString kStartTitle = QStringLiteral("Selvorra Boulder City");
// Tomorrow's moonrise when the moon does not rise that day.
inline const QString kNoMoonrise = QStringLiteral(" (none)");

// The strip above the list: the service's alerts, or the forecast page's
// hazards, with a note when the alerts could not be checked for a while.
struct WarningsStrip {
    QString text;                  // empty: no strip
    QString toolTip;
    QString description;           // what a screen reader says of it
    AlertIcon icon = AlertIcon::Warning;
    std::vector<Alert> alerts;     // activating one opens its window,
    std::vector<Hazard> hazards;   // or, without alerts, a hazard's page
    bool operator==(const WarningsStrip &) const = default;
};

// What the alerts' watch has for the strip at one moment.
struct AlertsShown {
    std::vector<Alert> active;   // in force, in their order
    bool current = false;        // the service answered within the last 10 minutes
    bool outside = false;        // the place lies outside the service's area
    QString note;                // "Warnings could not be checked since 10:05 AM", or empty
    QString reason;              // why not, in words
};

// Everything the window shows, as plain data: the window draws exactly this.
struct WindowView {
    bool shown = false;
    QString title = kStartTitle;
    int icon = 0;                 // picture of the image list; 0 for the sun
    QString label;                // the temperature label
    QString text1;                // the text box, CR LF line ends
    bool columns = false;         // the list's five columns are there
    std::vector<ListRow> rows;
    bool timerOn = true;
    WarningsStrip warnings;
    bool operator==(const WindowView &) const = default;
};

// What the last forecast refreshes left for the window.
struct ForecastShown {
    QString label;
    QString conditions;    // the text box's lines after the sun and moon
    QString temperature;   // the title's first part; empty after a reply that could not be read
    std::vector<ListRow> rows;   // the seven forecast rows; empty: no forecast on show
    std::array<QDateTime, 8> starts;   // [1]..[7]: when each row's period begins
    std::vector<Hazard> hazards;
    // For its refresh-time row: when it was refreshed, fetched and issued,
    // and where it came from when not from the forecast page.
    std::optional<DateValue> time;
    QDateTime fetchedUtc;
    QDateTime issued;
    QString source;
};

// The form state and what the window shows, with the steps that apply what
// the sources gave: plain data, no platform. Whatever changes, Compose()
// makes the view anew from the parts:
//   - the text box: the sun/moon lines, then the forecast's conditions;
//   - the title: the temperature, then the sun/moon title ("Selvorra Boulder
//     City" while there is neither);
//   - the rows, once the list has its columns: the forecast's seven, the
//     full moon, tomorrow's moonrise, and the refresh times, each of
//     another date than today's with its date;
//   - the strip: the service's alerts in force while it answered within the
//     last 10 minutes (none: no strip), else the page's hazards, after the
//     note that the alerts could not be checked; nothing for a place outside
//     the service's area.
class WindowModel {
public:
    FormState state;
    WindowView view;
    ForecastShown forecast;
    // The last sun/moon refresh that went through (what its time row shows).
    std::optional<DateValue> almanacSuccess;
    AlertsShown alerts;

    Place PlaceNow() const { return Place{state.Latitude, state.Longitude, state.QueryExtra}; }

    // The day's sun and moon for `date` (the observatory's, or computed and
    // so marked), with the picture; a moonrise on show that is not the next
    // day's gives way to the one computed for it.
    void ShowAlmanac(const AlmanacTexts &texts, bool computed, DateValue date);
    // The values computed here for `now`'s date, unless values made for the
    // place and date are on show.
    void ShowComputedSky(DateValue now);
    // Tomorrow's moonrise (empty: the moon does not rise that day).
    void ShowMoonrise(const QString &moonrise, bool computed, DateValue date);
    // Whether the moonrise on show is the observatory's for the place and date.
    bool ObservatoryMoonrise(DateValue date) const;
    // An extracted forecast refreshed at `time`; the reason when its
    // composition stopped (only the label, the conditions and the title's
    // temperature then change), else empty.
    QString ShowForecast(const ForecastExtraction &extraction, DateValue time, const QDateTime &fetchedUtc,
                         const QString &source);
    // A new place: its forecast rows, warnings and refresh times start over.
    void StartOver();

    void Compose(DateValue now);

private:
    struct Made {
        QString place;
        DateValue date = 0;
        bool observatory = false;
        bool operator==(const Made &) const = default;
    };
    bool MadeFor(const std::optional<Made> &made, DateValue date) const;
    std::optional<Made> almanacMade_;
    std::optional<Made> moonriseMade_;
};
