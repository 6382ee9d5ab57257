// The hourly window's costs on the recorded replies (../shared/fixtures/nws-hourly):
//  - hourly/read/<reply>: a digital forecast read into hours (the text and
//    tree checks, the parse, the layout and every series);
//  - hourly/table/<reply>: the same, then the table and the summary;
//  - hourly/api/<reply>: a JSON API hourly reply read into hours;
//  - hourly/paint: the chart of the first reply, 48 hours with its nights,
//    painted into an image of 900 x 300.
// Each runs in repetitions and reports mean, median and spread; the figures
// to compare with the targets (reading under 5 ms, painting under 4 ms) are
// the medians.
//
//     selvorra_hourly_bench [Google Benchmark options]

#include "app/HourlyChart.h"
#include "forecast/Hourly.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

const QString kFolder = QStringLiteral(SELVORRA_FIXTURES_DIR "/nws-hourly");
constexpr int kRepetitions = 9;

// What DownloadUrl hands on: one character per byte.
QString ReadReply(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

template <typename Body>
void Register(const QString &name, Body body)
{
    benchmark::RegisterBenchmark(qPrintable(name), [body](benchmark::State &state) {
        for (auto _ : state)
            body();
    })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

void RegisterDigital(const QString &name, const QString &reply)
{
    Register(QStringLiteral("hourly/read/") + name, [reply] {
        const Result<HourlyForecast> read = ReadDigitalForecast(reply);
        benchmark::DoNotOptimize(read.value.hours.data());
    });
    Register(QStringLiteral("hourly/table/") + name, [reply] {
        const Result<HourlyForecast> read = ReadDigitalForecast(reply);
        const QDateTime now = read.value.hours.front().start.toUTC();
        const std::vector<HourlyRow> rows = HourlyTable(read.value, now);
        const QString summary = HourlySummary(read.value, now);
        benchmark::DoNotOptimize(rows.data());
        benchmark::DoNotOptimize(summary.constData());
    });
}

// The chart as the window shows it: the first 48 hours, the nights at the
// reply's place (La Mesa), painted whole into an image.
void RegisterPaint(const HourlyForecast &forecast)
{
    auto *chart = new HourlyChart;
    chart->resize(900, 300);
    const QDateTime now = forecast.hours.front().start.toUTC();
    chart->SetData(forecast, NightSpans(32.8, -117.06, now, forecast.hours.back().end), now);
    chart->SetFocusHour(30);
    auto image = std::make_shared<QImage>(chart->size(), QImage::Format_ARGB32_Premultiplied);
    Register(QStringLiteral("hourly/paint"), [chart, image] { chart->render(image.get()); });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const QDir dir(kFolder);
    int count = 0;
    for (const QString &file : dir.entryList({QStringLiteral("*")}, QDir::Files, QDir::Name)) {
        const QString reply = ReadReply(dir.filePath(file));
        const QString name = QFileInfo(file).completeBaseName();
        if (file.endsWith(QLatin1String(".xml")) && ReadDigitalForecast(reply)) {
            if (count++ == 0)
                RegisterPaint(ReadDigitalForecast(reply).value);
            RegisterDigital(name, reply);
        } else if (file.endsWith(QLatin1String(".json")) && MapApiHourly(reply)) {
            Register(QStringLiteral("hourly/api/") + name, [reply] {
                const Result<HourlyForecast> read = MapApiHourly(reply);
                benchmark::DoNotOptimize(read.value.hours.data());
            });
        }
    }
    if (count == 0) {
        std::printf("hourly figures skipped: the recorded replies (%s) are not there\n",
                    qPrintable(QDir::cleanPath(kFolder)));
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
