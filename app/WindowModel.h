#pragma once

#include "almanac/Almanac.h"
#include "common/Place.h"
#include "forecast/Display.h"
#include "forecast/Extraction.h"
#include "startup/FormState.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

inline const QString kStartTitle = QStringLiteral("Selvorra Boulder City");
// Tomorrow's moonrise when the moon does not rise that day.
inline const QString kNoMoonrise = QStringLiteral(" (none)");

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
    std::vector<Hazard> hazards;  // the warnings strip; empty: no strip
    bool operator==(const WindowView &) const = default;
};

// What the last forecast refreshes left for the window.
struct ForecastShown {
    QString label;
    QString conditions;    // the text box's lines after the sun and moon
    QString temperature;   // the title's first part; empty after a reply that could not be read
    std::vector<ListRow> rows;   // the seven forecast rows; empty: no forecast on show
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
//     another date than today's with its date.
class WindowModel {
public:
    FormState state;
    WindowView view;
    ForecastShown forecast;
    // The last sun/moon refresh that went through (what its time row shows).
    std::optional<DateValue> almanacSuccess;

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
