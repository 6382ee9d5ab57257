#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

// Full moons from the mean lunation plus the periodic terms of the classic
// lunar-phase series (Meeus, Astronomical Algorithms, chapter 49). The result
// is good to about a minute for this century, far finer than the table needs.
namespace moonphase {

// Julian Ephemeris Day (Terrestrial Time) of the full moon of lunation `k`;
// lunation 0 is the one that starts with the new moon of 6 January 2000.
double FullMoonJde(int k);

// Terrestrial Time minus Universal Time in seconds. Near 69 s since 2017 and
// creeping slowly; a fixed estimate keeps the table within a minute or so.
double DeltaTSeconds(double jde);

// The full moon of lunation `k` in UTC, rounded to the nearest minute.
QDateTime FullMoonUtc(int k);

// Every full moon whose local date in `zone` falls in the years
// `fromYear`..`toYear`, in ascending order, as UTC instants.
QList<QDateTime> FullMoonsInYears(const QTimeZone &zone, int fromYear, int toYear);

// The table: one header line that names the years, the zone and the line form,
// then one "yyyy-mm-dd hh:mm" local time per line; every line ends with CR LF.
QString FullMoonTableText(const QTimeZone &zone, int fromYear, int toYear);

// Years the tool accepts: the series and the fixed time-offset estimate hold
// to a few minutes across this range.
inline constexpr int kFirstYear = 1900;
inline constexpr int kLastYear = 2100;

} // namespace moonphase
