#include "forecast/Display.h"

#include "common/RuntimeError.h"
#include "common/Checked16.h"
#include "common/CodePage.h"
#include "common/Text.h"

#include <cfloat>
#include <cmath>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
constexpr int kForecastRows = 7;

// Inches of mercury to hectopascals, in single precision, shown as a whole
// number (halves away from zero).
QString PressureInHectopascals(const QString &pressureText)
{
    const double reading = LeadingNumber(pressureText);
    if (!std::isfinite(reading) || std::fabs(reading) > FLT_MAX)
        ThrowOverflow(QStringLiteral("pressure \"%1\" does not fit single precision").arg(pressureText));
    const float hectopascals = static_cast<float>(reading) * 33.86f;
    if (!std::isfinite(hectopascals))
        ThrowOverflow(QStringLiteral("pressure \"%1\" in hectopascals does not fit single precision").arg(pressureText));
    double whole = std::round(static_cast<double>(hectopascals));
    if (whole == 0.0)
        whole = 0.0; // no "-0" for a small negative reading
    return QString::number(whole, 'f', 0);
}

// The period table in the list's column order. A night-first forecast opens
// with a night that has no maximum: each maximum moves down one row so that a
// row shows the maximum of its day and the minimum of the night after it.
PeriodTable DisplayTable(const ForecastExtraction &extraction)
{
    const PeriodTable &periods = extraction.periods;
    PeriodTable display;
    for (int r = 1; r <= kForecastRows; ++r) {
        display[r][0] = periods[r][0];
        for (int k = 1; k <= 4; ++k) {
            if (extraction.nightFirst && k == 1)
                display[r][2] = periods[r][1];
            else if (extraction.nightFirst && k == 2)
                display[r + 1][1] = periods[r][2];
            else
                display[r][k] = periods[r][k];
        }
    }
    return display;
}

ListRow InformationRow(const QString &text)
{
    return ListRow{QStringLiteral(" "), {QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" "), text}};
}

// A refresh time; one of another date than today carries its date, so
// that an old forecast shown from the cache says how old it is.
QString StampText(const std::optional<DateValue> &time, const std::optional<DateValue> &today, const QLocale &locale)
{
    if (!time)
        return QStringLiteral("(not yet)");
    if (!today || DatePart(*time) == *today)
        return FormatClockTime(*time, locale);
    return locale.toString(ToQDate(*time), QStringLiteral("MMM d")) + u' ' + FormatClockTime(*time, locale);
}

QString IssuedTip(const QDateTime &issued, const QLocale &locale)
{
    if (!issued.isValid())
        return QString();
    return QStringLiteral("Forecast issued ") + locale.toString(issued, QStringLiteral("ddd, MMM d h:mm AP"));
}

QString StaleMark(const QDateTime &issued, const QDateTime &fetchedUtc)
{
    if (!issued.isValid() || !fetchedUtc.isValid())
        return QString();
    const qint64 age = issued.secsTo(fetchedUtc);
    if (age <= 12 * 3600)
        return QString();
    if (age < 24 * 3600)
        return QStringLiteral(" (forecast issued %1 hours ago)").arg(age / 3600);
    const qint64 days = (age + 12 * 3600) / 86400;   // a day or more, rounded
    return days == 1 ? QStringLiteral(" (forecast issued 1 day ago)")
                     : QStringLiteral(" (forecast issued %1 days ago)").arg(days);
}

} // namespace

std::vector<ListRow> TimeRows(const QDateTime &issued, const DisplayInputs &inputs, const QLocale &locale)
{
    if (!inputs.timerEnabled)
        return {ListRow{QStringLiteral("(auto off)"), {}}};
    ListRow forecast{StampText(inputs.lastForecastTime, inputs.today, locale), {}};
    if (!inputs.forecastSource.isEmpty()) {
        forecast.text += QStringLiteral(" (%1)").arg(inputs.forecastSource);
        forecast.description = forecast.text;
    }
    forecast.text += StaleMark(issued, inputs.forecastFetchedUtc);
    forecast.tip = IssuedTip(issued, locale);
    return {ListRow{StampText(inputs.lastAlmanacTime, inputs.today, locale), {}}, forecast};
}

Result<ForecastView> ComposeForecastView(const ForecastExtraction &extraction, const DisplayInputs &inputs,
                                         const QLocale &locale)
{
    ForecastView view;
    view.temperatureText = extraction.apparentTemp + QChar(kDegreeSign) + u'F';
    view.labelText = QStringLiteral("   ") + view.temperatureText;

    view.text1 = inputs.almanacText;
    view.text1 += QStringLiteral("Wind Speed: ") + extraction.windSpeedText + kLineEnd;
    view.text1 += QStringLiteral("Humidy: ") + extraction.humidityText + kLineEnd;
    view.text1 += QStringLiteral("Dew Point: ") + extraction.dewPointText + kLineEnd;
    QString pressure;
    try {
        // The page's missing reading shows as 0; the JSON API's, like its
        // other missing values, as nothing after the label.
        if (inputs.forecastSource.isEmpty() || !extraction.pressureText.isEmpty())
            pressure = PressureInHectopascals(extraction.pressureText);
    } catch (const RuntimeError &error) {
        return FailedBy(error, std::move(view));
    }
    view.text1 += QStringLiteral("Pressure: ") + pressure + kLineEnd;
    view.text1 += extraction.stationText;

    const PeriodTable display = DisplayTable(extraction);
    for (int r = 1; r <= kForecastRows; ++r)
        view.rows.push_back(ListRow{display[r][0],
                                    {display[r][1], display[r][2], display[r][3], display[r][4]},
                                    extraction.periodTexts[size_t(r)]});
    view.rows.push_back(FullMoonRow(inputs.nextFullMoon, locale));
    view.timeRows = TimeRows(extraction.issued, inputs, locale);
    return Result<ForecastView>::Of(std::move(view));
}

ListRow MoonriseRow(const QString &moonriseTomorrowText)
{
    return InformationRow(QStringLiteral("Moonrise tomorrow ") + moonriseTomorrowText);
}

ListRow FullMoonRow(DateValue nextFullMoon, const QLocale &locale)
{
    return InformationRow(QStringLiteral("Full Moon ") + FormatLongDate(nextFullMoon, locale));
}
