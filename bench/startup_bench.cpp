// The program's start-up as a separate executable for the start-up driver:
// the same window and platform as the program, but with the two service
// origins, an extra CA and the program folder given on the command line
// (the program itself takes no settings from outside).
//
//     selvorra_startup_bench --forecast ORIGIN --almanac ORIGIN --ca FILE
//                            --dir FOLDER [--refreshes N] [--offline]
//
// Prints "populated" on its own line as soon as the window shows the
// temperature label, the forecast list and the title, then its resident
// memory ("rss-startup-kib N"); with --refreshes it then refreshes both
// services N times and prints "rss-refreshes-kib N" and "peak-kib N". Exits
// 0, or 1 with the reason on stderr when the window did not fill.
//
// With --offline the origins lead nowhere and the window fills from the
// replies kept in FOLDER/cache by earlier runs: it prints
// "populated-after-map-us N", the time from the window's first map to the
// first moment the window is seen populated.

#include "app/Form1.h"
#include "pictures/Pictures.h"
#include "app/RealPlatform.h"
#include "net/DownloadUrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

namespace {

struct Arguments {
    QString forecast;
    QString almanac;
    QString caFile;
    QString dir;
    int refreshes = 0;
    bool offline = false;
};

bool Parse(int argc, char *argv[], Arguments &out)
{
    for (int i = 1; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--offline") == 0) {
            out.offline = true;
            --i;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (std::strcmp(argv[i], "--forecast") == 0)
            out.forecast = value;
        else if (std::strcmp(argv[i], "--almanac") == 0)
            out.almanac = value;
        else if (std::strcmp(argv[i], "--ca") == 0)
            out.caFile = value;
        else if (std::strcmp(argv[i], "--dir") == 0)
            out.dir = value;
        else if (std::strcmp(argv[i], "--refreshes") == 0)
            out.refreshes = value.toInt();
        else
            return false;
    }
    return !out.forecast.isEmpty() && !out.almanac.isEmpty() && !out.dir.isEmpty()
           && out.refreshes >= 0;
}

// The program's platform, with the folder and CA from the command line and
// message boxes written to stderr instead of waiting for a click.
class BenchPlatform : public RealPlatform {
public:
    explicit BenchPlatform(const Arguments &arguments) : RealPlatform(TrustingCa(arguments.caFile)), arguments_(arguments)
    {
    }

    void ShowMessage(const QString &text, const QString &) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void ShowFailure(Service, const QString &text) override { ShowMessage(text, QString()); }
    QString ProgramDirectory() override { return arguments_.dir; }
    QString UserCacheDirectory() override { return arguments_.dir + QStringLiteral("/cache"); }

    int messages = 0;

private:
    static net::DownloadOptions TrustingCa(const QString &caFile)
    {
        net::DownloadOptions options;
        options.extraCaFile = caFile;
        return options;
    }

    const Arguments &arguments_;
};

// This process's resident memory and its peak, in KiB, from the kernel.
long StatusKib(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool Populated(const Form1 &window)
{
    // The title starts with the temperature once a forecast was shown.
    return !window.Label1->text().trimmed().isEmpty()
           && window.lvwEmployees->topLevelItemCount() > 0
           && window.windowTitle() != QStringLiteral("Selvorra Boulder City")
           && !window.windowTitle().isEmpty();
}

// Watches for the window's first map.
class MapWatch : public QObject {
public:
    QElapsedTimer sinceMap;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !sinceMap.isValid())
            sinceMap.start();
        return false;
    }
};

// The start-up without network: the window must fill from the kept replies
// before the failed downloads are over. Every pass of the event loop (the
// downloads let it run while they wait) looks at the window.
int OfflineStart(QApplication &app, Form1 &window)
{
    MapWatch watch;
    window.installEventFilter(&watch);
    qint64 populatedUs = -1;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (populatedUs < 0 && watch.sinceMap.isValid() && Populated(window))
            populatedUs = watch.sinceMap.nsecsElapsed() / 1000;
    });
    look.start(0);
    QTimer::singleShot(0, &window, [&] {
        window.Form_Load();
        if (populatedUs < 0 && watch.sinceMap.isValid() && Populated(window))
            populatedUs = watch.sinceMap.nsecsElapsed() / 1000;
        app.quit();
    });
    app.exec();
    if (populatedUs < 0) {
        std::fprintf(stderr, "the window did not fill from the kept replies\n");
        return 1;
    }
    std::printf("populated\npopulated-after-map-us %lld\n", static_cast<long long>(populatedUs));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Arguments arguments;
    if (!Parse(argc, argv, arguments)) {
        std::fprintf(stderr,
                     "usage: selvorra_startup_bench --forecast ORIGIN --almanac ORIGIN "
                     "--ca FILE --dir FOLDER [--refreshes N] [--offline]\n");
        return 2;
    }

    // As main.cpp starts the program.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("selvorra"));
    QApplication::setWindowIcon(SunIcon());

    BenchPlatform platform(arguments);
    // The alerts, asked once the window is filled, and the JSON API go to the
    // forecast's host too (it knows neither), never to the real service.
    Form1 window(platform, ServiceOrigins{arguments.forecast, arguments.almanac, arguments.forecast, arguments.forecast});

    if (arguments.offline)
        return OfflineStart(app, window);

    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        window.Form_Load();
        if (!Populated(window) || platform.messages > 0) {
            std::fprintf(stderr, "the window did not fill: label \"%s\", %d rows, title \"%s\"\n",
                         qPrintable(window.Label1->text()),
                         window.lvwEmployees->topLevelItemCount(),
                         qPrintable(window.windowTitle()));
            status = 1;
            app.quit();
            return;
        }
        std::printf("populated\n");
        std::fflush(stdout);
        std::printf("rss-startup-kib %ld\n", StatusKib("VmRSS"));
        std::fflush(stdout);

        for (int i = 0; i < arguments.refreshes; ++i) {
            window.RefreshAlmanac();
            window.RefreshForecast();
        }
        if (arguments.refreshes > 0) {
            if (!Populated(window) || platform.messages > 0) {
                std::fprintf(stderr, "the window lost its content during the refreshes\n");
                status = 1;
            }
            std::printf("rss-refreshes-kib %ld\n", StatusKib("VmRSS"));
            std::printf("peak-kib %ld\n", StatusKib("VmHWM"));
            std::fflush(stdout);
        }
        app.quit();
    });
    app.exec();
    return status;
}
