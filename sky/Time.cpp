// Time scales, nutation and sidereal time (Meeus chapters 7, 10, 12, 22).
#include "sky/Ephemeris.h"

#include <algorithm>
#include <cmath>

namespace sky::detail {

double SinDeg(double degrees)
{
    return std::sin(std::fmod(degrees, 360.0) * kRadPerDeg);
}

double CosDeg(double degrees)
{
    return std::cos(std::fmod(degrees, 360.0) * kRadPerDeg);
}

double Normalize360(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d < 0)
        d += 360.0;
    // fmod of a tiny negative value plus 360 can round to 360 itself.
    return d >= 360.0 ? 0.0 : d;
}

double JulianDayAtMidnight(int year, int month, int day)
{
    // Months past December (or before January) carry into the year first, so
    // that the calendar formula only ever sees 1..12; days simply add on.
    double y = static_cast<double>(year) + std::floor((static_cast<double>(month) - 1.0) / 12.0);
    double m = static_cast<double>(month) - 1.0 - 12.0 * std::floor((static_cast<double>(month) - 1.0) / 12.0) + 1.0;
    if (m <= 2) {
        y -= 1;
        m += 12;
    }
    const double a = std::floor(y / 100.0);
    const double b = 2 - a + std::floor(a / 4.0);
    return std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + 1.0 + b - 1524.5
        + (static_cast<double>(day) - 1.0);
}

double DeltaTSeconds(double jdUt)
{
    // The polynomials are written in the decimal year; see CenturiesTt for
    // the far past and future.
    const double y = std::clamp(2000.0 + (jdUt - 2451544.5) / 365.2425, -8000.0, 12000.0);
    // Outside the fitted centuries: the long-term parabola of tidal braking.
    const auto longTerm = [](double year) {
        const double u = (year - 1820.0) / 100.0;
        return -20.0 + 32.0 * u * u;
    };
    if (y < 1600.0)
        return longTerm(y);
    if (y < 1700.0) {
        const double t = y - 1600.0;
        return 120.0 - 0.9808 * t - 0.01532 * t * t + t * t * t / 7129.0;
    }
    if (y < 1800.0) {
        const double t = y - 1700.0;
        return 8.83 + 0.1603 * t - 0.0059285 * t * t + 0.00013336 * t * t * t
            - t * t * t * t / 1174000.0;
    }
    if (y < 1860.0) {
        const double t = y - 1800.0;
        const double t2 = t * t, t3 = t2 * t, t4 = t3 * t, t5 = t4 * t, t6 = t5 * t, t7 = t6 * t;
        return 13.72 - 0.332447 * t + 0.0068612 * t2 + 0.0041116 * t3 - 0.00037436 * t4
            + 0.0000121272 * t5 - 0.0000001699 * t6 + 0.000000000875 * t7;
    }
    if (y < 1900.0) {
        const double t = y - 1860.0;
        const double t2 = t * t, t3 = t2 * t, t4 = t3 * t, t5 = t4 * t;
        return 7.62 + 0.5737 * t - 0.251754 * t2 + 0.01680668 * t3 - 0.0004473624 * t4
            + t5 / 233174.0;
    }
    if (y < 1920.0) {
        const double t = y - 1900.0;
        return -2.79 + 1.494119 * t - 0.0598939 * t * t + 0.0061966 * t * t * t
            - 0.000197 * t * t * t * t;
    }
    if (y < 1941.0) {
        const double t = y - 1920.0;
        return 21.20 + 0.84493 * t - 0.076100 * t * t + 0.0020936 * t * t * t;
    }
    if (y < 1961.0) {
        const double t = y - 1950.0;
        return 29.07 + 0.407 * t - t * t / 233.0 + t * t * t / 2547.0;
    }
    if (y < 1986.0) {
        const double t = y - 1975.0;
        return 45.45 + 1.067 * t - t * t / 260.0 - t * t * t / 718.0;
    }
    if (y < 2005.0) {
        const double t = y - 2000.0;
        const double t2 = t * t, t3 = t2 * t, t4 = t3 * t, t5 = t4 * t;
        return 63.86 + 0.3345 * t - 0.060374 * t2 + 0.0017275 * t3 + 0.000651814 * t4
            + 0.00002373599 * t5;
    }
    if (y < 2050.0) {
        const double t = y - 2000.0;
        return 62.92 + 0.32217 * t + 0.005589 * t * t;
    }
    if (y < 2150.0)
        return longTerm(y) - 0.5628 * (2150.0 - y);
    return longTerm(y);
}

double CenturiesTt(double jdUt)
{
    // The series hold for a few thousand years about 2000; their powers of
    // time run wild beyond that (the Sun would rise a dozen times a day a
    // million years from now). Ten thousand years out the Sun and Moon are
    // held where they then stand, so that a far-off date still gives a
    // plausible day rather than nonsense.
    const double T = (jdUt + DeltaTSeconds(jdUt) / 86400.0 - 2451545.0) / 36525.0;
    return std::clamp(T, -100.0, 100.0);
}

