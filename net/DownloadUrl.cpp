#include "net/DownloadUrl.h"

#include "common/CodePage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>

// DownloadUrl on libcurl's multi interface.
//
// Connection cache: a multi handle keeps the connections of all transfers
// that pass through it, so one multi handle per thread, kept until the thread
// ends, makes repeated requests to the same host reuse the connection. The
// program calls DownloadUrl on its user-interface thread only, so that one
// multi handle is the program's one connection cache. (A multi handle must not
// be used by two threads at once; a test or benchmark that calls from another
// thread gets that thread's own.) A process-wide share handle adds the TLS
// session cache and the DNS cache across all of them, so even a new
// connection to a known host resumes its TLS session.
//
// Waiting: the transfer is driven by curl_multi_perform / curl_multi_poll with
// a short poll, and the caller's yield runs between polls, so the window keeps
// painting and its timer keeps ticking. A yield may call DownloadUrl again:
// every call has its own easy handle and its own state, found through
// CURLINFO_PRIVATE, and whichever call reads a transfer's "done" message marks
// that transfer done, so a nested call also drives (and finishes) the
// transfers of the calls it interrupted. Between polls the bounds of our own
// are checked: the caller's cancel request, the whole fetch's time and the
// average speed; any of them abandons the transfer.

namespace net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kUserAgent[] = "Mozilla/5.0 (Windows NT)";
constexpr long kReadPieceBytes = 32000;        // read in pieces of at most this size
constexpr qsizetype kInitialReserve = 182000;  // room for a whole forecast reply at once
constexpr long kMaxRedirects = 10;
constexpr int kPollMs = 20;
// The status line and headers of one reply: the services send a few
// kilobytes; far more is no reply of theirs and would only cost memory.
constexpr long long kMaxHeaderBytes = 64 * 1024;

// --- process-wide and per-thread curl state ---------------------------------

struct SharedState {
    CURLSH *share = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];
};

void LockShare(CURL *, curl_lock_data data, curl_lock_access, void *user)
{
    static_cast<SharedState *>(user)->locks[data].lock();
}

void UnlockShare(CURL *, curl_lock_data data, void *user)
{
    static_cast<SharedState *>(user)->locks[data].unlock();
}

// curl_global_init once, and the share handle. Never freed: easy handles may
// use it until the process ends.
SharedState &Shared()
{
    static SharedState *const state = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        auto *s = new SharedState;
        s->share = curl_share_init();
        if (s->share) {
            curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, LockShare);
            curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
            curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
        return s;
    }();
    return *state;
}

struct ThreadMulti {
    CURLM *multi = curl_multi_init();
    ~ThreadMulti() { curl_multi_cleanup(multi); }
};

CURLM *MultiOfThisThread()
{
    thread_local ThreadMulti holder;
    return holder.multi;
}

// --- one transfer ------------------------------------------------------------

struct Transfer {
    CURL *easy = nullptr;
    QByteArray body;
    long long maxBodyBytes = 0;
    Clock::time_point started = Clock::now();
    // The speed check looks at the bytes received in windows of slowTime
    // each, from the moment the request went out on an established
    // connection (before that, the connect time-out rules).
    Clock::duration slowTime{};
    long long slowWindowBytes = 0;   // bytes a window must bring at least
    Clock::time_point windowStart;
    long long windowBytes = 0;
    bool connected = false;
    bool overCap = false;
    // Of the reply being received (a redirect's are forgotten at the next
    // status line): its header bytes so far, whether its body has begun, and
    // its Content-Encoding when that is not "identity".
    long long headerBytes = 0;
    bool headersOverCap = false;
    bool inBody = false;
    QByteArray encoding;
    QByteArray etag;
    QByteArray lastModified;
    bool compressed = false;   // a compressed body arrived and was refused
    // Where a redirect may lead (empty: anywhere https), and the host of one
    // that led elsewhere and was refused.
    QByteArray redirectPrefix;
    QByteArray foreignHost;
    bool done = false;
    CURLcode result = CURLE_OK;
    char error[CURL_ERROR_SIZE] = {};
    int status = 0;
    QByteArray reason;

