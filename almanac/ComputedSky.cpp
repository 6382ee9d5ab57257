#include "almanac/ComputedSky.h"

#include "sky/Sky.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>

namespace {

// The second Sunday of March up to the day before the first Sunday of
// November: the dates on which the observatory adds the daylight hour.
bool UsDaylightDate(const QDate &date)
{
    const auto nthSunday = [&](int month, int n) {
        QDate first(date.year(), month, 1);
        const int toSunday = (7 - first.dayOfWeek()) % 7;   // dayOfWeek: Monday 1 .. Sunday 7
        return first.addDays(toSunday + 7 * (n - 1));
    };
    return date >= nthSunday(3, 2) && date < nthSunday(11, 1);
}

std::optional<double> Coordinate(const QString &text, double limit)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > limit)
        return std::nullopt;
    return value;
}

std::optional<sky::DayValues> ComputeFor(const Place &place, DateValue date)
{
    const std::optional<double> latitude = Coordinate(place.latitude, 90.0);
    const std::optional<double> longitude = Coordinate(place.longitude, 180.0);
    const QDate day = ToQDate(date);
    if (!latitude || !longitude || !day.isValid())
        return std::nullopt;
    return sky::ComputeDay(*latitude, *longitude, QueryUtcOffset(place.queryExtra, date),
                           {day.year(), day.month(), day.day()});
}

// A time of the day as the scan formats the observatory's; empty for none.
QString Clock(const std::vector<int> &minutes, bool last, const QLocale &locale)
{
    if (minutes.empty())
        return QString();
    const int m = last ? minutes.back() : minutes.front();
    return FormatShortTime(m / 60, m % 60, locale);
}

} // namespace

double QueryUtcOffset(const QString &queryExtra, DateValue date)
{
    static const QRegularExpression tz(QStringLiteral("(?:^|[&\\s])tz=\\s*([-+]?[0-9]+(?:\\.[0-9]+)?)"));
    const QRegularExpressionMatch match = tz.match(queryExtra);
    double offset = match.hasMatch() ? match.captured(1).toDouble() : 0.0;
    if (std::fabs(offset) > 14)
        offset = 0.0;
    return UsDaylightDate(ToQDate(date)) ? offset + 1.0 : offset;
}

std::optional<AlmanacTexts> ComputedAlmanacTexts(const Place &place, DateValue date, const QLocale &locale)
{
    const std::optional<sky::DayValues> values = ComputeFor(place, date);
    if (!values)
        return std::nullopt;
    AlmanacTexts texts;
    // The scan keeps the phase's first word and marks a waxing moon "WAXing";
    // where a day has two rises or sets, the later one stays.
    texts.phaseWord = QString::fromStdString(values->phaseWord).section(QLatin1Char(' '), 0, 0);
    texts.phaseWord.replace(QStringLiteral("ax"), QStringLiteral("AX"), Qt::CaseSensitive);
    texts.illuminationText = QString::number(values->fractionPercent) + QLatin1Char('%');
    texts.sunriseTime = Clock(values->sunrises, true, locale);
    texts.sunsetTime = Clock(values->sunsets, true, locale);
    texts.moonriseTime = Clock(values->moonrises, true, locale);
    texts.moonsetTime = Clock(values->moonsets, true, locale);
    return texts;
}

std::optional<QString> ComputedMoonrise(const Place &place, DateValue date, const QLocale &locale)
{
    const std::optional<sky::DayValues> values = ComputeFor(place, date);
    if (!values)
        return std::nullopt;
    return Clock(values->moonrises, false, locale);
}

void MarkComputed(AlmanacComposition &composition)
{
    const QString lineEnd = QStringLiteral("\r\n");
    if (composition.text.endsWith(lineEnd))
        composition.text.insert(composition.text.size() - lineEnd.size(), kComputedMark);
    else
        composition.text += kComputedMark;
    composition.title += kComputedMark;
}
