// The settings file's first line taken over into the form state, and the two
// queries built from it.
#include "FuzzInput.h"

#include "almanac/Almanac.h"
#include "app/StartupFiles.h"
#include "common/RuntimeError.h"
#include "common/TextFile.h"
#include "forecast/Forecast.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = SplitFileLines(fuzzinput::Text(data, size));
    const QString line = lines.isEmpty() ? QString() : lines.first();
    FormState state;
    bool autoUpdate = true;
    try {
        ApplySettingsLine(line, QStringLiteral("/fuzz/SkyvaneLatLong_Setup.txt"), state, autoUpdate);
    } catch (const RuntimeError &error) {
        if (!error.description().contains(QStringLiteral("/fuzz/SkyvaneLatLong_Setup.txt")))
            fuzzinput::Fail("settings error without the path", error.description());
        return 0;
    }
    if (state.QueryExtra.startsWith(u' ') || state.QueryExtra.endsWith(u' '))
        fuzzinput::Fail("query term not trimmed", state.QueryExtra);
    if (!autoUpdate && !line.toLower().contains(QStringLiteral("false")))
        fuzzinput::Fail("automatic updates off without \"false\"", line);
    (void)AlmanacQuery(kAlmanacOrigin, state.Latitude, state.Longitude, state.QueryExtra,
                       MakeDate(2026, 12, 6, 10, 0));
    (void)ForecastQuery(kForecastOrigin, state.Latitude, state.Longitude);
    return 0;
}
