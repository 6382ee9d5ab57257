// The only place where the scaling benchmark calls into the program: when a
// stage's signature changes, this file follows.
#include "ScalingStages.h"

#include "alerts/AlertText.h"
#include "almanac/Almanac.h"
#include "startup/StartupFiles.h"
#include "common/RuntimeError.h"
#include "forecast/ForecastQuery.h"
#include "forecast/Display.h"
#include "forecast/ApiForecast.h"
#include "forecast/Hourly.h"

#include <QLocale>

namespace scaling {

namespace {

const QLocale &Locale()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

// The start of what stopped a stage: enough to tell the cases apart.
QString Stopped(const QString &failure)
{
    return QStringLiteral("error: ") + failure.left(60);
}

// Keeps a result alive so the work that made it is not dropped.
volatile qsizetype sink = 0;

} // namespace

QString ForecastStage(const QString &reply)
{
    const Result<ForecastExtraction> stages = ExtractForecastReply(reply);
    if (stages.outcome == Outcome::Absent)
        return QStringLiteral("no forecast");
    if (stages.outcome == Outcome::NotLoaded)
        return QStringLiteral("not loaded");
    if (!stages)
        return Stopped(stages.reason);
    DisplayInputs inputs;
    inputs.almanacText = QStringLiteral("Sunrise:  6:12 AM\r\nSunset:  4:31 PM\r\n");
    inputs.almanacTitle = QStringLiteral(" Moon WAXing 23%");
    inputs.nextFullMoon = MakeDate(2026, 12, 23, 17, 28);
    inputs.lastAlmanacTime = MakeDate(2026, 12, 6, 10, 0);
    inputs.lastForecastTime = inputs.lastAlmanacTime;
    const Result<ForecastView> view = ComposeForecastView(stages.value, inputs, Locale());
    const ListRow moonrise = MoonriseRow(stages.value.stationText);
    qsizetype extras = static_cast<qsizetype>(stages.value.hazards.size()) + stages.value.issued.isValid();
    for (const QString &text : stages.value.periodTexts)
        extras += text.size();
    sink = view.value.text1.size() + view.value.rows.size() + moonrise.text.size()
        + ForecastTitle(view.value.temperatureText, inputs.almanacTitle).size() + extras;
    return !view ? QStringLiteral("display stopped: ") + view.reason.left(50) : QStringLiteral("shown");
}

QString ApiForecastStage(const QString &reply)
{
    const Result<ForecastExtraction> mapped = MapApiForecast(reply);
    if (!mapped)
        return QStringLiteral("refused: ") + mapped.rule;
    const Result<ForecastView> view = ComposeForecastView(mapped.value, DisplayInputs{}, Locale());
    sink = view.value.text1.size() + view.value.rows.size() + mapped.value.periodTexts[1].size()
        + ForecastTitle(view.value.temperatureText, QString()).size();
    return !view ? QStringLiteral("display stopped: ") + view.reason.left(50) : QStringLiteral("shown");
}

QString AlertsStage(const QString &reply)
{
    const Result<AlertsReply> read = ReadAlerts(reply);
    if (!read)
        return QStringLiteral("refused: ") + read.rule;
    const QDateTime now(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);
    const std::vector<Alert> active = ActiveAlerts(read.value.alerts, now);
    const AlertStrip strip = ComposeAlertStrip(active);
    qsizetype shown = strip.text.size() + strip.accessibleDescription.size() + strip.toolTip.size();
    for (const Alert &alert : active)
        for (const AlertSection &section : ComposeAlertWindow(alert, Locale()).sections)
            shown += section.text.size();
    sink = shown;
    return QStringLiteral("shown %1 alerts").arg(active.size());
}

QString HourlyStage(const QString &reply)
{
    const Result<HourlyForecast> read = ReadDigitalForecast(reply);
    if (!read)
        return QStringLiteral("refused: ") + read.rule;
    const QDateTime now = read.value.hours.front().start.toUTC();
    const std::vector<HourlyRow> rows = HourlyTable(read.value, now, Locale());
    sink = static_cast<qsizetype>(rows.size()) + HourlySummary(read.value, now, Locale()).size();
    return QStringLiteral("shown, %1 rows").arg(rows.size());
}

QString SunMoonStage(const QString &reply)
{
    const Result<AlmanacTexts> scan = ScanAlmanacReply(reply, Locale());
    if (!scan)
        return Stopped(scan.reason);
    const AlmanacComposition composition = ComposeAlmanac(scan.value);
    const Result<int> image = MoonImageNumber(scan.value.illuminationText, scan.value.phaseWord);
    sink = composition.text.size() + composition.title.size() + image.value;
    return image ? QStringLiteral("shown") : Stopped(image.reason);
}

QString TomorrowStage(const QString &reply)
{
    const Result<QString> moonrise = ScanTomorrowMoonrise(reply, Locale());
    if (!moonrise)
        return Stopped(moonrise.reason);
    sink = moonrise.value.size();
    return moonrise.value.isEmpty() ? QStringLiteral("no moonrise") : QStringLiteral("shown");
}

QString SettingsStage(const QString &path)
{
    FormState state;
    bool autoUpdate = true;
    try {
        ReadSettingsFile(path, state, autoUpdate);
    } catch (const RuntimeError &error) {
        return Stopped(error.description());
    }
    sink = AlmanacQuery(kAlmanacOrigin, state.Latitude, state.Longitude, state.QueryExtra,
                        MakeDate(2026, 12, 6, 10, 0))
               .size()
        + ForecastQuery(kForecastOrigin, state.Latitude, state.Longitude).size();
    return QStringLiteral("read");
}

QString FullMoonStage(const QString &path)
{
    FormState state;
    try {
        LookupNextFullMoon(path, MakeDate(2026, 12, 1), state);
    } catch (const RuntimeError &error) {
        return Stopped(error.description());
    }
    sink = FormatLongDate(state.NextFullMoon, Locale()).size();
    return QStringLiteral("shown");
}

} // namespace scaling
