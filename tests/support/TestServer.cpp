#include "TestServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <thread>

#ifndef SELVORRA_TEST_CERTS_DIR
#error "SELVORRA_TEST_CERTS_DIR must name tests/support/certs"
#endif

namespace testsupport {

namespace {

constexpr qsizetype kMaxHeadBytes = 1024 * 1024;

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "Name: value" lines, each ended by CRLF, for requests and responses alike.
QByteArray headerLines(const HeaderList &headers)
{
    QByteArray out;
    for (const auto &h : headers)
        out += h.first + ": " + h.second + "\r\n";
    return out;
}

} // namespace

QByteArray Request::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (sameName(h.first, name))
            return h.second;
    return {};
}

bool Request::hasHeader(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (sameName(h.first, name))
            return true;
    return false;
}

QByteArray RawRequest(const QByteArray &target, const HeaderList &headers)
{
    return "GET " + target + " HTTP/1.1\r\n" + headerLines(HeaderList{{"Host", "h"}} + headers) + "\r\n";
}

Response Response::ok(const QByteArray &body, const QByteArray &contentType)
{
    Response r;
    r.body = body;
    if (!contentType.isEmpty())
        r.headers.append({"Content-Type", contentType});
    return r;
}

Response Response::withStatus(int status, const QByteArray &body, const QByteArray &contentType)
{
    Response r = ok(body, contentType);
    r.status = status;
    return r;
}

Response Response::redirect(const QByteArray &location, int status)
{
    Response r = withStatus(status, "<html><body>Moved</body></html>");
    r.headers.append({"Location", location});
    return r;
}

// ---------------------------------------------------------------------------

struct TestServer::Impl {
    struct Conn {
        int fd = -1;               // guarded by mu; -1 once closed
        int id = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    Mode mode;
    SSL_CTX *ctx = nullptr;
    int listenFd = -1;
    int wakePipe[2] = {-1, -1};
    quint16 port = 0;
    bool running = false;
    std::thread listener;

    mutable std::mutex mu;
    mutable std::condition_variable cv;
    bool stopping = false;
    std::map<QByteArray, Handler> routes;
    QList<Request> requests;
    int accepted = 0;
    int nextConnId = 0;
    int handshakes = 0;
    int resumed = 0;
    std::list<std::unique_ptr<Conn>> conns;

    explicit Impl(Mode m) : mode(m) {}

    bool tls() const { return mode != Mode::Http; }

    bool makeContext()
    {
        const QByteArray dir = QByteArray(SELVORRA_TEST_CERTS_DIR) + "/";
        const QByteArray base = mode == Mode::HttpsUntrusted ? "untrusted" : "server";
        ctx = SSL_CTX_new(TLS_server_method());
        if (!ctx)
            return false;
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
#ifdef SSL_OP_IGNORE_UNEXPECTED_EOF
        SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
#endif
        static const unsigned char sidContext[] = "selvorra-testserver";
        SSL_CTX_set_session_id_context(ctx, sidContext, sizeof sidContext - 1);
        if (SSL_CTX_use_certificate_chain_file(ctx, (dir + base + ".pem").constData()) != 1
            || SSL_CTX_use_PrivateKey_file(ctx, (dir + base + ".key").constData(), SSL_FILETYPE_PEM) != 1
            || SSL_CTX_check_private_key(ctx) != 1) {
            ERR_clear_error();
            SSL_CTX_free(ctx);
            ctx = nullptr;
            return false;
        }
        return true;
    }

    // --- listener -----------------------------------------------------------

