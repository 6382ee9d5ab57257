#include "WindowModel.h"

#include "almanac/ComputedSky.h"

bool WindowModel::MadeFor(const std::optional<Made> &made, DateValue date) const
{
    return made && made->place == PlaceNow().Key() && made->date == DatePart(date);
}

void WindowModel::ShowAlmanac(const AlmanacTexts &texts, bool computed, DateValue date)
{
    AlmanacComposition composition = ComposeAlmanac(texts);
    if (computed)
        MarkComputed(composition);
    state.AlmanacText = composition.text;
    state.AlmanacTitle = composition.title;
    almanacMade_ = Made{PlaceNow().Key(), DatePart(date), !computed};
    // An illumination beyond 16 bits keeps the picture the window had.
    if (const Result<int> image = MoonImageNumber(texts.illuminationText, texts.phaseWord))
        view.icon = image.value;
    // Tomorrow's moonrise of a day that has now come is no longer tomorrow's.
    const DateValue tomorrow = DatePart(date) + 1;
    if (!MadeFor(moonriseMade_, tomorrow))
        if (const std::optional<QString> rise = ComputedMoonrise(PlaceNow(), tomorrow))
            ShowMoonrise(*rise, true, tomorrow);
}

void WindowModel::ShowComputedSky(DateValue now)
{
    if (MadeFor(almanacMade_, now))
        return;
    if (const std::optional<AlmanacTexts> computed = ComputedAlmanacTexts(PlaceNow(), now))
        ShowAlmanac(*computed, true, now);
}

void WindowModel::ShowMoonrise(const QString &moonrise, bool computed, DateValue date)
{
    state.MoonriseTomorrowText = (moonrise.isEmpty() ? kNoMoonrise : moonrise) + (computed ? kComputedMark : QString());
    moonriseMade_ = Made{PlaceNow().Key(), DatePart(date), !computed};
}

bool WindowModel::ObservatoryMoonrise(DateValue date) const
{
    return MadeFor(moonriseMade_, date) && moonriseMade_->observatory;
}

QString WindowModel::ShowForecast(const ForecastExtraction &extraction, DateValue time, const QDateTime &fetchedUtc,
                                  const QString &source)
{
    DisplayInputs inputs;
    inputs.forecastSource = source;
    const Result<ForecastView> composed = ComposeForecastView(extraction, inputs);
    forecast.temperature = composed.value.temperatureText;
    forecast.label = composed.value.labelText;
    forecast.conditions = composed.value.text1;
    if (!composed)
        return composed.reason;
    forecast.rows.assign(composed.value.rows.begin(), composed.value.rows.begin() + 7);
    forecast.starts = extraction.periodStarts;
    forecast.hazards = extraction.hazards;
    forecast.time = time;
    forecast.fetchedUtc = fetchedUtc;
    forecast.issued = extraction.issued;
    forecast.source = source;
    view.columns = true;
    return QString();
}

void WindowModel::StartOver()
{
    view.columns = false;
    forecast.rows.clear();
    forecast.hazards.clear();
    forecast.time.reset();
    almanacSuccess.reset();
}

namespace {

WarningsStrip StripOf(const AlertsShown &alerts, const std::vector<Hazard> &hazards)
{
    WarningsStrip strip;
    if (alerts.outside)
        return strip;
    if (alerts.current) {
        const AlertStrip composed = ComposeAlertStrip(alerts.active);
        return {composed.text, composed.toolTip, composed.accessibleDescription, composed.icon, alerts.active, {}};
    }
    QStringList text;
    QStringList lines;
    if (!alerts.note.isEmpty()) {
        text << alerts.note;
        lines << alerts.note + QStringLiteral(": ") + alerts.reason;
    }
    for (const Hazard &hazard : hazards) {
        text << hazard.headline;
        lines << hazard.headline;
    }
    strip.text = text.join(QStringLiteral(" \u00B7 "));
    strip.toolTip = lines.join(QLatin1Char('\n'));
    strip.description = lines.join(QStringLiteral("; "));
    strip.hazards = hazards;
    return strip;
}

} // namespace

void WindowModel::Compose(DateValue now)
{
    view.label = forecast.label;
    view.text1 = state.AlmanacText + forecast.conditions;
    const QString title = ForecastTitle(forecast.temperature, state.AlmanacTitle);
    view.title = title.isEmpty() ? kStartTitle : title;
    view.warnings = StripOf(alerts, forecast.hazards);
    view.rows.clear();
    if (!view.columns)
        return;
    view.rows = forecast.rows;
    view.rows.push_back(FullMoonRow(state.NextFullMoon));
    view.rows.push_back(MoonriseRow(state.MoonriseTomorrowText));
    DisplayInputs times;
    times.lastAlmanacTime = almanacSuccess;
    times.lastForecastTime = forecast.time;
    times.today = DatePart(now);
    times.timerEnabled = view.timerOn;
    times.forecastSource = forecast.source;
    times.forecastFetchedUtc = forecast.fetchedUtc;
    const std::vector<ListRow> timeRows = TimeRows(forecast.issued, times);
    view.rows.insert(view.rows.end(), timeRows.begin(), timeRows.end());
}
