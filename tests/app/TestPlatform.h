#pragma once

#include "app/Platform.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>

#include <functional>
#include <map>
#include <vector>

// What a forecast failure box adds while the JSON API cannot be reached.
inline const QString kApiOffline = QStringLiteral(
    " The second source, api.weather.gov, gave none either: the host api.weather.gov could not be found; the computer "
    "may be offline.");

// The platform under the tests' control: a clock that only moves when told
// (a pause moves it by its length), message boxes recorded instead of shown
// (failure boxes also kept as open until closed), an editor that runs a
// callback, downloads answered by a callback (with the report the test
// sets), and the program's folders in a fresh temporary folder.
class TestPlatform : public Platform {
public:
    struct Message {
        QString text;
        QString title;
    };

    DateValue now = MakeDate(2026, 12, 6, 10, 0, 0);
    std::vector<Message> messages;   // every box shown, failure boxes too
    std::map<Service, QString> openFailures;   // the failure boxes open now
    QStringList downloads;        // every URL asked for, in order
    QStringList events;           // "download <url>", "pause <ms>", "message <text>", "editor <path>"
    QStringList editorOpened;
    bool editorStarts = true;
    bool editorFailsLater = false;   // the editor fails while the "new location" box is up
    bool quit = false;
    net::DownloadReport report;      // the report every download gives
    std::function<void(const QString &path)> onEditor;   // e.g. rewrite the file
    std::function<void(const QString &text)> onMessage;  // e.g. click a button meanwhile
    std::function<QString(const QString &url)> onDownload;
    int eventsRun = 0;
    QTemporaryDir dir;
    QTemporaryDir cacheHome;
    QString cacheOverride;   // another run's cache folder
    QString directoryOverride;
    bool programWritable = true;   // false: an install for all users

    DateValue Now() override { return now; }
    // The test clock's local time taken as UTC.
    QDateTime NowUtc() override { return QDateTime(ToQDate(now), ToQTime(now), Qt::UTC); }

    void ShowMessage(const QString &text, const QString &title) override
    {
        messages.push_back({text, title});
        events << QStringLiteral("message ") + text;
        if (onMessage)
            onMessage(text);
    }

    void ShowFailure(Service service, const QString &text) override
    {
        openFailures[service] = text;
        ShowMessage(text, QString());
    }

    void CloseFailure(Service service) override
    {
        if (openFailures.erase(service))
            events << QStringLiteral("close failure box");
    }

    bool ShowMessageWhileEditing(const QString &text) override
    {
        ShowMessage(text, QString());
        return !editorFailsLater;
    }

    QStringList urlsOpened;
    bool browserStarts = true;
    bool OpenUrl(const QString &url) override
    {
        events << QStringLiteral("browser ") + url;
        urlsOpened << url;
        return browserStarts;
    }

    bool OpenInEditor(const QString &path) override
    {
        events << QStringLiteral("editor ") + path;
        editorOpened << path;
        if (onEditor)
            onEditor(path);
        return editorStarts;
    }

    void Pause(int milliseconds) override
    {
        events << QStringLiteral("pause %1").arg(milliseconds);
        now += milliseconds / 86400000.0;
    }

    QString ProgramDirectory() override
    {
        return directoryOverride.isEmpty() ? dir.path() : directoryOverride;
    }
    bool ProgramDirectoryWritable() override { return programWritable; }
    QString UserConfigDirectory() override { return dir.path() + QStringLiteral("/home/.config/selvorra"); }
    // Apart from the program's folder, which the tests compare before and after.
    QString UserCacheDirectory() override
    {
        return cacheOverride.isEmpty() ? cacheHome.path() + QStringLiteral("/selvorra") : cacheOverride;
    }

    // The weather service's JSON API (asked with its own manners):
    // unreachable unless the test answers it.
    std::function<QString(const QString &url)> onApi;
    QStringList apiRequests;   // every JSON API address asked for, in order
    // The service's active alerts, asked apart from everything else:
    // unreachable unless the test answers them.
    std::function<net::Fetched(const net::Request &request)> onAlerts;
    QList<net::Request> alertRequests;
    net::Fetched Download(const net::Request &request) override
    {
        const QString &url = request.url;
        if (url.contains(QStringLiteral("/alerts/active"))) {
            alertRequests << request;
            if (onAlerts)
                return onAlerts(request);
            return {QString(), {net::Failure::HostNotFound, QStringLiteral("api.weather.gov"), 0, {}, {}, {}, {}}};
        }
        if (!request.userAgent.isEmpty()) {
            apiRequests << url;
            events << QStringLiteral("api %1").arg(url);
            if (onApi)
                return {onApi(url), report};
            net::DownloadReport offline;
            offline.failure = net::Failure::HostNotFound;
            offline.host = QStringLiteral("api.weather.gov");
            return {QString(), offline};
        }
        downloads << url;
        events << QStringLiteral("download %1 reload=%2").arg(url).arg(request.reload);
        return {onDownload ? onDownload(url) : QString(), report};
    }

    // Desktop notifications, as a notification server would number them.
    struct Notification {
        uint id;
        QString summary;
        QString body;
        unsigned char urgency;
        uint replacesId;
    };
    std::vector<Notification> notifications;   // every Notify call, in order
    QList<uint> closedNotifications;
    QList<uint> adoptedNotifications;
    std::function<void(uint)> notificationShown;
    uint nextNotificationId = 1;
    uint Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId) override
    {
        const uint id = replacesId != 0 ? replacesId : nextNotificationId++;
        notifications.push_back({id, summary, body, urgency, replacesId});
        return id;
    }
    void CloseNotification(uint id) override { closedNotifications << id; }
    void AdoptNotification(uint id) override { adoptedNotifications << id; }
    void OnNotificationShown(std::function<void(uint)> shown) override { notificationShown = std::move(shown); }
    QStringList complaints;
    void Complain(const QString &text) override { complaints << text; }

    // The busy pointer: how many busy calls are not yet undone.
    int busy = 0;
    void SetBusy(bool on) override { busy += on ? 1 : -1; }

    void Quit() override
    {
        quit = true;
        events << QStringLiteral("quit");
    }

    void LetEventsRun() override
    {
        ++eventsRun;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    QString FilePath(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
};
