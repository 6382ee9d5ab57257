// The refresh pipelines on every recorded reply of both services:
//  - forecast/<reply>: load and flatten the DWML reply, both extraction
//    scans, and the display content (label, text box, rows, title);
//  - sunmoon/<reply>: the sun/moon reply scan, its composition and the moon
//    picture number;
//  - alerts/read-200: reading an alerts reply of 200 alerts, each the
//    recorded DeLand flood warning with an id of its own (target: under 20 ms).
// Each runs in repetitions and reports mean, median and spread; the figures
// to compare with the targets are the medians.
//
//     selvorra_pipeline_bench [Google Benchmark options]

#include "alerts/Alerts.h"
#include "almanac/Almanac.h"
#include "forecast/Display.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <exception>
#include <string>

namespace {

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);
constexpr int kRepetitions = 9;

// What DownloadUrl hands on: one character per byte (the replies are ASCII).
QString ReadReply(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

const QLocale &Locale()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

// One forecast refresh minus the network and the widgets. Returns how far
// the reply went, for the label.
const char *ForecastOnce(const QString &reply, const DisplayInputs &inputs)
{
    const Result<ForecastExtraction> stages = ExtractForecastReply(reply);
    if (stages.outcome == Outcome::Absent)
        return "no forecast";
    if (stages.outcome == Outcome::NotLoaded)
        return "not loaded";
    // The window would keep what it showed; the work up to here counts.
    if (stages.outcome == Outcome::Failed)
        return "scan stopped";
    const Result<ForecastView> view = ComposeForecastView(stages.value, inputs, Locale());
    benchmark::DoNotOptimize(view.value.rows.data());
    benchmark::DoNotOptimize(view.value.text1.constData());
    const QString title = ForecastTitle(view.value.temperatureText, inputs.almanacTitle);
    benchmark::DoNotOptimize(title.constData());
    return !view ? "display stopped" : "displayed";
}

const char *SunMoonOnce(const QString &reply)
{
    const Result<AlmanacTexts> scan = ScanAlmanacReply(reply, Locale());
    if (!scan)
        return "scan stopped";
    const AlmanacComposition composition = ComposeAlmanac(scan.value);
    benchmark::DoNotOptimize(composition.text.constData());
    benchmark::DoNotOptimize(composition.title.constData());
    const Result<int> image = MoonImageNumber(scan.value.illuminationText, scan.value.phaseWord);
    benchmark::DoNotOptimize(image.value);
    return "composed";
}

void RegisterForecast(const QString &name, const QString &reply)
{
    DisplayInputs inputs;
    inputs.almanacText = QStringLiteral("Sunrise:  6:12 AM\r\nSunset:  4:31 PM\r\nMoonrise:  9:12 AM\r\n"
                                        "Moonset:  7:40 PM\r\nWaxing 23% visible\r\n");
    inputs.almanacTitle = QStringLiteral(" Moon Waxing 23% 6:12 AM 4:31 PM");
    inputs.nextFullMoon = MakeDate(2026, 12, 23, 17, 28);
    inputs.lastAlmanacTime = MakeDate(2026, 12, 6, 10, 0);
    inputs.lastForecastTime = inputs.lastAlmanacTime;
    benchmark::RegisterBenchmark(qPrintable(QStringLiteral("forecast/") + name),
                                 [reply, inputs](benchmark::State &state) {
                                     const char *outcome = "";
                                     for (auto _ : state)
                                         outcome = ForecastOnce(reply, inputs);
                                     state.SetLabel(outcome);
                                     state.SetBytesProcessed(state.iterations() * reply.size());
                                 })
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

void RegisterSunMoon(const QString &name, const QString &reply)
{
    benchmark::RegisterBenchmark(qPrintable(QStringLiteral("sunmoon/") + name),
                                 [reply](benchmark::State &state) {
                                     const char *outcome = "";
                                     for (auto _ : state)
                                         outcome = SunMoonOnce(reply);
                                     state.SetLabel(outcome);
                                 })
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

// The recorded alerts reply with its one feature repeated `count` times,
// each with an id of its own; empty when the reply is absent.
QString RepeatedAlerts(int count)
{
    const QString reply = ReadReply(kFixtures + QStringLiteral("/nws-api/deland-2022-10-18-alerts-active.json"));
    const QString open = QStringLiteral("\"features\": ["), close = QStringLiteral("\n    ],\n    \"title\"");
    const qsizetype from = reply.indexOf(open) + open.size(), to = reply.indexOf(close);
    if (reply.isEmpty() || from < open.size() || to < from)
        return {};
    const QString feature = reply.mid(from, to - from);
    QStringList features;
    for (int n = 0; n < count; ++n)
        features << QString(feature).replace(QStringLiteral("dd4ff7b5442e3279bfd86a449cd181e63e5db0fd"),
                                             QStringLiteral("%1").arg(n, 40, 16, QLatin1Char('0')));
    return reply.left(from) + features.join(u',') + reply.mid(to);
}

void RegisterAlerts(const QString &reply)
{
    benchmark::RegisterBenchmark("alerts/read-200", [reply](benchmark::State &state) {
        size_t alerts = 0;
        for (auto _ : state) {
            const Result<AlertsReply> read = ReadAlerts(reply);
            alerts = read.value.alerts.size();
            benchmark::DoNotOptimize(read.value.alerts.data());
        }
        state.SetLabel(std::to_string(alerts) + " alerts read");
        state.SetBytesProcessed(state.iterations() * reply.size());
    })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

// Every reply in one folder of the recorded replies, by file name.
int RegisterFolder(const QString &folder, const QString &pattern, void (*add)(const QString &, const QString &))
{
    const QDir dir(kFixtures + QLatin1Char('/') + folder);
    int count = 0;
    for (const QString &file : dir.entryList({pattern}, QDir::Files, QDir::Name)) {
        const QString reply = ReadReply(dir.filePath(file));
        if (reply.isEmpty())
            continue;
        add(QFileInfo(file).completeBaseName(), reply);
        ++count;
    }
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const int forecasts = RegisterFolder(QStringLiteral("nws"), QStringLiteral("*.xml"), RegisterForecast);
    const int sunMoon = RegisterFolder(QStringLiteral("usno"), QStringLiteral("*.json"), RegisterSunMoon);
    const QString alerts = RepeatedAlerts(kMostAlerts);
    if (!alerts.isEmpty())
        RegisterAlerts(alerts);
    if (forecasts + sunMoon == 0 && alerts.isEmpty()) {
        std::printf("pipeline figures skipped: the recorded service replies (%s) are not there\n",
                    qPrintable(QDir::cleanPath(kFixtures)));
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