    void listenLoop()
    {
        for (;;) {
            pollfd p[2] = {{listenFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (p[1].revents)
                return;
            if (!(p[0].revents & POLLIN))
                continue;
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

            std::lock_guard<std::mutex> lock(mu);
            if (stopping) {
                ::close(fd);
                return;
            }
            // Join connections that have ended, so a long run does not pile up threads.
            for (auto it = conns.begin(); it != conns.end();) {
                if ((*it)->done) {
                    (*it)->thread.join();
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
            auto conn = std::make_unique<Conn>();
            conn->fd = fd;
            ++accepted;
            conn->id = ++nextConnId;
            Conn *raw = conn.get();
            conns.push_back(std::move(conn));
            raw->thread = std::thread([this, raw, fd] { serve(raw, fd); });
            cv.notify_all();
        }
    }

    // --- one connection -----------------------------------------------------

    struct Io {
        int fd;
        SSL *ssl;

        qsizetype readSome(char *buf, int cap)
        {
            for (;;) {
                if (ssl) {
                    const int n = SSL_read(ssl, buf, cap);
                    if (n > 0)
                        return n;
                    ERR_clear_error();
                    return 0;
                }
                const ssize_t n = ::recv(fd, buf, cap, 0);
                if (n < 0 && errno == EINTR)
                    continue;
                return n > 0 ? n : 0;
            }
        }

        bool writeAll(const QByteArray &data)
        {
            qsizetype off = 0;
            while (off < data.size()) {
                const int want = int(std::min<qsizetype>(data.size() - off, 1 << 20));
                if (ssl) {
                    const int n = SSL_write(ssl, data.constData() + off, want);
                    if (n <= 0) {
                        ERR_clear_error();
                        return false;
                    }
                    off += n;
                } else {
                    const ssize_t n = ::send(fd, data.constData() + off, want, MSG_NOSIGNAL);
                    if (n < 0 && errno == EINTR)
                        continue;
                    if (n <= 0)
                        return false;
                    off += n;
                }
            }
            return true;
        }
    };

    // Waits `ms` (or until stop for ms < 0); false when the server is stopping.
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> lock(mu);
        if (ms < 0) {
            cv.wait(lock, [this] { return stopping; });
            return false;
        }
        return !cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    static bool parseHead(const QByteArray &head, Request &req)
    {
        const QList<QByteArray> lines = head.split('\n');
        if (lines.isEmpty())
            return false;
        auto stripCr = [](QByteArray line) {
            if (line.endsWith('\r'))
                line.chop(1);
            return line;
        };
        req.requestLine = stripCr(lines.first());
        const qsizetype sp1 = req.requestLine.indexOf(' ');
        const qsizetype sp2 = req.requestLine.lastIndexOf(' ');
        if (sp1 <= 0 || sp2 <= sp1)
            return false;
        req.method = req.requestLine.left(sp1);
        req.target = req.requestLine.mid(sp1 + 1, sp2 - sp1 - 1);
        req.version = req.requestLine.mid(sp2 + 1);
        const qsizetype q = req.target.indexOf('?');
        req.path = q < 0 ? req.target : req.target.left(q);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = stripCr(lines.at(i));
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            req.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        return true;
    }

    Response answerFor(const Request &req)
    {
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mu);
            const auto it = routes.find(req.path);
            if (it != routes.end())
                handler = it->second;
        }
        if (!handler)
            return Response::withStatus(404, "<html><body><h1>404 Not Found</h1></body></html>");
        return handler(req);
    }

    // The status line and the headers, up to the empty line.
    static QByteArray responseHead(const Response &r, bool closeAfter)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' '
            + (r.reason.isEmpty() ? reasonFor(r.status) : r.reason) + "\r\n";
        head += "Server: selvorra-testserver\r\n";
        if (r.chunked)
            head += "Transfer-Encoding: chunked\r\n";
        else if (r.contentLength)
            head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
        if (closeAfter)
            head += "Connection: close\r\n";
        return head + headerLines(r.headers) + "\r\n";
    }

    // The body cut into the pieces it is written in.
    static QList<QByteArray> bodyPieces(const Response &r)
    {
        QList<QByteArray> pieces;
        qsizetype off = 0;
        for (int size : r.pieces) {
            if (off >= r.body.size())
                break;
            const qsizetype n = std::min<qsizetype>(std::max(size, 0), r.body.size() - off);
            pieces.append(r.body.mid(off, n));
            off += n;
        }
        if (off < r.body.size())
            pieces.append(r.body.mid(off));
        return pieces;
    }

    // Sends one response; false when the connection must end afterwards.
    bool respond(Io &io, const Request &req, const Response &r)
    {
        if (r.headerDelayMs > 0 && !pause(r.headerDelayMs))
            return false;
        if (r.stall == Response::Stall::BeforeHeaders) {
            pause(-1);
            return false;
        }

        const bool headOnly = req.method == "HEAD";
        const bool closeAfter = r.closeConnection || (!r.contentLength && !r.chunked)
            || sameName(req.header("Connection"), "close")
            || (req.version == "HTTP/1.0" && !sameName(req.header("Connection"), "keep-alive"));
        if (!io.writeAll(responseHead(r, closeAfter)))
            return false;
        if (r.stall == Response::Stall::AfterHeaders) {
            pause(-1);
            return false;
        }
        if (headOnly)
            return !closeAfter;

        const QList<QByteArray> pieces = bodyPieces(r);
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0 && r.pieceDelayMs > 0 && !pause(r.pieceDelayMs))
                return false;
            QByteArray out = pieces.at(i);
            if (r.chunked) {
                if (out.isEmpty())
                    continue;   // an empty chunk would end the body
                out = QByteArray::number(out.size(), 16) + "\r\n" + out + "\r\n";
            }
            if (!io.writeAll(out))
                return false;
            if (i == 0 && r.stall == Response::Stall::MidBody) {
                pause(-1);
                return false;
            }
        }
        if (r.chunked && !io.writeAll("0\r\n\r\n"))
            return false;
        return !closeAfter;
    }

