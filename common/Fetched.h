#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What one fetch asked for and what it brought back, in the program's own
// words: the download fills it, and whoever reads a reply decides by the one
// rule here whether the service answered.
namespace net {

// One request: where, and the manners a service asks of its clients.
struct Request {
    QString url = {};
    int reload = 0;                    // non-zero: a fresh copy from the origin
    QByteArray userAgent = {};         // empty: the program's own for the forecast page and the observatory
    QList<QByteArray> headers = {};    // extra request headers, each "Name: value"
    // Not empty: a redirect is followed only to an address that starts with
    // this; any other fails with Failure::ForeignRedirect.
    QString redirectPrefix = {};
};

// Why a fetch gave nothing.
enum class Failure {
    None,
    HostNotFound,
    Refused,
    Unreachable,
    ConnectTimedOut,
    Certificate,
    SecureChannel,
    Stalled,
    TookTooLong,
    TooLarge,
    HeadersTooLarge,          // the reply's headers, past our bound or libcurl's
    UnrequestedCompression,   // a Content-Encoding we never asked for (we send no Accept-Encoding)
    ConnectionLost,
    InsecureRedirect,
    ForeignRedirect,          // a redirect off the request's redirect prefix
    TooManyRedirects,
    Cancelled,
    Other,
};

// What became of a fetch, beside its text.
struct DownloadReport {
    Failure failure = Failure::None;
    QString host = {};          // the host asked, as in the URL
    int httpStatus = 0;         // of the last reply received; 0 when none came
    QString reason = {};        // that reply's reason phrase, printable and short
    // The reply's validators, for asking again only if it changed
    // (If-None-Match, If-Modified-Since); printable, at most 200 characters.
    QString etag = {};
    QString lastModified = {};
    QString detail = {};        // the HTTP client's own words, for Failure::Other; the
                           // Content-Encoding sent (printable, short), for
                           // Failure::UnrequestedCompression; the host a refused
                           // redirect pointed to, for Failure::ForeignRedirect
};

// One fetch: the body (empty when nothing could be fetched) and what became
// of it, together, so that no caller can read the report of another fetch.
struct Fetched {
    QString body;
    DownloadReport report;

    // The service answered: the reply came whole, with a status below 400,
    // and holds something. Everything else is a fetch that failed, an error
    // page or an empty answer, none of which is the service's data.
    bool Answered() const
    {
        return report.failure == Failure::None && report.httpStatus < 400 && !body.isEmpty();
    }

    // The service says that what it sent last, by the validators asked
    // with, is still current (HTTP 304): nothing new to read.
    bool NotModified() const { return report.failure == Failure::None && report.httpStatus == 304; }
};

// The failure of `report` in plain words, naming the host, e.g. "the
// connection to forecast.weather.gov was refused"; empty for Failure::None.
QString DescribeFailure(const DownloadReport &report);

// Why a fetch did not answer, in words: the failure, the service's error
// status ("it answered with an error: HTTP 503 Service Unavailable") or an
// empty answer ("it answered with no content (HTTP 204)"); empty when it
// answered.
QString NotAnsweredWords(const Fetched &fetched);

} // namespace net
