#pragma once

#include "app/Platform.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// The platform under the tests' control: a clock that only moves when told
// (a pause moves it by its length), message boxes recorded instead of shown,
// an editor that runs a callback, downloads answered by a callback (the
// report of the last one set by the test), and a
// program directory in a fresh temporary folder.
class TestPlatform : public Platform {
public:
    struct Message {
        QString text;
        QString title;
    };

    DateValue now = MakeDate(2026, 12, 6, 10, 0, 0);
    std::vector<Message> messages;
    QStringList downloads;        // every URL asked for, in order
    QStringList events;           // "download <url>", "pause <ms>", "message <text>", "editor <path>"
    QStringList editorOpened;
    bool editorStarts = true;
    bool editorFailsLater = false;   // the editor fails while the "new location" box is up
    bool quit = false;
    net::DownloadReport report;      // what LastDownloadReport() gives
    std::function<void(const QString &path)> onEditor;   // e.g. rewrite the file
    std::function<void(const QString &text)> onMessage;  // e.g. click a button meanwhile
    std::function<QString(const QString &url)> onDownload;
    int eventsRun = 0;
    QTemporaryDir dir;
    QString directoryOverride;
    bool programWritable = true;   // false: an install for all users

    DateValue Now() override { return now; }

    void ShowMessage(QWidget *, const QString &text, const QString &title) override
    {
        messages.push_back({text, title});
        events << QStringLiteral("message ") + text;
        if (onMessage)
            onMessage(text);
    }

    bool ShowMessageWhileEditing(QWidget *parent, const QString &text) override
    {
        ShowMessage(parent, text, QString());
        return !editorFailsLater;
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

    QString DownloadUrl(const QString &url, int reload) override
    {
        downloads << url;
        events << QStringLiteral("download %1 reload=%2").arg(url).arg(reload);
        return onDownload ? onDownload(url) : QString();
    }

    net::DownloadReport LastDownloadReport() override { return report; }

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
