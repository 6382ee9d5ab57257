// Start-up, memory and connection figures of the program against two
// loopback HTTPS servers that answer with recorded replies, one server per
// service as in real use (two hosts: two origins).
//
//     selvorra_startup_driver [--runs N] [--refreshes N]
//
// Each run starts selvorra_startup_bench as a new process and times it from
// just before the process is created until it reports the window populated
// (label, list and title). The servers count the requests, connections and
// TLS handshakes of every run. One more run then refreshes both services
// --refreshes times and reports the resident memory before and after.
// Prints figures with their targets; a figure over its target is marked, but
// the exit status only tells whether the runs could be made.

#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Response;
using testsupport::TestServer;

const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);
const QString kForecastFixture = QStringLiteral("nws/austin-2023-02-26-tonight-n14.xml");
const QString kAlmanacFixture = QStringLiteral("usno/mayapur-2026-04-14-tz5.5.json");

constexpr double kStartupTargetMs = 300.0;
constexpr double kMemoryTargetMiB = 45.0;
constexpr int kHandshakeTarget = 2;
constexpr double kOfflineTargetMs = 50.0;

struct RunResult {
    bool ok = false;
    double populatedMs = 0;
    std::map<std::string, long> figures; // "rss-startup-kib" and the like
};

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Starts the bench program with `args`, reads its output line by line, and
// notes the time of the "populated" line.
RunResult RunOnce(const std::vector<std::string> &args)
{
    RunResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(spawned));
        return result;
    }

    FILE *out = fdopen(pipeFds[0], "r");
    char *line = nullptr;
    size_t capacity = 0;
    bool populated = false;
    while (getline(&line, &capacity, out) > 0) {
        const std::string text(line);
        if (!populated && text == "populated\n") {
            result.populatedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            populated = true;
            continue;
        }
        const size_t space = text.find(' ');
        if (space != std::string::npos)
            result.figures[text.substr(0, space)] = std::strtol(text.c_str() + space + 1, nullptr, 10);
    }
    std::free(line);
    std::fclose(out);

    int status = 0;
    waitpid(pid, &status, 0);
    result.ok = populated && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

const char *Mark(bool withinTarget)
{
    return withinTarget ? "" : "   <-- over target";
}

} // namespace

// Start-up time, memory and connections over `runs` new processes.
bool StartupFigures(const std::vector<std::string> &base, TestServer &forecastServer, TestServer &almanacServer,
                    int runs)
{
    std::vector<double> times;
    std::vector<double> rssMiB;
    int requests = 0, connections = 0, handshakes = 0, resumed = 0;
    for (int run = 0; run < runs; ++run) {
        forecastServer.clearRecords();
        almanacServer.clearRecords();
        const RunResult r = RunOnce(base);
        if (!r.ok) {
            std::fprintf(stderr, "run %d failed: the window did not fill\n", run + 1);
            return false;
        }
        times.push_back(r.populatedMs);
        rssMiB.push_back(r.figures.count("rss-startup-kib") ? r.figures.at("rss-startup-kib") / 1024.0 : 0);
        // Every run makes the same requests; the last run's counts stand for all.
        requests = forecastServer.requestCount() + almanacServer.requestCount();
        connections = forecastServer.connectionsAccepted() + almanacServer.connectionsAccepted();
        handshakes = forecastServer.tlsHandshakes() + almanacServer.tlsHandshakes();
        resumed = forecastServer.tlsResumedHandshakes() + almanacServer.tlsResumedHandshakes();
    }

    const double medianMs = Median(times);
    const double medianRss = Median(rssMiB);
    std::printf("Start-up to a populated window (process start to label, list and title), %d runs:\n", runs);
    std::printf("  median %.1f ms   (min %.1f, max %.1f)   target <= %.0f ms%s\n", medianMs,
                *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), kStartupTargetMs,
                Mark(medianMs <= kStartupTargetMs));
    std::printf("Connections during start-up (two services, two hosts):\n");
    std::printf("  %d requests, %d connections, %d TLS handshakes (%d resumed)   target %d handshakes%s\n",
                requests, connections, handshakes, resumed, kHandshakeTarget,
                Mark(handshakes == kHandshakeTarget));
    std::printf("Resident memory after start-up:\n");
    std::printf("  median %.1f MiB   target <= %.0f MiB%s\n", medianRss, kMemoryTargetMiB,
                Mark(medianRss <= kMemoryTargetMiB));

    return true;
}

// Start-up without network, from the replies the runs before kept: the time
// from the window's first map to a populated window.
bool OfflineFigures(std::vector<std::string> base, int runs)
{
    const std::string nowhere = QStringLiteral("https://127.0.0.1:%1").arg(TestServer::closedPort()).toStdString();
    for (size_t i = 0; i + 1 < base.size(); ++i)
        if (base[i] == "--forecast" || base[i] == "--almanac")
            base[i + 1] = nowhere;
    base.push_back("--offline");
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const RunResult r = RunOnce(base);
        if (!r.ok || !r.figures.count("populated-after-map-us")) {
            std::fprintf(stderr, "offline run %d failed: the window did not fill from the kept replies\n", run + 1);
            return false;
        }
        times.push_back(r.figures.at("populated-after-map-us") / 1000.0);
    }
    const double medianMs = Median(times);
    std::printf("Offline start-up from the kept replies (window's first map to a populated window), %d runs:\n", runs);
    std::printf("  median %.2f ms   (min %.2f, max %.2f)   target <= %.0f ms%s\n", medianMs,
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                kOfflineTargetMs, Mark(medianMs <= kOfflineTargetMs));
    return true;
}

