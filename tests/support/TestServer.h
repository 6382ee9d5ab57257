#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks, plain or
// over TLS with the test certificates in tests/support/certs/. It runs on its
// own threads (one listener, one per connection), so the code under test may
// block the test's thread while it talks to the server. Everything it sends
// is set up beforehand as routes; everything it receives is recorded.
//
//     testsupport::TestServer server;                       // plain HTTP
//     server.route("/a", testsupport::Response::ok("hello"));
//     QVERIFY(server.start());
//     ... fetch server.url("/a?x=1") ...
//     QCOMPARE(server.requests().at(0).requestLine, "GET /a?x=1 HTTP/1.1");
//
// Requests are matched by the path of the target (the part before "?"),
// compared byte for byte with the raw target as received (no decoding). A path
// without a route gets a 404 with a short text page. Connections are
// kept alive (HTTP/1.1 default) unless the client or the response says
// "close". stop() (also run by the destructor) ends every connection, also
// stalled ones, and joins every thread.
namespace testsupport {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One received request, as it arrived.
struct Request {
    QByteArray requestLine;   // the first line exactly as received, without CRLF
    QByteArray method;
    QByteArray target;        // raw request target, e.g. "/a%20b?x=1"
    QByteArray path;          // target up to the first "?"
    QByteArray version;       // e.g. "HTTP/1.1"
    HeaderList headers;       // in order, names and values as received (value trimmed)
    QByteArray body;          // when the request carried a Content-Length
    int connection = 0;       // 1-based number of the accepted connection it came on
    bool tls = false;

    // The first header of that name (case-insensitive); empty when absent.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
};

// What the server answers to one request.
struct Response {
    enum class Stall {
        None,
        BeforeHeaders,   // read the request, send nothing, hang until stopped
        AfterHeaders,    // send the status line and headers, then hang
        MidBody,         // send the headers and the first piece, then hang
    };

    int status = 200;
    QByteArray reason;        // empty: a standard phrase for the status
    HeaderList headers;       // extra headers, sent after the server's own
    QByteArray body;

    // Sizes of the pieces in which the body is written, each a separate
    // write with `pieceDelayMs` between them; what the list leaves is sent as
    // one last piece. Empty: the whole body in one write.
    QList<int> pieces;
    int pieceDelayMs = 0;
    int headerDelayMs = 0;            // wait this long before sending anything

    bool contentLength = true;        // false: no Content-Length, body ends at close
    bool chunked = false;             // Transfer-Encoding: chunked, one chunk per piece
    bool closeConnection = false;     // "Connection: close" and close after the reply
    Stall stall = Stall::None;

    static Response ok(const QByteArray &body, const QByteArray &contentType = "text/plain");
    static Response withStatus(int status, const QByteArray &body,
                               const QByteArray &contentType = "text/html");
    static Response redirect(const QByteArray &location, int status = 302);
};

using Handler = std::function<Response(const Request &)>;

// A request as a client writes it, for tests that talk to the server through
// a raw socket: "GET <target> HTTP/1.1", "Host: h", `headers` as given (the
// value exactly, spaces and all), then the empty line.
QByteArray RawRequest(const QByteArray &target, const HeaderList &headers = {});

class TestServer {
public:
    enum class Mode { Http, Https, HttpsUntrusted };

    // Https presents certs/server.pem (signed by the test CA, for 127.0.0.1
    // and localhost); HttpsUntrusted presents the self-signed certs/untrusted.pem.
    explicit TestServer(Mode mode = Mode::Http);
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Listens on 127.0.0.1:port (0: a free port). False when it could not.
    bool start(quint16 port = 0);
    // Ends every connection (stalled ones too) and joins all threads. Idempotent.
    void stop();

    quint16 port() const;
    bool isTls() const;
    // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT" (or with "localhost").
    QString baseUrl(bool localhostName = false) const;
    // baseUrl() followed by `pathAndQuery`, which should start with "/".
    QString url(const QString &pathAndQuery, bool localhostName = false) const;

    // Routes may be set before or while running; a later route for the same
    // path replaces the earlier one. The handler runs on a connection thread.
    void route(const QByteArray &path, const Response &response);
    void route(const QByteArray &path, Handler handler);
    void clearRoutes();

    // What was received and done so far (thread-safe copies).
    QList<Request> requests() const;
    int requestCount() const;
    int connectionsAccepted() const;
    int tlsHandshakes() const;         // completed TLS handshakes
    int tlsResumedHandshakes() const;  // of which resumed an earlier session
    void clearRecords();               // forgets requests and resets the counters

    // Blocks up to `timeoutMs` until at least `count` requests have arrived.
    bool waitForRequests(int count, int timeoutMs) const;

    // Paths of the test certificates (for a client that should trust the CA).
    static QString certsDir();
    static QString caFile();           // certs/ca.pem

    // Returns a 127.0.0.1 port on which nothing listens (just freed; a
    // connection to it is refused).
    static quint16 closedPort();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace testsupport
