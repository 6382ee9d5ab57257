#pragma once

#include <vector>

// The positions behind the rise, set and phase values (Meeus, Astronomical
// Algorithms, 2nd ed.). Not for the program's other parts: they use Sky.h.
namespace sky::detail {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kRadPerDeg = kPi / 180.0;

double SinDeg(double degrees);
double CosDeg(double degrees);
// Into [0, 360).
double Normalize360(double degrees);

// Julian day at 0h UT of a proleptic Gregorian date; a day or month beyond
// its end runs on into the next.
double JulianDayAtMidnight(int year, int month, int day);

// Terrestrial Time minus Universal Time in seconds (Espenak and Meeus).
double DeltaTSeconds(double jdUt);

// Julian centuries of Terrestrial Time from J2000.0.
double CenturiesTt(double jdUt);

struct Nutation {
    double longitude; // degrees (delta psi)
    double obliquity; // degrees (delta epsilon)
    double trueObliquity; // degrees: the mean obliquity plus delta epsilon
};
Nutation NutationAt(double centuriesTt);

// Greenwich apparent sidereal time in degrees, [0, 360).
double ApparentSiderealTime(double jdUt, const Nutation &nutation);

// An apparent geocentric place: ecliptic of date, degrees.
struct EclipticPlace {
    double longitude;
    double latitude;
    double distanceKm;
};
EclipticPlace SunPlace(double centuriesTt, const Nutation &nutation);
EclipticPlace MoonPlace(double centuriesTt, const Nutation &nutation);

struct EquatorialPlace {
    double rightAscension; // degrees
    double declination;    // degrees
};
EquatorialPlace ToEquatorial(const EclipticPlace &place, double obliquity);

// The Moon's elongation east of the Sun in apparent longitude, [0, 360):
// 0 at new moon, 90 at first quarter, 180 at full, 270 at last quarter.
double MoonElongation(double jdUt);

// The illuminated fraction of the Moon's disc, 0..1.
double MoonIlluminatedFraction(double jdUt);

struct PrincipalPhase {
    double jdUt;
    int quarter; // 0 new, 1 first quarter, 2 full, 3 last quarter
};
// Every new moon, quarter and full moon in [jdUtFrom, jdUtTo), to well
// under a second.
std::vector<PrincipalPhase> PrincipalPhasesBetween(double jdUtFrom, double jdUtTo);

} // namespace sky::detail