    // The server's side of the TLS handshake, counted; false when it failed.
    bool acceptTls(Io &io, int fd)
    {
        io.ssl = SSL_new(ctx);
        if (!io.ssl || SSL_set_fd(io.ssl, fd) != 1 || SSL_accept(io.ssl) != 1) {
            ERR_clear_error();
            return false;
        }
        std::lock_guard<std::mutex> lock(mu);
        ++handshakes;
        if (SSL_session_reused(io.ssl))
            ++resumed;
        return true;
    }

    // Reads the next request of a connection, its body too; `in` keeps what
    // arrived beyond it. False when the peer went away or sent nonsense.
    bool readRequest(Io &io, QByteArray &in, Request &req)
    {
        char buf[16384];
        qsizetype end;
        while ((end = in.indexOf("\r\n\r\n")) < 0) {
            if (in.size() > kMaxHeadBytes)
                return false;
            const qsizetype n = io.readSome(buf, sizeof buf);
            if (n <= 0)
                return false;
            in.append(buf, n);
        }
        if (!parseHead(in.left(end), req))
            return false;
        in.remove(0, end + 4);
        const qsizetype length = req.header("Content-Length").toLongLong();
        while (in.size() < length) {
            const qsizetype n = io.readSome(buf, sizeof buf);
            if (n <= 0)
                return false;
            in.append(buf, n);
        }
        if (length > 0) {
            req.body = in.left(length);
            in.remove(0, length);
        }
        return true;
    }

    void serve(Conn *conn, int fd)
    {
        // A peer that went away makes writes fail with EPIPE instead of
        // killing the process (OpenSSL writes with plain write()).
        sigset_t block;
        sigemptyset(&block);
        sigaddset(&block, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &block, nullptr);

        Io io{fd, nullptr};
        bool orderlyClose = false;
        if (tls() && !acceptTls(io, fd))
            return finish(conn, io, false);

        QByteArray in;
        for (;;) {
            Request req;
            req.connection = conn->id;
            req.tls = tls();
            if (!readRequest(io, in, req))
                return finish(conn, io, false);
            {
                std::lock_guard<std::mutex> lock(mu);
                requests.append(req);
            }
            cv.notify_all();

            const Response r = answerFor(req);
            if (!respond(io, req, r)) {
                std::lock_guard<std::mutex> lock(mu);
                orderlyClose = !stopping;
                break;
            }
        }
        finish(conn, io, orderlyClose);
    }