// Resident memory after `refreshes` refreshes of both services in one process.
bool RefreshFigures(const std::vector<std::string> &base, TestServer &forecastServer, TestServer &almanacServer,
                    int refreshes)
{
    forecastServer.clearRecords();
    almanacServer.clearRecords();
    std::vector<std::string> args = base;
    args.push_back("--refreshes");
    args.push_back(std::to_string(refreshes));
    const Clock::time_point start = Clock::now();
    const RunResult r = RunOnce(args);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!r.ok || !r.figures.count("rss-refreshes-kib")) {
        std::fprintf(stderr, "the refresh run failed\n");
        return false;
    }
    const double after = r.figures.at("rss-refreshes-kib") / 1024.0;
    const double peak = r.figures.count("peak-kib") ? r.figures.at("peak-kib") / 1024.0 : 0;
    std::printf("Resident memory after %d refreshes of both services (%.1f s, %d requests, "
                "%d TLS handshakes):\n",
                refreshes, seconds,
                forecastServer.requestCount() + almanacServer.requestCount(),
                forecastServer.tlsHandshakes() + almanacServer.tlsHandshakes());
    std::printf("  start-up %.1f MiB, after %.1f MiB, peak %.1f MiB   target <= %.0f MiB%s\n",
                r.figures.count("rss-startup-kib") ? r.figures.at("rss-startup-kib") / 1024.0 : 0,
                after, peak, kMemoryTargetMiB, Mark(after <= kMemoryTargetMiB && peak <= kMemoryTargetMiB));
    return true;
}

// "--runs N" and "--refreshes N"; false after the usage line on anything else.
bool ReadArguments(int argc, char *argv[], int &runs, int &refreshes)
{
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (i + 1 < argc && std::strcmp(argv[i], "--refreshes") == 0)
            refreshes = std::max(0, std::atoi(argv[i + 1]));
        else {
            std::fprintf(stderr, "usage: selvorra_startup_driver [--runs N] [--refreshes N]\n");
            return false;
        }
    }
    return true;
}

// A program folder with the shipped settings file and full-moon table.
bool FillProgramFolder(const QTemporaryDir &folder)
{
    return folder.isValid()
        && QFile::copy(QStringLiteral(SELVORRA_DATA_DIR "/SkyvaneLatLong_Setup.txt"),
                       folder.filePath(QStringLiteral("SkyvaneLatLong_Setup.txt")))
        && QFile::copy(QStringLiteral(SELVORRA_DATA_DIR "/FullMoonTable.txt"),
                       folder.filePath(QStringLiteral("FullMoonTable.txt")));
}

int main(int argc, char *argv[])
{
    // Line by line, so the figures stay in order with the programs' messages.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int runs = 21;
    int refreshes = 1000;
    if (!ReadArguments(argc, argv, runs, refreshes))
        return 2;

    const QByteArray forecastReply = ReadAll(kFixtures + QLatin1Char('/') + kForecastFixture);
    const QByteArray almanacReply = ReadAll(kFixtures + QLatin1Char('/') + kAlmanacFixture);
    if (forecastReply.isEmpty() || almanacReply.isEmpty()) {
        std::printf("start-up figures skipped: the recorded service replies (%s) are not there\n",
                    qPrintable(QDir::cleanPath(kFixtures)));
        return 0;
    }
    // The window needs no screen to start; without one, Qt's offscreen
    // platform stands in.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QTemporaryDir folder;
    if (!FillProgramFolder(folder)) {
        std::fprintf(stderr, "cannot set up a program folder\n");
        return 1;
    }

    TestServer forecastServer(TestServer::Mode::Https);
    TestServer almanacServer(TestServer::Mode::Https);
    forecastServer.route("/MapClick.php", Response::ok(forecastReply, "text/xml;charset=UTF-8"));
    almanacServer.route("/api/rstt/oneday", Response::ok(almanacReply, "application/json"));
    if (!forecastServer.start() || !almanacServer.start()) {
        std::fprintf(stderr, "cannot start the loopback servers\n");
        return 1;
    }

    const std::vector<std::string> base{
        SELVORRA_STARTUP_BENCH,
        "--forecast", forecastServer.baseUrl().toStdString(),
        "--almanac", almanacServer.baseUrl().toStdString(),
        "--ca", TestServer::caFile().toStdString(),
        "--dir", folder.path().toStdString(),
    };

    if (!StartupFigures(base, forecastServer, almanacServer, runs))
        return 1;
    if (!OfflineFigures(base, runs))
        return 1;
    if (refreshes > 0 && !RefreshFigures(base, forecastServer, almanacServer, refreshes))
        return 1;
    return 0;
}
