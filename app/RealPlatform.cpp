#include "RealPlatform.h"
#include "DesktopNotifier.h"
#include "ShownText.h"

#include "startup/UserFolders.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <memory>

#include <unistd.h>

namespace {

// How long xdg-open may take to say whether it found an application.
constexpr int kEditorAnswerMs = 1500;
// How often a wait looks at the window's events.
constexpr int kWaitStepMs = 20;

QString ProgramTitle()
{
    return QStringLiteral("Selvorra");
}

} // namespace

RealPlatform::RealPlatform(net::DownloadOptions download) : download_(std::move(download))
{
    // A wait that lets the window's events run also lets the user close the
    // window; the fetch then ends at once instead of at its own bounds.
    download_.cancelled = [this] { return quitting_; };
}

RealPlatform::~RealPlatform() = default;

void RealPlatform::AttachWindow(QWidget *window)
{
    window_ = window;
}

DateValue RealPlatform::Now()
{
    return DateFromQDateTime(QDateTime::currentDateTime());
}

QDateTime RealPlatform::NowUtc()
{
    return QDateTime::currentDateTimeUtc();
}

void RealPlatform::ShowMessage(const QString &text, const QString &title)
{
    if (quitting_)
        return;
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? ProgramTitle() : title, QString(), QMessageBox::Ok, window_);
    shown::SetMessage(&box, text);
    box.exec();
}

void RealPlatform::ShowFailure(Service service, const QString &text)
{
    if (quitting_)
        return;
    QPointer<QMessageBox> &box = failureBoxes_[service == Service::Forecast ? 0 : 1];
    if (!box) {
        // Not modal and not waited for: the timer goes on refreshing while
        // the box is open, and a later success closes it.
        box = new QMessageBox(QMessageBox::NoIcon, ProgramTitle(), QString(), QMessageBox::Ok, window_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
    }
    shown::SetMessage(box, text);
    box->show();
}

void RealPlatform::CloseFailure(Service service)
{
    if (QPointer<QMessageBox> &box = failureBoxes_[service == Service::Forecast ? 0 : 1])
        box->close();
}

QMessageBox *RealPlatform::FailureBox(Service service) const
{
    return failureBoxes_[service == Service::Forecast ? 0 : 1];
}

namespace {

// xdg-open on `target`, asked directly (never through a shell), with `onEnd`
// told how it ended whenever it ends. Not parented: when xdg-open waits for
// the application it started (it does on desktops it does not know), the
// process object lives on until it ends. Nothing when it could not start.
QProcess *StartOpener(const QString &opener, const QString &target,
                      const std::function<void(bool failed)> &onEnd)
{
    auto *process = new QProcess;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [onEnd, process](int exitCode, QProcess::ExitStatus status) {
                         onEnd(status != QProcess::NormalExit || exitCode != 0);
                         process->deleteLater();
                     });
    process->start(opener, {target});
    if (!process->waitForStarted()) {
        delete process;
        return nullptr;
    }
    return process;
}

} // namespace

// Its answer usually comes at once; the window keeps painting meanwhile.
void RealPlatform::WaitForOpener(const bool &ended)
{
    QDeadlineTimer deadline(kEditorAnswerMs);
    while (!ended && !deadline.hasExpired() && !quitting_) {
        QCoreApplication::processEvents();
        QThread::msleep(kWaitStepMs);
    }
}

bool RealPlatform::OpenInEditor(const QString &path)
{
    // The desktop's default application for the file, as a file manager would
    // open it. xdg-open is asked directly because it says when the desktop has
    // no application for text files, which Qt's own call, content once
    // xdg-open has started, does not pass on.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));

    const int run = ++editorRun_;
    editorEnded_ = false;
    editorFailed_ = false;
    // The end is judged whenever it comes: a failure while the "new
    // location" box is open closes that box, so the user learns that no
    // editor came up.
    if (!StartOpener(opener, path, [this, run](bool failed) {
            if (run != editorRun_)
                return;
            editorEnded_ = true;
            editorFailed_ = failed;
            if (editorFailed_ && editingBox_)
                editingBox_->reject();
        }))
        return false;
    WaitForOpener(editorEnded_);
    return !editorFailed_;
}

bool RealPlatform::OpenUrl(const QString &url)
{
    // As the editor is opened, judged by xdg-open's answer; a browser it
    // starts and waits for counts as started.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode));
    // A later end is no longer this call's business, so its outcome lives
    // apart from the call.
    const auto outcome = std::make_shared<std::pair<bool, bool>>(false, false);   // ended, failed
    if (!StartOpener(opener, url, [outcome](bool failed) { *outcome = {true, failed}; }))
        return false;
    WaitForOpener(outcome->first);
    return !outcome->second;
}

bool RealPlatform::ShowMessageWhileEditing(const QString &text)
{
    if (quitting_)
        return true;
    if (editorFailed_)
        return false;
    QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), QString(), QMessageBox::Ok, window_);
    shown::SetMessage(&box, text);
    editingBox_ = &box;
    box.exec();
    editingBox_ = nullptr;
    return !editorFailed_;
}

void RealPlatform::Pause(int milliseconds)
{
    // The handler waits, but the window keeps painting and can be closed.
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired() && !quitting_) {
        QCoreApplication::processEvents();
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(kWaitStepMs, deadline.remainingTime())));
    }
}

QString RealPlatform::ProgramDirectory()
{
    return QCoreApplication::applicationDirPath();
}

bool RealPlatform::ProgramDirectoryWritable()
{
    // The system's own answer for this user: root may write anywhere that is
    // not mounted read-only.
    return ::access(QFile::encodeName(ProgramDirectory()).constData(), W_OK) == 0;
}

QString RealPlatform::UserConfigDirectory()
{
    return UserConfigFolder();
}

QString RealPlatform::UserCacheDirectory()
{
    return UserCacheFolder();
}

net::Fetched RealPlatform::Download(const net::Request &request)
{
    return net::DownloadUrl(request, download_);
}

void RealPlatform::SetBusy(bool busy)
{
    // Only where there is a screen, and only the pointer set here is put back.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    if (busy && busy_++ == 0)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && busy_ > 0 && --busy_ == 0)
        QGuiApplication::restoreOverrideCursor();
}

DesktopNotifier *RealPlatform::Notifier()
{
    if (!notifier_) {
        notifier_ = std::make_unique<DesktopNotifier>();
        QObject::connect(notifier_.get(), &DesktopNotifier::ActionInvoked, [this](uint id) {
            if (notificationShown_ && !quitting_)
                notificationShown_(id);
        });
    }
    return notifier_.get();
}

uint RealPlatform::Notify(const QString &summary, const QString &body, unsigned char urgency, uint replacesId)
{
    return quitting_ ? 0 : Notifier()->Notify(summary, body, urgency, replacesId);
}

void RealPlatform::CloseNotification(uint id)
{
    Notifier()->Close(id);
}

void RealPlatform::AdoptNotification(uint id)
{
    Notifier()->Adopt(id);
}

void RealPlatform::OnNotificationShown(std::function<void(uint id)> shown)
{
    notificationShown_ = std::move(shown);
}

void RealPlatform::Complain(const QString &text)
{
    std::fprintf(stderr, "selvorra: %s\n", qPrintable(text));
}

void RealPlatform::LetEventsRun()
{
    QCoreApplication::processEvents();
}

void RealPlatform::Quit()
{
    quitting_ = true;
    if (editingBox_)
        editingBox_->reject();
    for (QPointer<QMessageBox> &box : failureBoxes_)
        if (box)
            box->close();
}