    // True when the window that has just ended brought too little.
    bool tooSlow(Clock::time_point now)
    {
        if (!connected || now - windowStart < slowTime)
            return false;
        if (windowBytes < slowWindowBytes)
            return true;
        windowStart = now;
        windowBytes = 0;
        return false;
    }
};

size_t OnBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->windowBytes += static_cast<long long>(n);
    t->inBody = true;
    if (!t->encoding.isEmpty()) {
        // Not decoded: the text would be nonsense, and a reply we cannot
        // read is better reported as such than shown.
        t->compressed = true;
        return 0;
    }
    if (static_cast<long long>(t->body.size()) + static_cast<long long>(n) > t->maxBodyBytes) {
        t->overCap = true;
        return 0;   // anything but n aborts the transfer
    }
    if (t->body.capacity() == 0) {
        curl_off_t length = -1;
        curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        qsizetype reserve = kInitialReserve;
        if (length > 0 && length <= t->maxBodyBytes)
            reserve = static_cast<qsizetype>(length);
        t->body.reserve(std::max<qsizetype>(reserve, static_cast<qsizetype>(n)));
    }
    t->body.append(data, static_cast<qsizetype>(n));
    return n;
}

// False for a redirect's Location that leads off the transfer's redirect
// prefix; notes the host it named. A relative address is taken against the
// address being asked.
bool RedirectAllowed(Transfer &t, const QByteArray &line)
{
    static constexpr char kLocation[] = "location:";
    if (line.size() < qsizetype(sizeof kLocation - 1)
        || line.first(sizeof kLocation - 1).compare(kLocation, Qt::CaseInsensitive) != 0)
        return true;
    const QByteArray target = line.mid(sizeof kLocation - 1).trimmed();
    char *current = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_EFFECTIVE_URL, &current);
    QByteArray absolute;
    QByteArray host;
    if (CURLU *parts = curl_url()) {
        char *joined = nullptr;
        char *name = nullptr;
        if (current && curl_url_set(parts, CURLUPART_URL, current, 0) == CURLUE_OK
            && curl_url_set(parts, CURLUPART_URL, target.constData(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK
            && curl_url_get(parts, CURLUPART_URL, &joined, 0) == CURLUE_OK) {
            absolute = joined;
            if (curl_url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK)
                host = name;
        }
        curl_free(joined);
        curl_free(name);
        curl_url_cleanup(parts);
    }
    if (!absolute.isEmpty() && absolute.startsWith(t.redirectPrefix))
        return true;
    t.foreignHost = host.isEmpty() ? target.left(100) : host;
    return false;
}

// Keeps the status line and the Content-Encoding of each reply (a
// redirect's too; the last one counts) and bounds the size of its headers.
size_t OnHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->windowBytes += static_cast<long long>(n);
    const QByteArray line = QByteArray::fromRawData(data, static_cast<qsizetype>(n)).trimmed();
    if (line.startsWith("HTTP/")) {
        const QList<QByteArray> parts = line.split(' ');
        t->status = parts.size() > 1 ? parts.at(1).toInt() : 0;
        t->reason = parts.size() > 2 ? line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1) : QByteArray();
        t->headerBytes = 0;
        t->inBody = false;
        t->encoding.clear();
        t->etag.clear();
        t->lastModified.clear();
    }
    t->headerBytes += static_cast<long long>(n);
    if (t->headerBytes > kMaxHeaderBytes) {
        t->headersOverCap = true;
        return 0;   // anything but n aborts the transfer
    }
    if (!t->inBody && t->status >= 300 && t->status < 400 && !t->redirectPrefix.isEmpty() && !RedirectAllowed(*t, line)) {
        return 0;   // refused before anything is sent to where it points
    }
    // Trailers after a chunked body are no description of it.
    if (!t->inBody) {
        static constexpr char kEtag[] = "etag:";
        static constexpr char kLastModified[] = "last-modified:";
        if (line.size() >= qsizetype(sizeof kEtag - 1) && line.first(sizeof kEtag - 1).compare(kEtag, Qt::CaseInsensitive) == 0)
            t->etag = line.mid(sizeof kEtag - 1).trimmed();
        else if (line.size() >= qsizetype(sizeof kLastModified - 1)
                 && line.first(sizeof kLastModified - 1).compare(kLastModified, Qt::CaseInsensitive) == 0)
            t->lastModified = line.mid(sizeof kLastModified - 1).trimmed();
    }
    static constexpr char kEncoding[] = "content-encoding:";
    if (!t->inBody && line.size() >= qsizetype(sizeof kEncoding - 1)
        && line.first(sizeof kEncoding - 1).compare(kEncoding, Qt::CaseInsensitive) == 0) {
        for (const QByteArray &coding : line.mid(sizeof kEncoding - 1).split(',')) {
            const QByteArray name = coding.trimmed();
            if (!name.isEmpty() && name.compare("identity", Qt::CaseInsensitive) != 0) {
                t->encoding = line.mid(sizeof kEncoding - 1).trimmed();
                break;
            }
        }
    }
    return n;
}

