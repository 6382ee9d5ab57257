#pragma once

#include "common/Fetched.h"

#include <QString>

#include <functional>

// The program's only network routine: the whole body behind a URL as text.
namespace net {

// The bounds of every fetch, the same for every service.
struct DownloadOptions {
    // Reaching any bound gives the empty result.
    long connectTimeoutMs = 15000;   // connection (and TLS handshake) set-up
    // A transfer whose average speed stays below slowBytesPerSecond for
    // slowTimeMs is given up: a server that trickles a byte now and then
    // would otherwise hold a refresh open forever.
    long slowBytesPerSecond = 1024;
    long slowTimeMs = 30000;
    long totalTimeoutMs = 120000;    // the whole fetch, whatever its speed
    long long maxBodyBytes = 16LL * 1024 * 1024;
    // An extra CA bundle to trust besides the system's (tests use their own CA).
    QString extraCaFile;
    // Run between the steps of a fetch and while it waits on the network;
    // empty means: process the application's pending events, if any.
    std::function<void()> yield;
    // Asked while the fetch waits; true gives up at once (the window closed).
    std::function<bool()> cancelled;
};

// Fetches the request's URL and returns every byte of the body, in order,
// one character per byte widened through Windows-1252, whatever the HTTP
// status; empty text when nothing could be fetched; and the report of what
// became of it. A non-zero `reload` asks for a fresh copy from the origin.
// Spaces and other bytes that cannot stand in a request target are sent
// percent-encoded. Redirects are followed to https only, and only to the
// request's redirect prefix when it names one.
Fetched DownloadUrl(const Request &request, const DownloadOptions &options = {});
Fetched DownloadUrl(const QString &url, int reload, const DownloadOptions &options = {});

} // namespace net
