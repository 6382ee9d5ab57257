#pragma once

#include <QString>

#include <functional>

// The program's only network routine: the whole body behind a URL as text.
namespace net {

struct DownloadOptions {
    // Bounds of one fetch; reaching any of them gives the empty result.
    long connectTimeoutMs = 15000;   // connection (and TLS handshake) set-up
    long stallTimeoutMs = 30000;     // a transfer that delivers nothing this long
    long long maxBodyBytes = 16LL * 1024 * 1024;
    // An extra CA bundle to trust besides the system's (tests use their own CA).
    QString extraCaFile;
    // Run between the steps of a fetch and while it waits on the network;
    // empty means: process pending non-input events of the application, if any.
    std::function<void()> yield;
};

// Fetches `url` and returns every byte of the body, in order, one character
// per byte widened through Windows-1252, whatever the HTTP status; empty text
// when nothing could be fetched. A non-zero `reload` asks for a fresh copy
// from the origin. Spaces and other bytes that cannot stand in a request
// target are sent percent-encoded.
QString DownloadUrl(const QString &url, int reload);
QString DownloadUrl(const QString &url, int reload, const DownloadOptions &options);

} // namespace net
