#include "common/Fetched.h"

namespace net {

QString DescribeFailure(const DownloadReport &report)
{
    const QString host = report.host.isEmpty() ? QStringLiteral("the server") : report.host;
    switch (report.failure) {
    case Failure::None:
        return QString();
    case Failure::HostNotFound:
        return QStringLiteral("the host %1 could not be found; the computer may be offline").arg(host);
    case Failure::Refused:
        return QStringLiteral("%1 refused the connection").arg(host);
    case Failure::Unreachable:
        return QStringLiteral("%1 could not be reached; the network may be down").arg(host);
    case Failure::ConnectTimedOut:
        return QStringLiteral("the connection to %1 timed out").arg(host);
    case Failure::Certificate:
        return QStringLiteral("the certificate of %1 could not be verified").arg(host);
    case Failure::SecureChannel:
        return QStringLiteral("a secure connection to %1 could not be set up").arg(host);
    case Failure::Stalled:
        return QStringLiteral("the transfer from %1 stalled").arg(host);
    case Failure::TookTooLong:
        return QStringLiteral("the transfer from %1 took too long").arg(host);
    case Failure::TooLarge:
        return QStringLiteral("the reply from %1 was too large").arg(host);
    case Failure::HeadersTooLarge:
        return QStringLiteral("the reply's headers were too large (from %1)").arg(host);
    case Failure::UnrequestedCompression:
        return QStringLiteral("%1 sent a compressed reply (Content-Encoding: %2) that was not asked for")
            .arg(host, report.detail);
    case Failure::ConnectionLost:
        return QStringLiteral("the connection to %1 broke off before the reply was complete").arg(host);
    case Failure::InsecureRedirect:
        return QStringLiteral("%1 redirected to an address that is not https").arg(host);
    case Failure::ForeignRedirect:
        return QStringLiteral("%1 redirected to %2, which is not the service's own address").arg(host, report.detail);
    case Failure::TooManyRedirects:
        return QStringLiteral("%1 redirected too many times").arg(host);
    case Failure::Cancelled:
        return QStringLiteral("the download from %1 was cancelled").arg(host);
    case Failure::Other:
        break;
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
