#pragma once

// The window as the program runs it, but in a world the test builds: the
// test platform's clock, message boxes, editor and program directory, with
// the program's real download routine talking HTTPS to two loopback servers
// (one per service) that trust nothing but the test CA.
#include "app/TestPlatform.h"
#include "app/WindowChecks.h"

#include "app/Form1.h"
#include "startup/StartupFiles.h"
#include "net/DownloadUrl.h"
#include "support/RecordedReplies.h"
#include "support/TestFiles.h"
#include "support/TestServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <map>
#include <memory>

namespace e2e {

using namespace windowcheck;
using testsupport::ReadFile;
using testsupport::WriteFile;

inline const QByteArray kUserAgent = "Mozilla/5.0 (Windows NT)";

// The settings the worlds start from (the shipped place, the timer on), and
// the request targets the two hosts receive for them.
inline const QByteArray kSettings = "35.9656,-114.836, auto update=true\r\nBoulder\r\n";
inline const QByteArray kForecastTarget = "/MapClick.php?lat=35.9656&lon=-114.836&unit=0&lg=english&FcstType=dwml";
inline QByteArray AlmanacTarget(const char *date)
{
    return QByteArray("/api/rstt/oneday?date=") + date + "%20&coords=35.9656,%20-114.836&auto%20update=true%20&dst=true";
}

// A recorded reply of either service, byte for byte.
inline QByteArray Reply(const recorded::Forecast &forecast)
{
    return recorded::Bytes(forecast.file);
}
inline QByteArray Reply(const recorded::Almanac &almanac)
{
    return recorded::Bytes(almanac.file);
}

// The test platform with the program's own download routine. The bounds are
// the program's, but for time-outs short enough that a stalled host costs a
// second, not half a minute.
class E2EPlatform : public TestPlatform {
public:
    net::DownloadOptions options;

    E2EPlatform()
    {
        options.extraCaFile = testsupport::TestServer::caFile();
        options.connectTimeoutMs = 1500;
        options.slowTimeMs = 1000;
        options.cancelled = [this] { return quit; };
    }

    net::Fetched Download(const net::Request &request) override
    {
        // The alerts go to a host of their own, asked on every tick.
        if (request.url.contains(QStringLiteral("/alerts/active")))
            return net::DownloadUrl(request, options);
        downloads << request.url;
        events << (request.userAgent.isEmpty() ? QStringLiteral("download %1 reload=%2").arg(request.url).arg(request.reload)
                                               : QStringLiteral("api %1").arg(request.url));
        const net::Fetched fetched = net::DownloadUrl(request, options);
        report = fetched.report;
        return fetched;
    }
};

// Name, size and checksum of every file in a folder: what "nothing beside
// the program was created or changed" is checked against.
inline std::map<QString, QByteArray> Snapshot(const QString &folder)
{
    std::map<QString, QByteArray> files;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : entries) {
        QByteArray sum = info.isDir() ? QByteArray("dir") : QByteArray::number(info.size());
        if (info.isFile())
            sum += ' ' + QCryptographicHash::hash(ReadFile(info.filePath()), QCryptographicHash::Sha256).toHex();
        files[info.fileName()] = sum;
    }
    return files;
}

// What the services would answer, per query date for the sun/moon service.
struct World {
    E2EPlatform platform;
    testsupport::TestServer forecastHost{testsupport::TestServer::Mode::Https};
    testsupport::TestServer almanacHost{testsupport::TestServer::Mode::Https};
    // The weather service's JSON API; it knows no address until told.
    testsupport::TestServer apiHost{testsupport::TestServer::Mode::Https};
    // The same service's alerts; it knows none until told.
    testsupport::TestServer alertsHost{testsupport::TestServer::Mode::Https};
    // Started only by the worlds that need them.
    testsupport::TestServer plainHost{testsupport::TestServer::Mode::Http};
    testsupport::TestServer untrustedHost{testsupport::TestServer::Mode::HttpsUntrusted};
    ServiceOrigins origins;
    std::unique_ptr<Form1> form;

    World()
    {
        platform.now = MakeDate(2026, 12, 6, 10, 0, 0);
        if (!forecastHost.start() || !almanacHost.start() || !apiHost.start() || !alertsHost.start())
            qFatal("loopback servers did not start");
        origins.forecast = forecastHost.baseUrl();
        origins.almanac = almanacHost.baseUrl();
        origins.api = apiHost.baseUrl();
        origins.alerts = alertsHost.baseUrl();
    }

    QString Dir() const { return platform.dir.path(); }
    QString SettingsPath() const { return platform.FilePath(kSettingsFileName); }
    QString TablePath() const { return platform.FilePath(kFullMoonFileName); }

    void WriteSettings(const QByteArray &bytes) { WriteFile(SettingsPath(), bytes); }
    void WriteTable(const QByteArray &bytes) { WriteFile(TablePath(), bytes); }

    void ServeForecast(const testsupport::Response &response)
    {
        forecastHost.route("/MapClick.php", response);
    }
    void ServeForecast(const QByteArray &body)
    {
        ServeForecast(testsupport::Response::ok(body, "text/xml;charset=UTF-8"));
    }

    // The sun/moon service answers by the date in the query; a date not in
    // the list gets a 404 page.
    void ServeAlmanac(const std::map<QByteArray, QByteArray> &byDate)
    {
        almanacHost.route("/api/rstt/oneday", [byDate](const testsupport::Request &request) {
            static const QRegularExpression date(QStringLiteral("date=(\\d{4}-\\d{2}-\\d{2})"));
            const auto match = date.match(QString::fromLatin1(request.target));
            const auto found = match.hasMatch() ? byDate.find(match.captured(1).toLatin1()) : byDate.end();
            if (found == byDate.end())
                return testsupport::Response::withStatus(404, "<html><body>Not here</body></html>");
            return testsupport::Response::ok(found->second, "application/json");
        });
    }

    // The JSON API answers each path with a recorded reply (nws-api/), its
    // addresses moved from the service's host to the loopback one.
    void ServeApi(const std::map<QByteArray, QString> &files)
    {
        for (const auto &[path, file] : files) {
            QByteArray body = recorded::Bytes(QStringLiteral("nws-api/") + file);
            body.replace("https://api.weather.gov", apiHost.baseUrl().toLatin1());
            apiHost.route(path, testsupport::Response::ok(body, "application/geo+json"));
        }
    }

    // Points a service at a port on which nothing listens.
    static QString RefusingOrigin()
    {
        return QStringLiteral("https://127.0.0.1:%1").arg(testsupport::TestServer::closedPort());
    }

    void Start()
    {
        form = std::make_unique<Form1>(platform, origins);
        form->Form_Load();
    }

    // The request targets a host received, in order.
    static QList<QByteArray> Targets(const testsupport::TestServer &host)
    {
        QList<QByteArray> targets;
        for (const testsupport::Request &request : host.requests())
            targets << request.target;
        return targets;
    }
};

} // namespace e2e
