// One local day's values, as the window shows them.
#include "sky/Ephemeris.h"
#include "sky/Sky.h"

#include <algorithm>
#include <cmath>

namespace sky {

namespace {

// The events that fall in the day starting at `midnight`, as minutes after
// it. The observatory rounds a time to the second before it rounds it to the
// minute (06:43:29.6 prints as 06:44); doing the same matches its yearly
// tables a little more often than one rounding. An event that rounds up to
// 24:00 belongs to the next day as 00:00, as on the observatory's page.
void Minutes(const std::vector<Event> &events, double midnight, std::vector<int> &rises,
             std::vector<int> &sets)
{
    for (const Event &e : events) {
        const double minute = std::floor((std::round((e.jdUt - midnight) * 86400.0) + 30.0) / 60.0);
        if (!(minute >= 0 && minute < 1440))
            continue;
        (e.rise ? rises : sets).push_back(static_cast<int>(minute));
    }
}

double Finite(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

const char *const kQuarterNames[4] = {"New Moon", "First Quarter", "Full Moon", "Last Quarter"};

} // namespace

DayValues ComputeDay(double latitude, double longitude, double utcOffsetHours, LocalDate date)
{
    using namespace detail;
    latitude = std::clamp(Finite(latitude), -90.0, 90.0);
    longitude = Normalize360(Finite(longitude) + 180.0) - 180.0;
    // No place on Earth is more than a day from UTC; a larger offset is a
    // mistake that must not move the date by whole days.
    utcOffsetHours = std::clamp(Finite(utcOffsetHours), -24.0, 24.0);

    const double midnight = JulianDayAtMidnight(date.year, date.month, date.day) - utcOffsetHours / 24.0;
    // An hour's margin each side, so that the scan's ends fall away from the day.
    const double from = midnight - 1.0 / 24.0, to = midnight + 1.0 + 1.0 / 24.0;

    DayValues day;
    Minutes(RiseSetBetween(Body::Sun, latitude, longitude, from, to), midnight, day.sunrises,
            day.sunsets);
    Minutes(RiseSetBetween(Body::Moon, latitude, longitude, from, to), midnight, day.moonrises,
            day.moonsets);

    const double noon = midnight + 0.5;
    const double fraction = MoonIlluminatedFraction(noon);
    day.fractionPercent = static_cast<int>(std::lround(fraction * 100.0));

    // A new moon, quarter or full moon between local midnight and noon names
    // the day. The elongation only ever grows, by well under 90 degrees in
    // half a day, so a change of quadrant between the two instants is that
    // phase.
    const double e0 = MoonElongation(midnight), e1 = MoonElongation(noon);
    const int q0 = static_cast<int>(e0 / 90.0) % 4, q1 = static_cast<int>(e1 / 90.0) % 4;
    if (q0 != q1) {
        day.phaseWord = kQuarterNames[q1];
    } else {
        day.phaseWord = e1 < 180.0 ? "Waxing " : "Waning ";
        day.phaseWord += fraction < 0.5 ? "Crescent" : "Gibbous";
    }
    return day;
}

} // namespace sky
