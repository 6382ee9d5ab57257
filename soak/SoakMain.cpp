// The soak run: a real Form1 refreshes its sun/moon data and its forecast
// (which fetches tomorrow's moonrise) over and over, each download through
// net::DownloadUrl over HTTPS to the loopback test server, which serves the
// recorded service replies. Resident memory is read after a settling period
// and again at the end; growth of a mebibyte or more fails the run.
//
//   selvorra_soak [--cycles N] [--baseline-cycle B] [--max-growth-kib K]
//
// Exit codes: 0 passed, 1 failed, 2 usage, 77 the recorded replies are absent.
#include "app/Form1.h"
#include "app/RealPlatform.h"
#include "startup/StartupFiles.h"
#include "net/DownloadUrl.h"
#include "support/TestServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>
#include <string>

// AddressSanitizer holds freed memory back for a while to catch late uses, so
// resident memory says nothing about growth there; its leak check at exit
// takes that part over.
#if defined(__SANITIZE_ADDRESS__)
#define SOAK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_UNDER_ASAN 1
#endif
#endif
#ifndef SOAK_UNDER_ASAN
#define SOAK_UNDER_ASAN 0
#endif

namespace {

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);

// The replies the loopback server answers with: a night-first forecast, a
// day's sun and moon data, and a next day whose moon rises after a transit.
const char *const kForecastReply = "nws/austin-2023-02-26-tonight-n14.xml";
const char *const kAlmanacReply = "usno/mayapur-2026-04-14-tz5.5.json";
const char *const kTomorrowReply = "usno/vrindavan-2026-06-30-full-moon-label.json";

// The window's clock stands still, so the minute timer never finds a refresh
// due and every download of the run is one this driver asked for.
const DateValue kNow = MakeDate(2026, 12, 6, 10, 0, 0);

