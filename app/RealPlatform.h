#pragma once

#include "Platform.h"

#include "net/DownloadUrl.h"

#include <QPointer>

#include <functional>
#include <memory>

class DesktopNotifier;
class QMessageBox;

// The platform as the running program uses it: the system clock, real
// message boxes, the desktop's default editor, the network.
class RealPlatform : public Platform {
public:
    // `download`: the bounds of every fetch (the program's own by default).
    explicit RealPlatform(net::DownloadOptions download = {});
    ~RealPlatform() override;

    void AttachWindow(QWidget *window) override;
    DateValue Now() override;
    QDateTime NowUtc() override;
    void ShowMessage(const QString &text, const QString &title) override;
    void ShowFailure(Service service, const QString &text) override;
    void CloseFailure(Service service) override;
    bool OpenInEditor(const QString &path) override;
    bool OpenUrl(const QString &url) override;
    bool ShowMessageWhileEditing(const QString &text) override;
    void Pause(int milliseconds) override;
    QString ProgramDirectory() override;
    bool ProgramDirectoryWritable() override;
    QString UserConfigDirectory() override;
    QString UserCacheDirectory() override;
    net::Fetched Download(const net::Request &request) override;
    void SetBusy(bool busy) override;
    uint Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId) override;
    void CloseNotification(uint id) override;
    void AdoptNotification(uint id) override;
    void OnNotificationShown(std::function<void(uint id)> shown) override;
    void Complain(const QString &text) override;
    void LetEventsRun() override;
    void Quit() override;

    // The failure box open for `service`, if any (for the tests).
    QMessageBox *FailureBox(Service service) const;

private:
    // Waits for an opener's answer (`ended`), briefly, the window painting.
    void WaitForOpener(const bool &ended);

    net::DownloadOptions download_;
    bool quitting_ = false;
    int busy_ = 0;   // busy calls not yet undone
    QPointer<QWidget> window_;
    // One failure box per service, shown without waiting.
    QPointer<QMessageBox> failureBoxes_[2];
    // The editor opener started last: its run number, whether it has ended
    // and whether it failed, and the box that waits while it runs.
    int editorRun_ = 0;
    bool editorEnded_ = false;
    bool editorFailed_ = false;
    QPointer<QMessageBox> editingBox_;
    // Made on the first notification: a desktop without a session bus costs nothing until then.
    DesktopNotifier *Notifier();
    std::unique_ptr<DesktopNotifier> notifier_;
    std::function<void(uint)> notificationShown_;
};
