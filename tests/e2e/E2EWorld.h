#pragma once

// The window as the program runs it, but in a world the test builds: the
// test platform's clock, message boxes, editor and program directory, with
// the program's real download routine talking HTTPS to two loopback servers
// (one per service) that trust nothing but the test CA.
#include "app/TestPlatform.h"

#include "app/Form1.h"
#include "pictures/Pictures.h"
#include "startup/StartupFiles.h"
#include "net/DownloadUrl.h"
#include "support/TestFiles.h"
#include "support/TestServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

#include <map>
#include <memory>

namespace e2e {

inline const QString kFixtures = QStringLiteral(SELVORRA_FIXTURES_DIR);
inline const QString kDeg = QString(QChar(0x00B0));
inline const QByteArray kUserAgent = "Mozilla/5.0 (Windows NT)";

inline bool FixturesPresent()
{
    return QDir(kFixtures).exists();
}

// A recorded reply, byte for byte, read in place.
inline QByteArray Fixture(const QString &relative)
{
    QFile file(kFixtures + QLatin1Char('/') + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(relative));
    return file.readAll();
}

using testsupport::ReadFile;
using testsupport::WriteFile;

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

    QString DownloadUrl(const QString &url, int reload) override
    {
        downloads << url;
        events << QStringLiteral("download %1 reload=%2").arg(url).arg(reload);
        report = net::DownloadReport();
        return net::DownloadUrl(url, reload, options, &report);
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
    // Started only by the worlds that need them.
    testsupport::TestServer plainHost{testsupport::TestServer::Mode::Http};
    testsupport::TestServer untrustedHost{testsupport::TestServer::Mode::HttpsUntrusted};
    ServiceOrigins origins;
    std::unique_ptr<Form1> form;

    World()
    {
        platform.now = MakeDate(2026, 12, 6, 10, 0, 0);
        if (!forecastHost.start() || !almanacHost.start())
            qFatal("loopback servers did not start");
        origins.forecast = forecastHost.baseUrl();
        origins.almanac = almanacHost.baseUrl();
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

inline QStringList RowTexts(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int c = 0; c < 5; ++c)
        texts << item->text(c);
    return texts;
}

inline QList<QStringList> ListRows(const QTreeWidget *list)
{
    QList<QStringList> rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        rows << RowTexts(list->topLevelItem(r));
    return rows;
}

inline QStringList ColumnHeaders(const QTreeWidget *list)
{
    QStringList headers;
    for (int c = 0; c < list->columnCount(); ++c)
        headers << list->headerItem()->text(c);
    return headers;
}

inline const QStringList kHeaders{QStringLiteral("Day"), QStringLiteral("Max ") + kDeg + QStringLiteral("F"),
                                  QStringLiteral("Min ") + kDeg + QStringLiteral("F"), QStringLiteral("Rain %"),
                                  QStringLiteral("Forecast Conditions")};

// The window's icon, as shown, against the picture it should be (0: the sun).
inline bool IconShows(const Form1 &form, int picture)
{
    for (const int size : {16, 32}) {
        const QImage shown = form.windowIcon().pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = (picture == 0 ? DrawSunImage(size) : DrawMoonImage(picture, size))
                                    .convertToFormat(QImage::Format_ARGB32);
        if (shown != expected)
            return false;
    }
    return form.IconIndex() == picture;
}

} // namespace e2e
