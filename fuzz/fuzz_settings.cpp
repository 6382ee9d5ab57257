// The settings file read as at start-up, its first line taken over into the
// form state, and the two queries built from it. The input is the whole file.
#include "FuzzInput.h"

#include "almanac/Almanac.h"
#include "startup/StartupFiles.h"
#include "common/RuntimeError.h"
#include "common/TextFile.h"
#include "forecast/ForecastQuery.h"

namespace {

// The longest first line the program takes; a longer one is refused.
constexpr qsizetype kLongestLine = 64 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzinput::WriteFile(QStringLiteral("SkyvaneLatLong_Setup.txt"), data, size);
    const QStringList lines = SplitFileLines(fuzzinput::Text(data, size));
    const QString line = lines.isEmpty() ? QString() : lines.first();
    FormState state;
    bool autoUpdate = true;
    try {
        ReadSettingsFile(path, state, autoUpdate);
    } catch (const RuntimeError &error) {
        if (!error.description().contains(path))
            fuzzinput::Fail("settings error without the path", error.description());
        return 0;
    }
    if (line.size() > kLongestLine)
        fuzzinput::Fail("a first line longer than 64 KiB was taken", QString::number(line.size()));
    if (state.QueryExtra.startsWith(u' ') || state.QueryExtra.endsWith(u' '))
        fuzzinput::Fail("query term not trimmed", state.QueryExtra);
    if (!autoUpdate && !line.toLower().contains(QStringLiteral("false")))
        fuzzinput::Fail("automatic updates off without \"false\"", line);
    (void)AlmanacQuery(kAlmanacOrigin, state.Latitude, state.Longitude, state.QueryExtra,
                       MakeDate(2026, 12, 6, 10, 0));
    (void)ForecastQuery(kForecastOrigin, state.Latitude, state.Longitude);
    return 0;
}