namespace {

// The largest terms of the IAU 1980 nutation series: multiples of D, M, M',
// F and the node, then delta psi and delta epsilon in 0.0001" with their
// changes per century. What is left out stays below 0.005".
struct NutationTerm {
    signed char d, m, mp, f, om;
    double psi, psiT, eps, epsT;
};
constexpr NutationTerm kNutation[] = {
    {0, 0, 0, 0, 1, -171996, -174.2, 92025, 8.9},
    {-2, 0, 0, 2, 2, -13187, -1.6, 5736, -3.1},
    {0, 0, 0, 2, 2, -2274, -0.2, 977, -0.5},
    {0, 0, 0, 0, 2, 2062, 0.2, -895, 0.5},
    {0, 1, 0, 0, 0, 1426, -3.4, 54, -0.1},
    {0, 0, 1, 0, 0, 712, 0.1, -7, 0},
    {-2, 1, 0, 2, 2, -517, 1.2, 224, -0.6},
    {0, 0, 0, 2, 1, -386, -0.4, 200, 0},
    {0, 0, 1, 2, 2, -301, 0, 129, -0.1},
    {-2, -1, 0, 2, 2, 217, -0.5, -95, 0.3},
    {-2, 0, 1, 0, 0, -158, 0, 0, 0},
    {-2, 0, 0, 2, 1, 129, 0.1, -70, 0},
    {0, 0, -1, 2, 2, 123, 0, -53, 0},
    {2, 0, 0, 0, 0, 63, 0, 0, 0},
    {0, 0, 1, 0, 1, 63, 0.1, -33, 0},
    {2, 0, -1, 2, 2, -59, 0, 26, 0},
    {0, 0, -1, 0, 1, -58, -0.1, 32, 0},
    {0, 0, 1, 2, 1, -51, 0, 27, 0},
    {-2, 0, 2, 0, 0, 48, 0, 0, 0},
    {0, 0, -2, 2, 1, 46, 0, -24, 0},
    {2, 0, 0, 2, 2, -38, 0, 16, 0},
    {0, 0, 2, 2, 2, -31, 0, 13, 0},
    {0, 0, 2, 0, 0, 29, 0, 0, 0},
    {-2, 0, 1, 2, 2, 29, 0, -12, 0},
    {0, 0, 0, 2, 0, 26, 0, 0, 0},
    {-2, 0, 0, 2, 0, -22, 0, 0, 0},
};

} // namespace

Nutation NutationAt(double T)
{
    const double T2 = T * T, T3 = T2 * T;
    const double D = 297.85036 + 445267.111480 * T - 0.0019142 * T2 + T3 / 189474.0;
    const double M = 357.52772 + 35999.050340 * T - 0.0001603 * T2 - T3 / 300000.0;
    const double Mp = 134.96298 + 477198.867398 * T + 0.0086972 * T2 + T3 / 56250.0;
    const double F = 93.27191 + 483202.017538 * T - 0.0036825 * T2 + T3 / 327270.0;
    const double Om = 125.04452 - 1934.136261 * T + 0.0020708 * T2 + T3 / 450000.0;
    double psi = 0, eps = 0;
    for (const NutationTerm &n : kNutation) {
        const double arg = n.d * D + n.m * M + n.mp * Mp + n.f * F + n.om * Om;
        psi += (n.psi + n.psiT * T) * SinDeg(arg);
        eps += (n.eps + n.epsT * T) * CosDeg(arg);
    }
    Nutation result;
    result.longitude = psi * 0.0001 / 3600.0;
    result.obliquity = eps * 0.0001 / 3600.0;
    const double meanObliquity =
        23.0 + 26.0 / 60.0 + (21.448 - 46.8150 * T - 0.00059 * T2 + 0.001813 * T3) / 3600.0;
    result.trueObliquity = meanObliquity + result.obliquity;
    return result;
}

double ApparentSiderealTime(double jdUt, const Nutation &nutation)
{
    const double d = jdUt - 2451545.0;
    // The slow terms, held ten thousand years out as the positions are.
    const double T = std::clamp(d / 36525.0, -100.0, 100.0);
    // Whole turns per day taken out first: the product of the full rate and
    // a day count billions of days away would lose the hour angle.
    const double mean = 280.46061837 + 360.0 * (d - std::floor(d)) + 0.98564736629 * d
        + 0.000387933 * T * T - T * T * T / 38710000.0;
    return Normalize360(mean + nutation.longitude * CosDeg(nutation.trueObliquity));
}

EquatorialPlace ToEquatorial(const EclipticPlace &place, double obliquity)
{
    const double sl = SinDeg(place.longitude), cl = CosDeg(place.longitude);
    const double sb = SinDeg(place.latitude), cb = CosDeg(place.latitude);
    const double se = SinDeg(obliquity), ce = CosDeg(obliquity);
    EquatorialPlace e;
    e.rightAscension = Normalize360(std::atan2(sl * ce - (sb / cb) * se, cl) / kRadPerDeg);
    const double sinDec = std::clamp(sb * ce + cb * se * sl, -1.0, 1.0);
    e.declination = std::asin(sinDec) / kRadPerDeg;
    return e;
}

} // namespace sky::detail
