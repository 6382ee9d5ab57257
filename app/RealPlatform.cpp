#include "RealPlatform.h"

#include "net/DownloadUrl.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

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
    // The desktop's default application for the file, started directly
    // (never through a shell), as a file manager would open it.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
