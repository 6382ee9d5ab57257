#include "RealPlatform.h"

#include "net/DownloadUrl.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace {

// How long xdg-open may take to say whether it found an application.
constexpr int kEditorAnswerMs = 1500;

} // namespace

DateValue RealPlatform::Now()
{
    return DateFromQDateTime(QDateTime::currentDateTime());
}

void RealPlatform::ShowMessage(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QStringLiteral("Selvorra") : title,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

bool RealPlatform::OpenInEditor(const QString &path)
{
    // The desktop's default application for the file, as a file manager would
    // open it. xdg-open is asked directly (never through a shell) because it
    // says when the desktop has no application for text files, which Qt's
    // own call, content once xdg-open has started, does not pass on.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));

    // Not parented: when xdg-open waits for the editor (it does on desktops
    // it does not know), the process object lives on until it ends.
    auto *process = new QProcess;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {path});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    // Its answer comes at once; an xdg-open still running after the wait is
    // running the editor. The window keeps painting meanwhile.
    QDeadlineTimer deadline(kEditorAnswerMs);
    while (process->state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        process->waitForFinished(20);
    }
    if (process->state() != QProcess::NotRunning) {
        // Its end is noticed by the event loop, so this is still in time.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
}

void RealPlatform::Pause(int milliseconds)
{
    // The handler waits, but the window keeps painting; input waits in the
    // queue until the handler is done.
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(20, deadline.remainingTime())));
    }
}

QString RealPlatform::ProgramDirectory()
{
    return QCoreApplication::applicationDirPath();
}

QString RealPlatform::DownloadUrl(const QString &url, int reload)
{
    return net::DownloadUrl(url, reload);
}

void RealPlatform::LetEventsRun()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