    void finish(Conn *conn, Io &io, bool orderly)
    {
        if (io.ssl) {
            if (orderly)
                SSL_shutdown(io.ssl);
            SSL_free(io.ssl);
            ERR_clear_error();
        }
        {
            std::lock_guard<std::mutex> lock(mu);
            ::close(conn->fd);
            conn->fd = -1;
        }
        conn->done = true;
    }
};

// ---------------------------------------------------------------------------

TestServer::TestServer(Mode mode) : d(std::make_unique<Impl>(mode)) {}

TestServer::~TestServer()
{
    stop();
    if (d->ctx)
        SSL_CTX_free(d->ctx);
}

bool TestServer::start(quint16 port)
{
    if (d->running)
        return true;
    if (d->tls() && !d->ctx && !d->makeContext())
        return false;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(fd, 64) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0
        || ::pipe2(d->wakePipe, O_CLOEXEC) != 0) {
        ::close(fd);
        return false;
    }
    d->listenFd = fd;
    d->port = ntohs(addr.sin_port);
    d->stopping = false;
    d->running = true;
    d->listener = std::thread([this] { d->listenLoop(); });
    return true;
}

void TestServer::stop()
{
    if (!d->running)
        return;
    {
        std::lock_guard<std::mutex> lock(d->mu);
        d->stopping = true;
        for (const auto &c : d->conns)
            if (c->fd >= 0)
                ::shutdown(c->fd, SHUT_RDWR);
    }
    d->cv.notify_all();
    const char x = 'x';
    while (::write(d->wakePipe[1], &x, 1) < 0 && errno == EINTR) {
    }
    d->listener.join();
    // No connection is added after the listener has ended.
    for (const auto &c : d->conns)
        c->thread.join();
    d->conns.clear();
    ::close(d->listenFd);
    ::close(d->wakePipe[0]);
    ::close(d->wakePipe[1]);
    d->listenFd = d->wakePipe[0] = d->wakePipe[1] = -1;
    d->running = false;
}

quint16 TestServer::port() const { return d->port; }

bool TestServer::isTls() const { return d->tls(); }

QString TestServer::baseUrl(bool localhostName) const
{
    return QStringLiteral("%1://%2:%3")
        .arg(d->tls() ? QStringLiteral("https") : QStringLiteral("http"),
             localhostName ? QStringLiteral("localhost") : QStringLiteral("127.0.0.1"))
        .arg(d->port);
}

QString TestServer::url(const QString &pathAndQuery, bool localhostName) const
{
    return baseUrl(localhostName) + pathAndQuery;
}

void TestServer::route(const QByteArray &path, const Response &response)
{
    route(path, Handler([response](const Request &) { return response; }));
}

void TestServer::route(const QByteArray &path, Handler handler)
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->routes[path] = std::move(handler);
}

void TestServer::clearRoutes()
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->routes.clear();
}

QList<Request> TestServer::requests() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->requests;
}

int TestServer::requestCount() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return int(d->requests.size());
}

int TestServer::connectionsAccepted() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->accepted;
}

int TestServer::tlsHandshakes() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->handshakes;
}

int TestServer::tlsResumedHandshakes() const
{
    std::lock_guard<std::mutex> lock(d->mu);
    return d->resumed;
}

void TestServer::clearRecords()
{
    std::lock_guard<std::mutex> lock(d->mu);
    d->requests.clear();
    d->handshakes = 0;
    d->resumed = 0;
    d->accepted = 0;   // connection numbers (Request::connection) keep counting up
}

bool TestServer::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->mu);
    return d->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this, count] { return d->requests.size() >= count; });
}

QString TestServer::certsDir()
{
    return QString::fromUtf8(SELVORRA_TEST_CERTS_DIR);
}

QString TestServer::caFile()
{
    return certsDir() + QStringLiteral("/ca.pem");
}

quint16 TestServer::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

} // namespace testsupport
