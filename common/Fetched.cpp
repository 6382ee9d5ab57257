#include "common/Fetched.h"

namespace net {

namespace {

// The words of each failure; %1 is the host, %2 the report's detail.
struct FailureWords {
    Failure failure;
    const char *words;
};

constexpr FailureWords kWords[] = {
    {Failure::HostNotFound, "the host %1 could not be found; the computer may be offline"},
    {Failure::Refused, "%1 refused the connection"},
    {Failure::Unreachable, "%1 could not be reached; the network may be down"},
    {Failure::ConnectTimedOut, "the connection to %1 timed out"},
    {Failure::Certificate, "the certificate of %1 could not be verified"},
    {Failure::SecureChannel, "a secure connection to %1 could not be set up"},
    {Failure::Stalled, "the transfer from %1 stalled"},
    {Failure::TookTooLong, "the transfer from %1 took too long"},
    {Failure::TooLarge, "the reply from %1 was too large"},
    {Failure::HeadersTooLarge, "the reply's headers were too large (from %1)"},
    {Failure::UnrequestedCompression, "%1 sent a compressed reply (Content-Encoding: %2) that was not asked for"},
    {Failure::ConnectionLost, "the connection to %1 broke off before the reply was complete"},
    {Failure::InsecureRedirect, "%1 redirected to an address that is not https"},
    {Failure::ForeignRedirect, "%1 redirected to %2, which is not the service's own address"},
    {Failure::TooManyRedirects, "%1 redirected too many times"},
    {Failure::Cancelled, "the download from %1 was cancelled"},
};

} // namespace

QString DescribeFailure(const DownloadReport &report)
{
    if (report.failure == Failure::None)
        return QString();
    const QString host = report.host.isEmpty() ? QStringLiteral("the server") : report.host;
    for (const FailureWords &entry : kWords)
        if (entry.failure == report.failure) {
            const QString words = QString::fromLatin1(entry.words);
            return words.contains(QLatin1String("%2")) ? words.arg(host, report.detail) : words.arg(host);
        }
    return report.detail.isEmpty() ? QStringLiteral("the download from %1 failed").arg(host)
                                   : QStringLiteral("the download from %1 failed (%2)").arg(host, report.detail);
}

QString NotAnsweredWords(const Fetched &fetched)
{
    const DownloadReport &report = fetched.report;
    if (report.failure != Failure::None)
        return DescribeFailure(report);
    if (report.httpStatus >= 400)
        return QStringLiteral("it answered with an error: %1")
            .arg(QStringLiteral("HTTP %1 %2").arg(report.httpStatus).arg(report.reason).trimmed());
    if (fetched.body.isEmpty())
        return QStringLiteral("it answered with no content (HTTP %1)").arg(report.httpStatus);
    return QString();
}

} // namespace net
