#pragma once

#include "common/DateValue.h"
#include "net/DownloadUrl.h"

#include <QString>

class QWidget;

// Every side effect of the window that a test must control goes through this
// one interface: the clock, message boxes, the text editor, the blocking
// pause, the program's directory, the downloads and letting pending events run.
class Platform {
public:
    virtual ~Platform() = default;

    // The current local date and time.
    virtual DateValue Now() = 0;
    // A message box with `text`, an OK button and `title` (empty: the
    // program's own title); returns when the user has closed it.
    virtual void ShowMessage(QWidget *parent, const QString &text, const QString &title) = 0;
    // Opens `path` in the desktop's text editor without waiting for it;
    // false when no editor could be started.
    virtual bool OpenInEditor(const QString &path) = 0;
    // A message box like ShowMessage (the program's own title) while the
    // editor of the last OpenInEditor runs. Returns false, the box closed
    // early, when that editor failed before the user closed the box.
    virtual bool ShowMessageWhileEditing(QWidget *parent, const QString &text) = 0;
    // Blocks the handler for `milliseconds`; the window keeps painting.
    virtual void Pause(int milliseconds) = 0;
    // The folder that holds the program (and, in most set-ups, its two text
    // files), and whether this user may write in it.
    virtual QString ProgramDirectory() = 0;
    virtual bool ProgramDirectoryWritable() = 0;
    // The user's own folder for the program's settings
    // ($XDG_CONFIG_HOME/selvorra, by default ~/.config/selvorra).
    virtual QString UserConfigDirectory() = 0;
    // The whole body behind `url` as text, one character per byte; empty text
    // when nothing could be fetched.
    virtual QString DownloadUrl(const QString &url, int reload) = 0;
    // What became of the last DownloadUrl: why it gave nothing, the status.
    virtual net::DownloadReport LastDownloadReport() = 0;
    // Processes pending window events once.
    virtual void LetEventsRun() = 0;
    // The window has closed: every wait (download, pause, editor answer) ends
    // at once and no message box shows any more, so the program can end.
    virtual void Quit() = 0;
};