int OnPrerequest(void *user, char *, char *, int, int)
{
    auto *t = static_cast<Transfer *>(user);
    if (!t->connected) {
        t->connected = true;
        t->windowStart = Clock::now();
        t->windowBytes = 0;
    }
    return CURL_PREREQFUNC_OK;
}

// Marks every finished transfer of the multi handle done, whichever call it
// belongs to.
void CollectFinished(CURLM *multi)
{
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Transfer *t = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
        if (t) {
            t->done = true;
            t->result = msg->data.result;
        }
    }
}

// The URL as bytes through Windows-1252, with every byte that cannot stand in
// a request target percent-encoded: controls, space, DEL and 0x80 to 0xFF,
// and "#", which would end the request target there and drop the rest of the
// query. Everything else, "%" included, goes as it is.
QByteArray EncodeUrl(const QString &url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = ToCp1252(url);
    QByteArray out;
    out.reserve(bytes.size() + 16);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || b == '#') {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        } else {
            out.append(c);
        }
    }
    return out;
}

// The system's CA bundle (curl's built-in default) followed by `extraFile`.
// Empty when the extra file cannot be read.
QByteArray CaBundleWith(CURL *easy, const QString &extraFile)
{
    QFile extra(extraFile);
    if (!extra.open(QIODevice::ReadOnly))
        return {};
    QByteArray pem;
    char *systemBundle = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle) {
        QFile system(QString::fromLocal8Bit(systemBundle));
        if (system.open(QIODevice::ReadOnly))
            pem = system.readAll();
    }
    pem.append('\n');
    pem.append(extra.readAll());
    pem.append('\n');
    return pem;
}

// Owns the easy handle and its header list; takes the handle out of the multi
// handle before freeing it, also when a yield throws.
struct EasyHandle {
    CURLM *multi = nullptr;
    CURL *easy = nullptr;
    curl_slist *headers = nullptr;
    bool added = false;

    void release()
    {
        if (added)
            curl_multi_remove_handle(multi, easy);
        added = false;
        if (easy)
            curl_easy_cleanup(easy);
        easy = nullptr;
        curl_slist_free_all(headers);
        headers = nullptr;
    }
    ~EasyHandle() { release(); }
};