QByteArray ReadFixture(const char *relative)
{
    QFile file(kFixtures + QLatin1Char('/') + QLatin1String(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Resident memory of this process in KiB, from /proc/self/status; -1 when
// it cannot be read.
long ResidentKib()
{
    // Files under /proc report a size of 0, so the text is read whole.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The real downloads against the test CA; everything else stays quiet.
class SoakPlatform : public RealPlatform {
public:
    explicit SoakPlatform(const QString &directory) : RealPlatform(TrustingTestCa()), directory_(directory) {}

    QStringList messages;

    DateValue Now() override { return kNow; }
    void ShowMessage(const QString &text, const QString &) override { messages << text; }
    void ShowFailure(Service, const QString &text) override { messages << text; }
    QString UserCacheDirectory() override { return directory_ + QStringLiteral("/cache"); }
    bool OpenInEditor(const QString &) override { return false; }
    bool OpenUrl(const QString &) override { return false; }
    void Pause(int) override {}
    QString ProgramDirectory() override { return directory_; }

private:
    static net::DownloadOptions TrustingTestCa()
    {
        net::DownloadOptions options;
        options.extraCaFile = testsupport::TestServer::caFile();
        return options;
    }

    QString directory_;
};

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool ParseCount(const char *text, long *value)
{
    char *end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 1)
        return false;
    *value = parsed;
    return true;
}


struct Options {
    long cycles = 2000;
    long baselineCycle = 100;
    long maxGrowthKib = 1024;
};

bool ParseOptions(int argc, char **argv, Options *options)
{
    for (int a = 1; a < argc; a += 2) {
        const bool hasValue = a + 1 < argc;
        long *target = nullptr;
        if (std::strcmp(argv[a], "--cycles") == 0)
            target = &options->cycles;
        else if (std::strcmp(argv[a], "--baseline-cycle") == 0)
            target = &options->baselineCycle;
        else if (std::strcmp(argv[a], "--max-growth-kib") == 0)
            target = &options->maxGrowthKib;
        if (!target || !hasValue || !ParseCount(argv[a + 1], target))
            return false;
    }
    return true;
}

// The resident memory at the baseline cycle and the last; false when it grew
// by the limit or more (not judged under AddressSanitizer).
bool MemoryHolds(const Options &options, long cycle, long *baselineKib)
{
    if (cycle != options.baselineCycle && cycle != options.cycles)
        return true;
    const long kib = ResidentKib();
    std::printf("cycle %ld: VmRSS %ld KiB\n", cycle, kib);
    std::fflush(stdout);
    if (cycle == options.baselineCycle)
        *baselineKib = kib;
    if (cycle != options.cycles || cycle <= options.baselineCycle || *baselineKib <= 0 || kib <= 0)
        return true;
    const long growth = kib - *baselineKib;
    std::printf("growth from cycle %ld to cycle %ld: %ld KiB (limit: below %ld KiB)\n", options.baselineCycle,
                options.cycles, growth, options.maxGrowthKib);
    if (SOAK_UNDER_ASAN) {
        std::printf("growth not judged: this build holds freed memory back "
                    "(AddressSanitizer); its leak check runs at exit\n");
        return true;
    }
    if (growth >= options.maxGrowthKib) {
        std::fprintf(stderr, "soak failed: resident memory grew by %ld KiB\n", growth);
        return false;
    }
    return true;
}

// The window refreshing cycle after cycle; 0 when every cycle did its three
// downloads and filled the list and memory held.
int RunCycles(const Options &options, testsupport::TestServer &server, const QString &directory)
{
    SoakPlatform platform(directory);
    ServiceOrigins origins;
    origins.forecast = server.baseUrl();
    origins.almanac = server.baseUrl();
    origins.api = origins.alerts = server.baseUrl();   // never the real service
    Form1 form(platform, origins);
    form.Form_Load();

    long baselineKib = -1;
    for (long cycle = 1; cycle <= options.cycles; ++cycle) {
        server.clearRecords(); // the server's own log would grow with the run
        form.RefreshAlmanac();
        form.RefreshForecast();
        // A cycle that did not do its three downloads and fill the list
        // measures nothing.
        const int rows = form.lvwEmployees->topLevelItemCount();
        if (server.requestCount() != 3 || rows != 11 || !platform.messages.isEmpty() || form.IconIndex() == 0) {
            std::fprintf(stderr, "soak failed in cycle %ld: %d requests, %d rows, icon %d%s%s\n", cycle,
                         server.requestCount(), rows, form.IconIndex(),
                         platform.messages.isEmpty() ? "" : ", message: ",
                         platform.messages.isEmpty() ? "" : qPrintable(platform.messages.first()));
            return 1;
        }
        if (!MemoryHolds(options, cycle, &baselineKib))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: %s [--cycles N] [--baseline-cycle B] [--max-growth-kib K]\n", argv[0]);
        return 2;
    }

    const QByteArray forecast = ReadFixture(kForecastReply);
    const QByteArray almanac = ReadFixture(kAlmanacReply);
    const QByteArray tomorrow = ReadFixture(kTomorrowReply);
    if (forecast.isEmpty() || almanac.isEmpty() || tomorrow.isEmpty()) {
        std::printf("soak skipped: the recorded replies in %s are not present\n", qPrintable(kFixtures));
        return 77;
    }

    // Headless unless a platform was chosen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    testsupport::TestServer server(testsupport::TestServer::Mode::Https);
    server.route("/MapClick.php", testsupport::Response::ok(forecast, "text/xml"));
    const QByteArray tomorrowDate = "date=" + FormatIsoDate(kNow + 1).toLatin1();
    server.route("/api/rstt/oneday", [=](const testsupport::Request &request) {
        return testsupport::Response::ok(request.target.contains(tomorrowDate) ? tomorrow : almanac,
                                         "application/json");
    });
    if (!server.start()) {
        std::fprintf(stderr, "soak failed: the loopback server did not start\n");
        return 1;
    }

    QTemporaryDir directory;
    if (!directory.isValid()
        || !WriteFile(directory.filePath(kSettingsFileName), "35.9656,-114.836,tz=-8,auto update=true\r\n")
        || !WriteFile(directory.filePath(kFullMoonFileName), "Full moons\r\n2026-11-24 06:53\r\n2026-12-23 17:28\r\n")) {
        std::fprintf(stderr, "soak failed: cannot write the settings and full-moon files\n");
        return 1;
    }

    const int status = RunCycles(options, server, directory.path());
    server.stop();
    std::printf("soak %s\n", status == 0 ? "passed" : "failed");
    return status;
}
