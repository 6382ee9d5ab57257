// The forecast stages from reply text to what the window shows: extraction
// (XML load and both scans), composition, the moonrise row and the title.
#include "FuzzInput.h"

#include "common/RuntimeError.h"
#include "forecast/Forecast.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = fuzzinput::Text(data, size);
    ForecastStages stages;
    try {
        stages = ExtractForecastReply(reply);
    } catch (const RuntimeError &) {
        return 0; // the refresh's documented failure: the window keeps what it had
    }
    if (stages.outcome != ForecastOutcome::Extracted)
        return 0;

    DisplayInputs inputs;
    inputs.almanacText = QStringLiteral("Sunrise:  6:01 AM\r\n");
    inputs.almanacTitle = QStringLiteral(" Moon Full 100%");
    inputs.nextFullMoon = MakeDate(2026, 12, 23, 17, 28);
    inputs.lastAlmanacTime = MakeDate(2026, 12, 6, 10, 0);
    inputs.lastForecastTime = inputs.lastAlmanacTime;
    inputs.timerEnabled = size % 2 == 0;
    const ForecastView view =
        ComposeForecastView(stages.extraction, inputs, fuzzinput::Locale(static_cast<int>(size)));
    if (!view.failed) {
        if (view.rows.size() != 8)
            fuzzinput::Fail("forecast rows", QString::number(view.rows.size()));
        if (view.timeRows.size() != (inputs.timerEnabled ? 2u : 1u))
            fuzzinput::Fail("time rows", QString::number(view.timeRows.size()));
        for (const ListRow &row : view.rows)
            if (row.subItems.size() != 4)
                fuzzinput::Fail("row columns", row.text);
    } else if (view.failure.isEmpty()) {
        fuzzinput::Fail("a failed composition without a description");
    }
    const ListRow moonrise = MoonriseRow(stages.extraction.stationText);
    (void)moonrise;
    (void)ForecastTitle(view.temperatureText, inputs.almanacTitle);
    return 0;
}
