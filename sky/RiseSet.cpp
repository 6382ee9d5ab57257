// Rising and setting (Meeus chapters 13, 15 and 40), found by scanning the
// height of the upper limb above the horizon rather than by the usual
// three-point interpolation: that way a second moonset in one day, or the
// Sun grazing the horizon near a pole, is found like any other event.
#include "sky/Ephemeris.h"
#include "sky/Sky.h"

#include <algorithm>
#include <cmath>

namespace sky {

namespace detail {
namespace {

constexpr double kEarthRadiusKm = 6378.14;
constexpr double kKmPerAu = 149597870.7;
// The Moon's radius in Earth equatorial radii.
constexpr double kMoonRadiusRatio = 0.2725076;
// The Sun's semi-diameter and horizontal parallax at 1 au, in degrees.
constexpr double kSunSemiDiameterAu = 959.63 / 3600.0;
constexpr double kSunParallaxAu = 8.794 / 3600.0;
// Standard refraction at the horizon.
constexpr double kRefraction = 34.0 / 60.0;

struct Observer {
    double longitude;
    double sinLat, cosLat;
    // The place's geocentric position in Earth radii (at sea level on the
    // ellipsoid): its distance from the axis and from the equator's plane.
    double rhoCosPhi, rhoSinPhi;
};

Observer MakeObserver(double latitude, double longitude)
{
    // The Earth's polar radius over its equatorial radius.
    constexpr double kAxisRatio = 0.99664719;
    Observer o;
    o.longitude = longitude;
    o.sinLat = SinDeg(latitude);
    o.cosLat = CosDeg(latitude);
    const double u = std::atan2(kAxisRatio * o.sinLat, o.cosLat);
    o.rhoCosPhi = std::cos(u);
    o.rhoSinPhi = kAxisRatio * std::sin(u);
    return o;
}

double Altitude(const Observer &o, double hourAngle, double declination)
{
    const double s = o.sinLat * SinDeg(declination) + o.cosLat * CosDeg(declination) * CosDeg(hourAngle);
    return std::asin(std::clamp(s, -1.0, 1.0)) / kRadPerDeg;
}

// Degrees by which the body's upper limb, refracted, stands above a level
// horizon; negative below. The observatory's rule, which its yearly tables
// bear out: the limb is the centre plus the body's true semi-diameter (the
// Sun's too, which varies by half a minute of arc over the year), and the
// centre is seen from the place on the Earth's ellipsoid, not from the
// Earth's centre. Parallax lowers the Moon by about a degree and the Sun by
// 9"; near the poles, where the limb creeps along the horizon, even the
// ellipsoid's shape moves the Moon's times by a minute.
double Height(Body body, const Observer &o, double jdUt)
{
    const double T = CenturiesTt(jdUt);
    const Nutation n = NutationAt(T);
    const EclipticPlace place = body == Body::Sun ? SunPlace(T, n) : MoonPlace(T, n);
    const EquatorialPlace eq = ToEquatorial(place, n.trueObliquity);
    const double hourAngle = ApparentSiderealTime(jdUt, n) + o.longitude - eq.rightAscension;

    double sinParallax = 0, semiDiameter = 0;
    if (body == Body::Sun) {
        const double au = place.distanceKm / kKmPerAu;
        sinParallax = SinDeg(kSunParallaxAu / au);
        semiDiameter = kSunSemiDiameterAu / au;
    } else {
        sinParallax = kEarthRadiusKm / place.distanceKm;
        semiDiameter = std::asin(kMoonRadiusRatio * sinParallax) / kRadPerDeg;
    }
    // The topocentric place (Meeus 40.2 and 40.3).
    const double sinDec = SinDeg(eq.declination), cosDec = CosDeg(eq.declination);
    const double sinH = SinDeg(hourAngle), cosH = CosDeg(hourAngle);
    const double den = cosDec - o.rhoCosPhi * sinParallax * cosH;
    const double dAlpha = std::atan2(-o.rhoCosPhi * sinParallax * sinH, den);
    const double topoDec =
        std::atan2((sinDec - o.rhoSinPhi * sinParallax) * std::cos(dAlpha), den) / kRadPerDeg;
    const double topoHourAngle = hourAngle - dAlpha / kRadPerDeg;
    return Altitude(o, topoHourAngle, topoDec) + semiDiameter + kRefraction;
}

// A sign change of f between a and b, narrowed by false position with the
// Illinois step until the bracket is under a tenth of a second.
template <typename F>
double Refine(F f, double a, double fa, double b, double fb)
{
    int side = 0;
    for (int i = 0; i < 60 && b - a > 1e-6; ++i) {
        double c = (a * fb - b * fa) / (fb - fa);
        if (!(c > a && c < b))
            c = (a + b) / 2;
        const double fc = f(c);
        if ((fc < 0) == (fa < 0)) {
            a = c;
            fa = fc;
            if (side == -1)
                fb /= 2;
            side = -1;
        } else {
            b = c;
            fb = fc;
            if (side == 1)
                fa /= 2;
            side = 1;
        }
    }
    return (a + b) / 2;
}

// The extremum of f in [a, c] (a maximum when `maximum`), by golden section
// to about a second; returns its time and value.
template <typename F>
std::pair<double, double> Extremum(F f, double a, double c, bool maximum)
{
    const double sign = maximum ? 1.0 : -1.0;
    constexpr double kGolden = 0.6180339887498949;
    double x1 = c - kGolden * (c - a), x2 = a + kGolden * (c - a);
    double f1 = sign * f(x1), f2 = sign * f(x2);
    for (int i = 0; i < 60 && c - a > 1e-5; ++i) {
        if (f1 < f2) {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + kGolden * (c - a);
            f2 = sign * f(x2);
        } else {
            c = x2;
            x2 = x1;
            f2 = f1;
            x1 = c - kGolden * (c - a);
            f1 = sign * f(x1);
        }
    }
    return f1 > f2 ? std::pair{x1, sign * f1} : std::pair{x2, sign * f2};
}

} // namespace
} // namespace detail

std::vector<Event> RiseSetBetween(Body body, double latitude, double longitude, double jdUtFrom,
                                  double jdUtTo)
{
    using namespace detail;
    std::vector<Event> events;
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(jdUtFrom)
        || !std::isfinite(jdUtTo) || !(jdUtTo > jdUtFrom))
        return events;
    const Observer o = MakeObserver(std::clamp(latitude, -90.0, 90.0), longitude);
    const auto f = [&](double t) { return Height(body, o, t); };

