// The window's own costs around the alerts and the hours:
//  - window/alerts-tick-304: one tick of the timer on which the alerts are
//    asked and the service answers 304 (nothing new): the program's CPU time
//    beyond the request (the request is answered at once here), with one
//    alert in force in the strip and its event notified;
//  - window/hours-open-kept: from the click on "Hours" until the window is
//    shown with the kept hours (the fetch that follows is left out: the
//    stand-in network answers nothing at once).
// Each runs in repetitions and reports mean, median and spread; the figures
// to compare with the targets (a 304 tick under 1 ms, the kept hours under
// 50 ms) are the medians.
//
//     selvorra_window_bench [Google Benchmark options]

#include "app/Form1.h"
#include "app/HourlyWindow.h"
#include "app/TestPlatform.h"
#include "cache/KeptReplies.h"
#include "forecast/HourlySource.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr int kRepetitions = 9;

void WriteText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// A platform with the settings and table beside it and nothing on the network.
struct Bench {
    TestPlatform platform;
    Bench()
    {
        WriteText(platform.FilePath(kSettingsFileName), "35.9656,-114.836,tz=-8\r\n");
        WriteText(platform.FilePath(kFullMoonFileName), "Full moons\r\n2026-12-23 17:28\r\n");
    }
};

const QString kAlert = QStringLiteral(
    R"({"features": [{"id": "urn:a1", "properties": {"status": "Actual", "messageType": "Alert", )"
    R"("event": "Flood Warning", "headline": "Flood Warning until noon", "severity": "Severe", )"
    R"("onset": "2026-12-06T09:00:00Z", "ends": "2026-12-07T12:00:00Z", "instruction": "Turn around."}}]})");

void AlertsTickNotModified(benchmark::State &state)
{
    Bench b;
    bool first = true;
    b.platform.onAlerts = [&](const net::Request &) {
        const bool was = first;
        first = false;
        return was ? net::Fetched{kAlert, {net::Failure::None, "api.weather.gov", 200, "OK", "\"v1\"", {}, {}}}
                   : net::Fetched{QString(), {net::Failure::None, "api.weather.gov", 304, "Not Modified", {}, {}, {}}};
    };
    // The forecast and the sun and moon answer, so that they are due only on
    // their own schedule: every 30 minutes, and not again before 18:00.
    const QString forecast = QString::fromLatin1(testsupport::SuiteFile("forecast/replies/night-first-short.xml"));
    const QString almanac = QString::fromLatin1(testsupport::SuiteFile("almanac/waxing-crescent-reply.json"));
    b.platform.onDownload = [&](const QString &url) { return url.contains(QStringLiteral("MapClick")) ? forecast : almanac; };
    WindowLogic logic(b.platform, {}, [](const WindowView &, bool) {});
    logic.Load();
    int minute = 0;
    for (auto _ : state) {
        b.platform.now = MakeDate(2026, 12, 6, 10, 0, 0) + (++minute) / 1440.0;
        // A tick on which the forecast is due too is left out of the figure.
        if (minute % 30 == 0) {
            state.PauseTiming();
            logic.Tick();
            state.ResumeTiming();
            continue;
        }
        logic.Tick();
    }
    if (b.platform.notifications.size() != 1 || logic.View().warnings.text != QStringLiteral("Flood Warning"))
        state.SkipWithError("the tick did not keep the alert in force");
}

QString DigitalWeek()
{
    QString layout;
    QString values;
    const QDateTime start(QDate(2026, 12, 6), QTime(0, 0), Qt::UTC);
    for (int h = 0; h < 168; ++h) {
        layout += QStringLiteral("<start-valid-time>%1</start-valid-time>").arg(start.addSecs(3600 * h).toString(Qt::ISODate));
        values += QStringLiteral("<value>%1</value>").arg(50 + h % 12);
    }
    return QStringLiteral("<?xml version=\"1.0\"?><dwml><head><product><creation-date>2026-12-06T00:10:00Z</creation-date>"
                          "</product></head><data><time-layout><layout-key>k-p1h-n1-0</layout-key>%1</time-layout>"
                          "<parameters><temperature type=\"hourly\" time-layout=\"k-p1h-n1-0\">%2</temperature>"
                          "</parameters></data></dwml>")
        .arg(layout, values);
}

void HoursOpenFromKept(benchmark::State &state)
{
    Bench b;
    const Place place{QStringLiteral("35.9656"), QStringLiteral("-114.836"), QStringLiteral("tz=-8")};
    KeptReplies(b.platform.UserCacheDirectory(), place).Keep(kKeepHourly, DigitalWeek(), b.platform.NowUtc());
    Form1 window(b.platform);
    window.Form_Load();
    HourlyWindow *shownIn = nullptr;
    for (auto _ : state) {
        const auto clicked = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point shown;
        bool first = true;
        b.platform.onDownload = [&](const QString &url) {
            // The fetch after the kept hours: the window was shown before it.
            if (first && url.contains(QStringLiteral("digitalDWML"))) {
                shown = std::chrono::steady_clock::now();
                first = false;
                shownIn = window.findChild<HourlyWindow *>();
            }
            return QString();
        };
        window.Hours->click();
        state.SetIterationTime(std::chrono::duration<double>(shown - clicked).count());
        if (QWidget *hours = QApplication::activeWindow(); hours && hours != &window)
            hours->close();
    }
    (void)shownIn;
}

} // namespace

// 400 minutes from 10:00: the sun and moon are due again only at 18:00.
BENCHMARK(AlertsTickNotModified)->Name("window/alerts-tick-304")->MeasureProcessCPUTime()->Iterations(400)
    ->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(HoursOpenFromKept)->Name("window/hours-open-kept")->UseManualTime()->Iterations(20)
    ->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
