#include "MoonPhase.h"

#include <cmath>
#include <numbers>

namespace moonphase {

namespace {

double Sin(double degrees)
{
    return std::sin(std::fmod(degrees, 360.0) * std::numbers::pi / 180.0);
}

// Julian Day 2440587.5 is 1970-01-01 00:00 UTC.
constexpr double kUnixEpochJd = 2440587.5;

} // namespace

double FullMoonJde(int lunation)
{
    const double k = lunation + 0.5;
    const double T = k / 1236.85;
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;

    const double jde = 2451550.09766 + 29.530588861 * k + 0.00015437 * T2
        - 0.000000150 * T3 + 0.00000000073 * T4;

    // Eccentricity of Earth's orbit, which scales the terms in the Sun's anomaly.
    const double E = 1.0 - 0.002516 * T - 0.0000074 * T2;
    // Sun's mean anomaly, Moon's mean anomaly, Moon's argument of latitude,
    // longitude of the ascending node (degrees).
    const double M = 2.5534 + 29.10535670 * k - 0.0000014 * T2 - 0.00000011 * T3;
    const double Mp = 201.5643 + 385.81693528 * k + 0.0107582 * T2 + 0.00001238 * T3
        - 0.000000058 * T4;
    const double F = 160.7108 + 390.67050284 * k - 0.0016118 * T2 - 0.00000227 * T3
        + 0.000000011 * T4;
    const double Om = 124.7746 - 1.56375588 * k + 0.0020672 * T2 + 0.00000215 * T3;

    double c = 0.0;
    c += -0.40614 * Sin(Mp);
    c += 0.17302 * E * Sin(M);
    c += 0.01614 * Sin(2 * Mp);
    c += 0.01043 * Sin(2 * F);
    c += 0.00734 * E * Sin(Mp - M);
    c += -0.00515 * E * Sin(Mp + M);
    c += 0.00209 * E * E * Sin(2 * M);
    c += -0.00111 * Sin(Mp - 2 * F);
    c += -0.00057 * Sin(Mp + 2 * F);
    c += 0.00056 * E * Sin(2 * Mp + M);
    c += -0.00042 * Sin(3 * Mp);
    c += 0.00042 * E * Sin(M + 2 * F);
    c += 0.00038 * E * Sin(M - 2 * F);
    c += -0.00024 * E * Sin(2 * Mp - M);
    c += -0.00017 * Sin(Om);
    c += -0.00007 * Sin(Mp + 2 * M);
    c += 0.00004 * Sin(2 * Mp - 2 * F);
    c += 0.00004 * Sin(3 * M);
    c += 0.00003 * Sin(Mp + M - 2 * F);
    c += 0.00003 * Sin(2 * Mp + 2 * F);
    c += -0.00003 * Sin(Mp + M + 2 * F);
    c += 0.00003 * Sin(Mp - M + 2 * F);
    c += -0.00002 * Sin(Mp - M - 2 * F);
    c += -0.00002 * Sin(3 * Mp + M);
    c += 0.00002 * Sin(4 * Mp);

    // Planetary arguments: the same small corrections for every phase.
    static constexpr double kPlanetary[14][3] = {
        {299.77, 0.107408, 0.000325}, {251.88, 0.016321, 0.000165},
        {251.83, 26.651886, 0.000164}, {349.42, 36.412478, 0.000126},
        {84.66, 18.206239, 0.000110}, {141.74, 53.303771, 0.000062},
        {207.14, 2.453732, 0.000060}, {154.84, 7.306860, 0.000056},
        {34.52, 27.261239, 0.000047}, {207.19, 0.121824, 0.000042},
        {291.34, 1.844379, 0.000040}, {161.72, 24.198154, 0.000037},
        {239.56, 25.513099, 0.000035}, {331.55, 3.592518, 0.000023},
    };
    for (int i = 0; i < 14; ++i) {
        double argument = kPlanetary[i][0] + kPlanetary[i][1] * k;
        if (i == 0)
            argument -= 0.009173 * T2;
        c += kPlanetary[i][2] * Sin(argument);
    }
    return jde + c;
}

double DeltaTSeconds(double /*jde*/)
{
    return 69.0;
}

QDateTime FullMoonUtc(int k)
{
    const double jde = FullMoonJde(k);
    const double jdUt = jde - DeltaTSeconds(jde) / 86400.0;
    const double seconds = (jdUt - kUnixEpochJd) * 86400.0;
    const qint64 minutes = std::llround(seconds / 60.0);
    return QDateTime::fromSecsSinceEpoch(minutes * 60, QTimeZone::utc());
}

QList<QDateTime> FullMoonsInYears(const QTimeZone &zone, int fromYear, int toYear)
{
    QList<QDateTime> moons;
    if (fromYear > toYear)
        return moons;
    // Start a little before the first year: a lunation number from the mean
    // month can be off by one, and the zone can move a moon across New Year.
    int k = static_cast<int>(std::floor((fromYear - 2000) * 12.3685)) - 2;
    for (;; ++k) {
        const QDateTime utc = FullMoonUtc(k);
        const int year = utc.toTimeZone(zone).date().year();
        if (year > toYear)
            break;
        if (year >= fromYear)
            moons.append(utc);
    }
    return moons;
}

QString FullMoonTableText(const QTimeZone &zone, int fromYear, int toYear)
{
    const QString zoneName = QString::fromUtf8(zone.id());
    QString text = QStringLiteral("Full moons %1 through %2, local time in %3, one per line as yyyy-mm-dd hh:mm\r\n")
                       .arg(fromYear)
                       .arg(toYear)
                       .arg(zoneName);
    for (const QDateTime &utc : FullMoonsInYears(zone, fromYear, toYear)) {
        text += utc.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        text += QStringLiteral("\r\n");
    }
    return text;
}

} // namespace moonphase