bool Configure(EasyHandle &h, Transfer &t, const QByteArray &url, const Request &request,
               const DownloadOptions &options, CURLSH *share)
{
    CURL *e = h.easy;
    bool ok = true;
    auto set = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };

    set(curl_easy_setopt(e, CURLOPT_URL, url.constData()));
    set(curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L));
    set(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
    // A redirect may not leave the secure channel: https only.
    set(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https"));
    set(curl_easy_setopt(e, CURLOPT_USERAGENT,
                         request.userAgent.isEmpty() ? kUserAgent : request.userAgent.constData()));
    // A direct connection whatever the environment's proxy variables say.
    set(curl_easy_setopt(e, CURLOPT_PROXY, ""));
    set(curl_easy_setopt(e, CURLOPT_NOPROXY, "*"));
    set(curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L));
    set(curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects));
    // HTTP/1.1, so that the request target reaches the server exactly as
    // built here (the services read the query as sent).
    set(curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
    set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L));
    if (!options.extraCaFile.isEmpty()) {
        const QByteArray pem = CaBundleWith(e, options.extraCaFile);
        if (!pem.isEmpty()) {
            curl_blob blob{const_cast<char *>(pem.constData()), static_cast<size_t>(pem.size()),
                           CURL_BLOB_COPY};
            set(curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob));
        }
    }
    set(curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReadPieceBytes));
    set(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, options.connectTimeoutMs)));
    // A name lookup still running when the fetch is given up (time-out,
    // window closed) is left to finish on its own: waiting for it here
    // would hold the window, or keep the program alive after it, for as long
    // as a name server that does not answer takes.
    set(curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L));
    set(curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes)));
    if (share)
        set(curl_easy_setopt(e, CURLOPT_SHARE, share));
    if (request.reload != 0) {
        h.headers = curl_slist_append(h.headers, "Cache-Control: no-cache");
        h.headers = curl_slist_append(h.headers, "Pragma: no-cache");
    }
    for (const QByteArray &header : request.headers)
        h.headers = curl_slist_append(h.headers, header.constData());
    if (h.headers)
        set(curl_easy_setopt(e, CURLOPT_HTTPHEADER, h.headers));

    set(curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.error));
    set(curl_easy_setopt(e, CURLOPT_PRIVATE, &t));
    set(curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody));
    set(curl_easy_setopt(e, CURLOPT_WRITEDATA, &t));
    set(curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader));
    set(curl_easy_setopt(e, CURLOPT_HEADERDATA, &t));
    set(curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, OnPrerequest));
    set(curl_easy_setopt(e, CURLOPT_PREREQDATA, &t));
    return ok && (request.reload == 0 || h.headers);
}

void DefaultYield()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// Printable ASCII only, at most `maxLength` characters: a reason phrase or
// a header value comes from the server and ends up in a message box.
QString CleanServerText(const QByteArray &text, qsizetype maxLength)
{
    QString out;
    for (const char c : text) {
        if (out.size() >= maxLength)
            break;
        out.append(c >= 0x20 && c < 0x7F ? QChar(c) : QChar(u' '));
    }
    return out.simplified();
}

// The host of the URL last asked for (after redirects), as curl read it.
QString HostOf(CURL *easy, const QByteArray &fallbackUrl)
{
    char *effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    QString host;
    if (CURLU *parts = curl_url()) {
        char *name = nullptr;
        if (curl_url_set(parts, CURLUPART_URL, effective ? effective : fallbackUrl.constData(), 0) == CURLUE_OK
            && curl_url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK) {
            host = QString::fromLatin1(name);
            curl_free(name);
        }
        curl_url_cleanup(parts);
    }
    return host;
}

// True when libcurl gave up on the reply's headers. It has a bound of its
// own on a single header line (above ours on all of them, so a line beyond it
// never reaches OnHeader) and reports reaching it as running out of memory,
// without words; newer versions say so in their error text. An out-of-memory
// while the headers are arriving is taken for that: before the request went
// out or once the body has begun it is a real one.
bool CurlRefusedHeaders(const Transfer &t)
{
    const QByteArray words = QByteArray(t.error).toLower();
    if (words.contains("header") && (words.contains("giant") || words.contains("too large")))
        return true;
    return t.result == CURLE_OUT_OF_MEMORY && t.connected && !t.inBody;
}

Failure FailureOf(const Transfer &t)
{
    if (t.overCap)
        return Failure::TooLarge;
    if (t.headersOverCap)
        return Failure::HeadersTooLarge;
    if (t.compressed)
        return Failure::UnrequestedCompression;
    if (!t.foreignHost.isEmpty())
        return Failure::ForeignRedirect;
    if (t.result != CURLE_OK && CurlRefusedHeaders(t))
        return Failure::HeadersTooLarge;
    switch (t.result) {
    case CURLE_OK:
        return Failure::None;
    case CURLE_COULDNT_RESOLVE_HOST:
        return Failure::HostNotFound;
    case CURLE_COULDNT_CONNECT: {
        long osError = 0;
        curl_easy_getinfo(t.easy, CURLINFO_OS_ERRNO, &osError);
        return osError == ECONNREFUSED ? Failure::Refused : Failure::Unreachable;
    }
    case CURLE_OPERATION_TIMEDOUT:   // only the connect time-out is curl's own
        return Failure::ConnectTimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
        return Failure::Certificate;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_CIPHER:
        return Failure::SecureChannel;
    case CURLE_FILESIZE_EXCEEDED:
        return Failure::TooLarge;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // After a redirect: the new address is not https.
        return t.status >= 300 && t.status < 400 ? Failure::InsecureRedirect : Failure::Other;
    case CURLE_TOO_MANY_REDIRECTS:
        return Failure::TooManyRedirects;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return Failure::ConnectionLost;
    default:
        return Failure::Other;
    }
}

