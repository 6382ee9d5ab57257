// The Moon's apparent place from the periodic terms of the lunar theory
// (Meeus chapter 47, all of tables 47.A and 47.B): about 10" in longitude
// and 4" in latitude, a second or two in the Moon's rise and set. Also its
// elongation, illuminated fraction (chapter 48) and principal phases.
#include "sky/Ephemeris.h"

#include <algorithm>
#include <cmath>

namespace sky::detail {

namespace {

// Multiples of D, M, M', F; longitude in 1e-6 degree; distance in metres.
struct LongitudeTerm {
    signed char d, m, mp, f;
    double sinL, cosR;
};
constexpr LongitudeTerm kLongitude[] = {
    {0, 0, 1, 0, 6288774, -20905355}, {2, 0, -1, 0, 1274027, -3699111},
    {2, 0, 0, 0, 658314, -2955968},   {0, 0, 2, 0, 213618, -569925},
    {0, 1, 0, 0, -185116, 48888},     {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},     {2, -1, -1, 0, 57066, -152138},
    {2, 0, 1, 0, 53322, -170733},     {2, -1, 0, 0, 45758, -204586},
    {0, 1, -1, 0, -40923, -129620},   {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},     {2, 0, 0, -2, 15327, 10321},
    {0, 0, 1, 2, -12528, 0},          {0, 0, 1, -2, 10980, 79661},
    {4, 0, -1, 0, 10675, -34782},     {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},      {2, 1, -1, 0, -7888, 24208},
    {2, 1, 0, 0, -6766, 30824},       {1, 0, -1, 0, -5163, -8379},
    {1, 1, 0, 0, 4987, -16675},       {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},       {4, 0, 0, 0, 3861, -11650},
    {2, 0, -3, 0, 3665, 14403},       {0, 1, -2, 0, -2689, -7003},
    {2, 0, -1, 2, -2602, 0},          {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},        {2, -2, 0, 0, 2236, -9884},
    {0, 1, 2, 0, -2120, 5751},        {0, 2, 0, 0, -2069, 0},
    {2, -2, -1, 0, 2048, -4950},      {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},           {4, -1, -1, 0, 1215, -3958},
    {0, 0, 2, 2, -1110, 0},           {3, 0, -1, 0, -892, 3258},
    {2, 1, 1, 0, -810, 2616},         {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},       {2, 2, -1, 0, -700, 2354},
    {2, 1, -2, 0, 691, 0},            {2, -1, 0, -2, 596, 0},
    {4, 0, 1, 0, 549, -1423},         {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},        {1, 0, -2, 0, -487, -1739},
    {2, 1, 0, -2, -399, 0},           {0, 0, 2, -2, -381, -4421},
    {1, 1, 1, 0, 351, 0},             {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},            {2, -1, 2, 0, 327, 0},
    {0, 2, 1, 0, -323, 1165},         {1, 1, -1, 0, 299, 0},
    {2, 0, 3, 0, 294, 0},             {2, 0, -1, -2, 0, 8752},
};

// Multiples of D, M, M', F; latitude in 1e-6 degree.
struct LatitudeTerm {
    signed char d, m, mp, f;
    double sinB;
};
constexpr LatitudeTerm kLatitude[] = {
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602}, {0, 0, 1, -1, 277693},
    {2, 0, 0, -1, 173237}, {2, 0, -1, 1, 55413}, {2, 0, -1, -1, 46271},
    {2, 0, 0, 1, 32573},   {0, 0, 2, 1, 17198},  {2, 0, 1, -1, 9266},
    {0, 0, 2, -1, 8822},   {2, -1, 0, -1, 8216}, {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200},    {2, 1, 0, -1, -3359}, {2, -1, -1, 1, 2463},
    {2, -1, 0, 1, 2211},   {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870},
    {4, 0, -1, -1, 1828},  {0, 1, 0, 1, -1794},  {0, 0, 0, 3, -1749},
    {0, 1, -1, 1, -1565},  {1, 0, 0, 1, -1491},  {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410},  {0, 1, 0, -1, -1344}, {1, 0, 0, -1, -1335},
    {0, 0, 3, 1, 1107},    {4, 0, 0, -1, 1021},  {4, 0, -1, 1, 833},
    {0, 0, 1, -3, 777},    {4, 0, -2, 1, 671},   {2, 0, 0, -3, 607},
    {2, 0, 2, -1, 596},    {2, -1, 1, -1, 491},  {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439},    {2, 0, 2, 1, 422},    {2, 0, -3, -1, 421},
    {2, 1, -1, 1, -366},   {2, 1, 0, 1, -351},   {4, 0, 0, 1, 331},
    {2, -1, 1, 1, 315},    {2, -2, 0, -1, 302},  {0, 0, 1, 3, -283},
    {2, 1, 1, -1, -229},   {1, 1, 0, -1, 223},   {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220},  {2, 1, -1, -1, -220}, {1, 0, 1, 1, -185},
    {2, -1, -2, -1, 181},  {0, 1, 2, 1, -177},   {4, 0, -2, -1, 176},
    {4, -1, -1, -1, 166},  {1, 0, 1, -1, -164},  {4, 0, 1, -1, 132},
    {1, 0, -1, -1, -119},  {4, -1, 0, -1, 115},  {2, -2, 0, 1, 107},
};

} // namespace

