#include "ComputedAlmanac.h"

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

QString Clock(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// Entries as the observatory lists them: each a "phen" and a "time", in
// the order of their times.
QString Entries(const std::vector<int> &rises, const std::vector<int> &sets)
{
    std::vector<std::pair<int, const char *>> events;
    for (int m : rises)
        events.emplace_back(m, "Rise");
    for (int m : sets)
        events.emplace_back(m, "Set");
    std::stable_sort(events.begin(), events.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList entries;
    for (const auto &[minutes, phen] : events)
        entries << QStringLiteral("        {\n          \"phen\": \"%1\", \n          \"time\": \"%2\"\n        }")
                       .arg(QLatin1String(phen), Clock(minutes));
    return QStringLiteral("[\n") + entries.join(QStringLiteral(", \n")) + QStringLiteral("\n      ]");
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

std::optional<QString> ComputedAlmanacReply(const FormState &state, DateValue date)
{
    const std::optional<double> latitude = Coordinate(state.Latitude, 90.0);
    const std::optional<double> longitude = Coordinate(state.Longitude, 180.0);
    if (!latitude || !longitude)
        return std::nullopt;
    const QDate day = ToQDate(date);
    if (!day.isValid())
        return std::nullopt;
    const double offset = QueryUtcOffset(state.QueryExtra, date);
    const sky::DayValues values = sky::ComputeDay(*latitude, *longitude, offset, {day.year(), day.month(), day.day()});
    // Every value after a comma of its own, as in the observatory's replies:
    // the scan never looks at what comes before the first comma of a piece.
    return QStringLiteral("{\n  \"apiversion\": \"computed\", \n  \"properties\": {\n    \"data\": {\n"
                          "      \"computed\": true, \n      \"curphase\": \"%1\", \n      \"day\": %2, \n      \"fracillum\": \"%3%\", \n"
                          "      \"moondata\": %4, \n      \"sundata\": %5, \n      \"tz\": %6, \n"
                          "      \"year\": %7\n    }\n  }, \n  \"type\": \"Feature\"\n}")
        .arg(QString::fromStdString(values.phaseWord))
        .arg(day.day())
        .arg(values.fractionPercent)
        .arg(Entries(values.moonrises, values.moonsets), Entries(values.sunrises, values.sunsets))
        .arg(offset)
        .arg(day.year());
}

std::optional<AlmanacTexts> ComputedAlmanacTexts(const FormState &state, DateValue now)
{
    const std::optional<QString> reply = ComputedAlmanacReply(state, now);
    if (!reply)
        return std::nullopt;
    const Result<AlmanacTexts> scan = ScanAlmanacReply(*reply);
    if (!scan)
        return std::nullopt;
    return scan.value;
}

std::optional<QString> ComputedMoonriseTomorrow(const FormState &state, DateValue now)
{
    const std::optional<QString> reply = ComputedAlmanacReply(state, DatePart(now) + 1);
    if (!reply)
        return std::nullopt;
    const Result<QString> moonrise = ScanTomorrowMoonrise(*reply);
    if (!moonrise || moonrise.value.isEmpty())
        return std::nullopt;
    return moonrise.value + kComputedMark;
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
