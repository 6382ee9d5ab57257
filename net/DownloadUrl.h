#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The program's only network routine: the whole body behind a URL as text.
namespace net {

struct DownloadOptions {
    // Bounds of one fetch; reaching any of them gives the empty result.
    long connectTimeoutMs = 15000;   // connection (and TLS handshake) set-up
    // A transfer whose average speed stays below slowBytesPerSecond for
    // slowTimeMs is given up: a server that trickles a byte now and then
    // would otherwise hold a refresh open forever.
    long slowBytesPerSecond = 1024;
    long slowTimeMs = 30000;
    long totalTimeoutMs = 120000;    // the whole fetch, whatever its speed
    long long maxBodyBytes = 16LL * 1024 * 1024;
    // The User-Agent to send; empty: the program's own for the forecast page
    // and the observatory. Extra request headers, each "Name: value".
    QByteArray userAgent;
    QList<QByteArray> headers;
    // An extra CA bundle to trust besides the system's (tests use their own CA).
    QString extraCaFile;
    // Run between the steps of a fetch and while it waits on the network;
    // empty means: process the application's pending events, if any.
    std::function<void()> yield;
    // Asked while the fetch waits; true gives up at once (the window closed).
    std::function<bool()> cancelled;
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
    TooManyRedirects,
    Cancelled,
    Other,
};

// What became of the last fetch, beside its text.
struct DownloadReport {
    Failure failure = Failure::None;
    QString host;          // the host asked, as in the URL
    int httpStatus = 0;    // of the last reply received; 0 when none came
    QString reason;        // that reply's reason phrase, printable and short
    QString detail;        // the HTTP client's own words, for Failure::Other; the
                           // Content-Encoding sent (printable, short), for
                           // Failure::UnrequestedCompression
};

// Fetches `url` and returns every byte of the body, in order, one character
// per byte widened through Windows-1252, whatever the HTTP status; empty text
// when nothing could be fetched. A non-zero `reload` asks for a fresh copy
// from the origin. Spaces and other bytes that cannot stand in a request
// target are sent percent-encoded. Redirects are followed to https only.
// `report`, when given, says what became of the fetch.
QString DownloadUrl(const QString &url, int reload);
QString DownloadUrl(const QString &url, int reload, const DownloadOptions &options,
                    DownloadReport *report = nullptr);

// `base` as the weather service's JSON API wants its requests: a
// User-Agent naming the program, its version and a contact address, and
// "Accept: application/geo+json".
DownloadOptions ApiOptions(DownloadOptions base);

// The failure of `report` in plain words, naming the host, e.g. "the
// connection to forecast.weather.gov was refused"; empty for Failure::None.
QString DescribeFailure(const DownloadReport &report);

} // namespace net
