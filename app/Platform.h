#pragma once

#include "common/DateValue.h"
#include "common/Fetched.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QWidget;

// The two services whose failures the window reports; each has at most one
// failure box open.
enum class Service { Forecast, Almanac };

// Every side effect of the window that a test must control goes through this
// one interface: the clock, message boxes, the text editor, the blocking
// pause, the program's folders, the downloads, the busy pointer and letting
// pending events run.
class Platform {
public:
    virtual ~Platform() = default;

    // The window that message boxes belong to; the window logic never sees it.
    virtual void AttachWindow(QWidget *) {}

    // The current local date and time, and the same instant in UTC.
    virtual DateValue Now() = 0;
    virtual QDateTime NowUtc() = 0;
    // A message box with `text`, an OK button and `title` (empty: the
    // program's own title); returns when the user has closed it.
    virtual void ShowMessage(const QString &text, const QString &title) = 0;
    // A refresh's failure, shown without waiting for anyone: the refreshes
    // go on while it is open. A service has at most one such box; a newer
    // failure replaces its text.
    virtual void ShowFailure(Service service, const QString &text) = 0;
    // Closes the service's failure box, if one is open (a later success has
    // made it untrue).
    virtual void CloseFailure(Service service) = 0;
    // Opens `path` in the desktop's text editor without waiting for it;
    // false when no editor could be started.
    virtual bool OpenInEditor(const QString &path) = 0;
    // Opens `url` in the desktop's web browser without waiting for it; false
    // when no browser could be started.
    virtual bool OpenUrl(const QString &url) = 0;
    // A message box like ShowMessage (the program's own title) while the
    // editor of the last OpenInEditor runs. Returns false, the box closed
    // early, when that editor failed before the user closed the box.
    virtual bool ShowMessageWhileEditing(const QString &text) = 0;
    // Blocks the handler for `milliseconds`; the window keeps painting.
    virtual void Pause(int milliseconds) = 0;
    // The folder that holds the program (and, in most set-ups, its two text
    // files), and whether this user may write in it.
    virtual QString ProgramDirectory() = 0;
    virtual bool ProgramDirectoryWritable() = 0;
    // The user's own folders for the program's settings and for the last
    // good replies ($XDG_CONFIG_HOME/selvorra and $XDG_CACHE_HOME/selvorra).
    virtual QString UserConfigDirectory() = 0;
    virtual QString UserCacheDirectory() = 0;
    // The whole body behind the request's URL as text, one character per
    // byte, with the report of that fetch.
    virtual net::Fetched Download(const net::Request &request) = 0;
    // The pointer shows that the window waits on the network, or no longer.
    // Calls nest: the pointer is back once every busy call has been undone.
    virtual void SetBusy(bool busy) = 0;
    // Desktop notifications: shows one (in place of `replacesId` when not 0)
    // and returns the desktop's id for it, 0 when there is none; closes one;
    // takes one sent before a restart as the program's own. `shown` hears of
    // the user choosing "Show" on one of them.
    virtual uint Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId) = 0;
    virtual void CloseNotification(uint id) = 0;
    virtual void AdoptNotification(uint id) = 0;
    virtual void OnNotificationShown(std::function<void(uint id)> shown) = 0;
    // A problem the user should know of that is worth no message box (a
    // wrong value in a settings file): said once on standard error.
    virtual void Complain(const QString &text) = 0;
    // Processes pending window events once.
    virtual void LetEventsRun() = 0;
    // The window has closed: every wait (download, pause, editor answer) ends
    // at once and no message box shows any more, so the program can end.
    virtual void Quit() = 0;
};

// The busy pointer while a refresh waits on the network, put back when the
// refresh ends however it ends, or earlier by Release() (before a message
// box, which should not show a busy pointer).
class BusyPointer {
public:
    explicit BusyPointer(Platform &platform) : platform_(platform) { platform_.SetBusy(true); }
    ~BusyPointer() { Release(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    void Release()
    {
        if (busy_)
            platform_.SetBusy(false);
        busy_ = false;
    }

private:
    Platform &platform_;
    bool busy_ = true;
};
