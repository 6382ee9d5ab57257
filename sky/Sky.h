#pragma once

#include <string>
#include <vector>

// The day's sun and moon values for one place, worked out here rather than
// asked of the Naval Observatory, by the observatory's own rules: a body
// rises or sets when its upper limb meets a level horizon under the standard
// 34' of refraction, seen from the place itself. Good to the observatory's
// minute from 1700 to 2150, the years for which the Earth's slowing rotation
// is well estimated. Plain C++, no I/O: every call is a pure computation.
namespace sky {

struct LocalDate {
    int year;
    int month;
    int day;
};

// Everything the window shows for one local date at one place.
struct DayValues {
    // Minutes after local midnight (0..1439), ascending, rounded as the
    // observatory prints them: to the second, then to the nearest minute.
    // Any list may be empty (polar day or night, a day without moonrise),
    // and the Moon may rise or set twice in one day. An event that rounds to
    // 24:00 is in the next day's list as 00:00, so consecutive days never
    // share one.
    std::vector<int> sunrises, sunsets, moonrises, moonsets;
    // The Moon's illuminated fraction at 12:00 local time, whole percent.
    int fractionPercent = 0;
    // "New Moon", "First Quarter", "Full Moon" or "Last Quarter" when that
    // instant falls on this date before local noon; otherwise "Waxing " or
    // "Waning " (by the Moon's elongation at noon) and "Crescent" or
    // "Gibbous" (by the fraction at noon).
    std::string phaseWord;
};

// latitude north positive, longitude east positive (degrees); utcOffsetHours
// is local time minus UTC and may be fractional (5.5, -3.5). Latitudes past
// the poles are taken as the pole, longitudes are wrapped, offsets beyond a
// day are taken as a day, and a value that is not a number is taken as 0.
// Dates are proleptic Gregorian; a day or month past its end runs on into
// the next (30 February 2025 is 2 March).
DayValues ComputeDay(double latitude, double longitude, double utcOffsetHours, LocalDate date);

enum class Body { Sun, Moon };

struct Event {
    double jdUt; // Julian day number, Universal Time
    bool rise;   // false: a set
};

// Every rise and set of `body` at the place in [jdUtFrom, jdUtTo), in time
// order, each to a fraction of a second. Spans beyond 200 years are cut
// there, so that a mistaken argument cannot run for hours.
std::vector<Event> RiseSetBetween(Body body, double latitude, double longitude, double jdUtFrom,
                                  double jdUtTo);

} // namespace sky