EclipticPlace MoonPlace(double T, const Nutation &nutation)
{
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
    const double Lp = 218.3164477 + 481267.88123421 * T - 0.0015786 * T2 + T3 / 538841.0
        - T4 / 65194000.0;
    const double D = 297.8501921 + 445267.1114034 * T - 0.0018819 * T2 + T3 / 545868.0
        - T4 / 113065000.0;
    const double M = 357.5291092 + 35999.0502909 * T - 0.0001536 * T2 + T3 / 24490000.0;
    const double Mp = 134.9633964 + 477198.8675055 * T + 0.0087414 * T2 + T3 / 69699.0
        - T4 / 14712000.0;
    const double F = 93.2720950 + 483202.0175233 * T - 0.0036539 * T2 - T3 / 3526000.0
        + T4 / 863310000.0;
    const double A1 = 119.75 + 131.849 * T;
    const double A2 = 53.09 + 479264.290 * T;
    const double A3 = 313.45 + 481266.484 * T;
    // The Earth's orbit grows less eccentric: terms in the Sun's anomaly shrink.
    const double E = 1.0 - 0.002516 * T - 0.0000074 * T2;
    const double eFactor[3] = {1.0, E, E * E};

    // Reduced to [0, 360) once, so that the sums below need no fmod.
    const double d = Normalize360(D) * kRadPerDeg, m = Normalize360(M) * kRadPerDeg;
    const double mp = Normalize360(Mp) * kRadPerDeg, f = Normalize360(F) * kRadPerDeg;

    double sumL = 0, sumR = 0, sumB = 0;
    for (const LongitudeTerm &t : kLongitude) {
        const double arg = t.d * d + t.m * m + t.mp * mp + t.f * f;
        const double e = eFactor[t.m < 0 ? -t.m : t.m];
        sumL += e * t.sinL * std::sin(arg);
        if (t.cosR != 0)
            sumR += e * t.cosR * std::cos(arg);
    }
    for (const LatitudeTerm &t : kLatitude) {
        const double arg = t.d * d + t.m * m + t.mp * mp + t.f * f;
        sumB += eFactor[t.m < 0 ? -t.m : t.m] * t.sinB * std::sin(arg);
    }
    // Venus, Jupiter and the Earth's flattening.
    sumL += 3958 * SinDeg(A1) + 1962 * SinDeg(Lp - F) + 318 * SinDeg(A2);
    sumB += -2235 * SinDeg(Lp) + 382 * SinDeg(A3) + 175 * SinDeg(A1 - F) + 175 * SinDeg(A1 + F)
        + 127 * SinDeg(Lp - Mp) - 115 * SinDeg(Lp + Mp);

    EclipticPlace place;
    place.longitude = Normalize360(Lp + sumL / 1e6 + nutation.longitude);
    place.latitude = sumB / 1e6;
    place.distanceKm = 385000.56 + sumR / 1000.0;
    return place;
}

double MoonElongation(double jdUt)
{
    const double T = CenturiesTt(jdUt);
    const Nutation n = NutationAt(T);
    return Normalize360(MoonPlace(T, n).longitude - SunPlace(T, n).longitude);
}

double MoonIlluminatedFraction(double jdUt)
{
    const double T = CenturiesTt(jdUt);
    const Nutation n = NutationAt(T);
    const EclipticPlace moon = MoonPlace(T, n);
    const EclipticPlace sun = SunPlace(T, n);
    // psi: the Moon's geocentric elongation; i: the phase angle at the Moon.
    const double cosPsi = CosDeg(moon.latitude) * CosDeg(moon.longitude - sun.longitude);
    const double sinPsi = std::sqrt(std::max(0.0, 1.0 - cosPsi * cosPsi));
    const double i = std::atan2(sun.distanceKm * sinPsi, moon.distanceKm - sun.distanceKm * cosPsi);
    return (1.0 + std::cos(i)) / 2.0;
}

std::vector<PrincipalPhase> PrincipalPhasesBetween(double jdUtFrom, double jdUtTo)
{
    std::vector<PrincipalPhase> phases;
    if (!(jdUtTo > jdUtFrom) || !std::isfinite(jdUtFrom) || !std::isfinite(jdUtTo))
        return phases;
    // The elongation always grows, by 11 to 15 degrees a day, so a quarter
    // day never holds two quarters; each crossing is then halved down to a
    // hundredth of a second.
    constexpr double kStep = 0.25;
    const double span = std::min(jdUtTo - jdUtFrom, 366.0 * 200);
    const long steps = static_cast<long>(std::ceil(span / kStep));
    double t0 = jdUtFrom;
    double e0 = MoonElongation(t0);
    for (long s = 1; s <= steps; ++s) {
        const double t1 = s == steps ? jdUtFrom + span : jdUtFrom + s * kStep;
        const double e1 = MoonElongation(t1);
        const int q0 = static_cast<int>(e0 / 90.0), q1 = static_cast<int>(e1 / 90.0);
        if (q0 != q1) {
            const double target = q1 * 90.0;
            // Distance past the target, in (-180, 180].
            const auto past = [target](double e) {
                double x = std::fmod(e - target + 540.0, 360.0) - 180.0;
                return x;
            };
            double lo = t0, hi = t1;
            for (int i = 0; i < 40 && hi - lo > 1e-7; ++i) {
                const double mid = (lo + hi) / 2;
                (past(MoonElongation(mid)) < 0 ? lo : hi) = mid;
            }
            const double t = (lo + hi) / 2;
            if (t >= jdUtFrom && t < jdUtTo)
                phases.push_back({t, q1});
        }
        t0 = t1;
        e0 = e1;
    }
    return phases;
}

} // namespace sky::detail
