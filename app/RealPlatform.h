#pragma once

#include "Platform.h"

#include <QPointer>

class QMessageBox;

// The platform as the running program uses it: the system clock, real
// message boxes, the desktop's default editor, the network.
class RealPlatform : public Platform {
public:
    // `download`: the bounds of every fetch (the program's own by default).
    explicit RealPlatform(net::DownloadOptions download = {});

    DateValue Now() override;
    void ShowMessage(QWidget *parent, const QString &text, const QString &title) override;
    bool OpenInEditor(const QString &path) override;
    bool ShowMessageWhileEditing(QWidget *parent, const QString &text) override;
    void Pause(int milliseconds) override;
    QString ProgramDirectory() override;
    bool ProgramDirectoryWritable() override;
    QString UserConfigDirectory() override;
    QString DownloadUrl(const QString &url, int reload) override;
    net::DownloadReport LastDownloadReport() override;
    void LetEventsRun() override;
    void Quit() override;

private:
    net::DownloadOptions download_;
    net::DownloadReport lastReport_;
    bool quitting_ = false;
    // The editor opener started last: its run number, whether it has ended
    // and whether it failed, and the box that waits while it runs.
    int editorRun_ = 0;
    bool editorEnded_ = false;
    bool editorFailed_ = false;
    QPointer<QMessageBox> editingBox_;
};