    // An hour between samples: no body rises and sets again within an hour
    // except at a graze, which the extremum check below catches.
    constexpr double kStep = 1.0 / 24.0;
    const double end = jdUtFrom + std::min(jdUtTo - jdUtFrom, 366.0 * 200);
    const long steps = std::max(1L, static_cast<long>(std::ceil((end - jdUtFrom) / kStep)));
    const auto sampleTime = [&](long i) { return i == steps ? end : jdUtFrom + i * kStep; };

    const auto add = [&](double t, bool rise) {
        if (t >= jdUtFrom && t < jdUtTo)
            events.push_back({t, rise});
    };
    double tPrev = 0, fPrev = 0; // the sample before t0
    double t0 = sampleTime(0), f0 = f(t0);
    for (long i = 1; i <= steps; ++i) {
        const double t1 = sampleTime(i), f1 = f(t1);
        if ((f0 < 0) != (f1 < 0))
            add(Refine(f, t0, f0, t1, f1), f1 >= 0);
        // A sampled peak still below the limit, or a trough still above it,
        // may hide a brief rise and set between its neighbours. Only when
        // the parabola through the three samples comes near the limit is
        // the true extremum looked for.
        if (i >= 2 && (fPrev < 0) == (f0 < 0) && (f0 < 0) == (f1 < 0)) {
            const bool peak = f0 >= fPrev && f0 >= f1;
            const bool trough = f0 <= fPrev && f0 <= f1;
            if ((peak && f0 < 0) || (trough && f0 >= 0)) {
                const double curvature = fPrev - 2 * f0 + f1;
                const double slope = (f1 - fPrev) / 2;
                const double vertex = curvature != 0 ? f0 - slope * slope / (2 * curvature) : f0;
                if (std::fabs(vertex) < 0.1 + std::fabs(curvature)) {
                    const auto [tx, fx] = Extremum(f, tPrev, t1, peak);
                    if ((fx < 0) != (f0 < 0)) {
                        add(Refine(f, tPrev, fPrev, tx, fx), peak);
                        add(Refine(f, tx, fx, t1, f1), !peak);
                    }
                }
            }
        }
        tPrev = t0;
        fPrev = f0;
        t0 = t1;
        f0 = f1;
    }
    std::sort(events.begin(), events.end(),
              [](const Event &a, const Event &b) { return a.jdUt < b.jdUt; });
    // Two equal samples at a graze make two peaks of one extremum.
    const auto same = [](const Event &a, const Event &b) {
        return a.rise == b.rise && b.jdUt - a.jdUt < 1e-5;
    };
    events.erase(std::unique(events.begin(), events.end(), same), events.end());
    return events;
}

} // namespace sky