// Drives the transfer until it ends or one of our own bounds ends it: the
// caller's cancel request, the whole fetch's time, the average speed.
template <typename Cancelled, typename Yield>
Failure Wait(CURLM *multi, Transfer &t, Clock::duration totalTime, const Cancelled &cancelled, const Yield &yield)
{
    for (;;) {
        int running = 0;
        const CURLMcode rc = curl_multi_perform(multi, &running);
        CollectFinished(multi);
        if (t.done)
            return FailureOf(t);
        if (rc != CURLM_OK)
            return Failure::Other;
        const Clock::time_point now = Clock::now();
        if (cancelled())
            return Failure::Cancelled;
        if (now - t.started >= totalTime)
            return Failure::TookTooLong;
        if (t.tooSlow(now))
            return Failure::Stalled;
        curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        yield();
    }
}

} // namespace

Fetched DownloadUrl(const QString &url, int reload, const DownloadOptions &options)
{
    return DownloadUrl(Request{url, reload, {}, {}, {}}, options);
}

Fetched DownloadUrl(const Request &request, const DownloadOptions &options)
{
    const auto yield = [&options] {
        if (options.yield)
            options.yield();
        else
            DefaultYield();
    };
    const auto cancelled = [&options] { return options.cancelled && options.cancelled(); };

    SharedState &shared = Shared();
    // Declared before the handle, so the handle leaves the multi handle before
    // the state its callbacks write to goes away.
    Transfer t;
    t.maxBodyBytes = std::max(0LL, options.maxBodyBytes);
    t.slowTime = std::chrono::milliseconds(std::max(1L, options.slowTimeMs));
    t.slowWindowBytes = static_cast<long long>(options.slowBytesPerSecond) * std::max(1L, options.slowTimeMs) / 1000;
    const auto totalTime = std::chrono::milliseconds(std::max(1L, options.totalTimeoutMs));
    t.redirectPrefix = request.redirectPrefix.toUtf8();

    EasyHandle h;
    h.multi = MultiOfThisThread();
    h.easy = h.multi ? curl_easy_init() : nullptr;
    t.easy = h.easy;
    const QByteArray encodedUrl = EncodeUrl(request.url);
    const bool configured = h.easy && Configure(h, t, encodedUrl, request, options, shared.share);

    yield();
    if (configured && !cancelled() && curl_multi_add_handle(h.multi, h.easy) == CURLM_OK)
        h.added = true;
    yield();

    Failure failure = Failure::Other;
    if (h.added)
        failure = Wait(h.multi, t, totalTime, cancelled, yield);
    else if (configured && cancelled())
        failure = Failure::Cancelled;
    yield();

    Fetched fetched;
    DownloadReport &report = fetched.report;
    report.failure = failure;
    report.host = h.easy ? HostOf(h.easy, encodedUrl) : QString();
    report.httpStatus = t.status;
    report.reason = CleanServerText(t.reason, 60);
    report.etag = CleanServerText(t.etag, 200);
    report.lastModified = CleanServerText(t.lastModified, 200);
    if (failure == Failure::Other)
        report.detail = QString::fromLatin1(t.error[0] ? t.error : curl_easy_strerror(t.result));
    else if (failure == Failure::UnrequestedCompression)
        report.detail = CleanServerText(t.encoding, 40);
    else if (failure == Failure::ForeignRedirect)
        report.detail = CleanServerText(t.foreignHost, 100);
    if (failure == Failure::None)
        fetched.body = FromCp1252(t.body);
    t.body = QByteArray();
    yield();

    h.release();
    yield();
    return fetched;
}

} // namespace net
