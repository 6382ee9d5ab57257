// DownloadUrl against the loopback test server.

#include "common/CodePage.h"
#include "net/DownloadUrl.h"
#include "support/TestServer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <vector>

using testsupport::Request;
using testsupport::Response;
using testsupport::TestServer;

namespace {

QString U(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// Bytes 0..255 over and over, so that a lost, doubled or moved piece shows.
QByteArray pattern(qsizetype size, int seed = 0)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 7 + seed + i / 256) & 0xFF);
    return out;
}

// Small bounds so that the failure cases end in well under a second.
net::DownloadOptions quick()
{
    net::DownloadOptions o;
    o.connectTimeoutMs = 2000;
    o.slowTimeMs = 300;
    return o;
}

net::DownloadOptions trustingTestCa()
{
    net::DownloadOptions o = quick();
    o.extraCaFile = TestServer::caFile();
    return o;
}

// Sets proxy variables for the life of the object, restoring them afterwards.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const QByteArray &value)
    {
        for (const char *name : kNames) {
            saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            qputenv(name, value);
        }
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }
    ~ProxyEnvironment()
    {
        for (const auto &s : saved) {
            if (s.wasSet)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }

private:
    static constexpr const char *kNames[] = {"http_proxy", "https_proxy", "HTTP_PROXY",
                                             "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    struct Saved {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> saved;
};

struct FailureRow {
    const char *name;
    Response response;             // what /page on the https server answers
    net::Failure failure;
    int status = 0;                // the last status line received
    QString url;                   // %1: the https port, %2: a closed port; empty: /page
    int cancelAfterMs = 0;
    bool trustTestCa = true;
    QString words = {};            // what DescribeFailure says; empty: not compared
    QString redirectPrefix = {};   // the request's; %1: the https port
};

Response withHeaders(Response r, const testsupport::HeaderList &headers)
{
    r.headers += headers;
    return r;
}

const std::vector<FailureRow> &FailureRows()
{
    static const std::vector<FailureRow> rows = [] {
        std::vector<FailureRow> r;
        Response unavailable = Response::withStatus(503, "down for maintenance");
        r.push_back({"error status is a reply", unavailable, net::Failure::None, 503, {}, 0});
        r.push_back({"connection refused", {}, net::Failure::Refused, 0, "https://127.0.0.1:%2/"});
        r.push_back({"redirect to plain http", {}, net::Failure::InsecureRedirect, 302, "https://127.0.0.1:%1/to-http"});
        Response trickle = Response::ok(QByteArray(200, 'x'));
        trickle.pieces = QList<int>(199, 1);
        trickle.pieceDelayMs = 50;
        r.push_back({"one byte every 50 ms", trickle, net::Failure::Stalled, 200, {}, 0});
        Response endless = Response::ok(pattern(4 * 1024 * 1024));
        endless.pieces = QList<int>(1000, 4096);
        endless.pieceDelayMs = 10;
        r.push_back({"400 KiB/s for longer than the whole bound", endless, net::Failure::TookTooLong, 200, {}, 0});
        Response big = Response::ok(pattern(17 * 1024 * 1024));
        r.push_back({"body over 16 MiB", big, net::Failure::TooLarge, 200, {}, 0});
        Response cut = Response::ok("only a part");
        cut.contentLength = false;
        cut.closeConnection = true;
        cut.headers.append(qMakePair(QByteArray("Content-Length"), QByteArray("5000")));
        r.push_back({"connection closed before the announced length", cut, net::Failure::ConnectionLost, 200, {}, 0});
        Response late = Response::ok("late");
        late.headerDelayMs = 2000;
        r.push_back({"window closed while waiting", late, net::Failure::Cancelled, 0, {}, 200});
        r.push_back({"certificate not trusted", Response::ok("x"), net::Failure::Certificate, 0, {}, 0, false});
        const QString tooLarge = QStringLiteral("the reply's headers were too large (from 127.0.0.1)");
        r.push_back({"one header line of 200 KiB", withHeaders(Response::ok("x"), {{"X-Filler", QByteArray(200 * 1024, 'h')}}),
                     net::Failure::HeadersTooLarge, 200, {}, 0, true, tooLarge});
        testsupport::HeaderList many;
        for (int i = 0; i < 100; ++i)
            many.append({"X-Filler-" + QByteArray::number(i), QByteArray(1000, 'h')});
        r.push_back({"headers of 100 KB in all", withHeaders(Response::ok("x"), many),
                     net::Failure::HeadersTooLarge, 200, {}, 0, true, tooLarge});
        r.push_back({"gzip body not asked for",
                     withHeaders(Response::ok(QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10)),
                                 {{"Content-Encoding", "gzip"}}),
                     net::Failure::UnrequestedCompression, 200, {}, 0, true,
                     "127.0.0.1 sent a compressed reply (Content-Encoding: gzip) that was not asked for"});
        r.push_back({"odd Content-Encoding cut to printable and short",
                     withHeaders(Response::ok("x"), {{"Content-Encoding", "identity, x-Odd\x01\xE9" + QByteArray(60, 'z')}}),
                     net::Failure::UnrequestedCompression, 200, {}, 0, true,
                     "127.0.0.1 sent a compressed reply (Content-Encoding: identity, x-Odd "
                     + QString(23, u'z') + ") that was not asked for"});
        r.push_back({"redirect off the request's prefix, refused before it is followed", {}, net::Failure::ForeignRedirect,
                     301, "https://127.0.0.1:%1/to-elsewhere", 0, true,
                     "127.0.0.1 redirected to localhost, which is not the service's own address",
                     "https://127.0.0.1:%1/to-"});
        r.push_back({"Content-Encoding identity is no compression",
                     withHeaders(unavailable, {{"Content-Encoding", "Identity"}}), net::Failure::None, 503, {}, 0});
        return r;
    }();
    return rows;
}

} // namespace

class DownloadUrlTest : public QObject {
    Q_OBJECT

private slots:
    void emptyBody();
    void exactly32000Bytes();
    void unevenPieces_data();
    void unevenPieces();
    void closeDelimitedBody();
    void errorPageReturnedAsText();
    void redirectFollowed();
    void redirectLimit();
    void failureReported_data();
    void failureReported();
    void closedPortGivesEmpty();
    void stalledServerGivesEmpty_data();
    void stalledServerGivesEmpty();
    void handshakeTimeoutGivesEmpty();
    void bodyOverCapGivesEmpty_data();
    void bodyOverCapGivesEmpty();
    void bytesWidenedThroughCp1252();
    void spacesAndUnsafeBytesEncoded();
    void otherCharactersSentAsTheyAre();
    void userAgent();
    void reloadHeaders();
    void connectionReusedOverHttp();
    void connectionReusedOverHttps();
    void tlsSessionResumedOnNewConnection();
    void httpsWithTestCa();
    void httpsUntrustedGivesEmpty();
    void proxyEnvironmentIgnored();
    void yieldsWhileWaiting();
    void defaultYieldRunsPendingEvents();
    void nestedCallFromYield();
};

void DownloadUrlTest::emptyBody()
{
    TestServer server;
    server.route("/empty", Response::ok(""));
    QVERIFY(server.start());
    const QString text = net::DownloadUrl(server.url("/empty"), 0, quick()).body;
    QVERIFY(text.isEmpty());
    QCOMPARE(server.requestCount(), 1);
}

void DownloadUrlTest::exactly32000Bytes()
{
    TestServer server;
    const QByteArray body = pattern(32000);
    server.route("/32000", Response::ok(body, "application/octet-stream"));
    QVERIFY(server.start());
    const QString text = net::DownloadUrl(server.url("/32000"), 0, quick()).body;
    QCOMPARE(text.size(), 32000);
    QCOMPARE(text, FromCp1252(body));
}

void DownloadUrlTest::unevenPieces_data()
{
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<bool>("tls");
    QTest::newRow("content-length") << false << false;
    QTest::newRow("chunked") << true << false;
    QTest::newRow("https") << false << true;
}

void DownloadUrlTest::unevenPieces()
{
    QFETCH(bool, chunked);
    QFETCH(bool, tls);
    TestServer server(tls ? TestServer::Mode::Https : TestServer::Mode::Http);
    Response r = Response::ok(pattern(200000, 3), "application/octet-stream");
    // Short reads in the middle of long ones, and pieces across the 32000 mark.
    r.pieces = {1, 31999, 32000, 7, 40000, 3, 150, 60000, 12345};
    r.pieceDelayMs = 5;
    r.chunked = chunked;
    server.route("/big", r);
    QVERIFY(server.start());
    const QString text = net::DownloadUrl(server.url("/big"), 0, trustingTestCa()).body;
    QCOMPARE(text.size(), 200000);
    QVERIFY(text == FromCp1252(r.body));
}

void DownloadUrlTest::closeDelimitedBody()
{
    TestServer server;
    Response r = Response::ok(pattern(50000));
    r.contentLength = false;   // the body ends when the server closes
    r.pieces = {100, 20000};
    server.route("/close", r);
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/close"), 0, quick()).body, FromCp1252(r.body));
}

void DownloadUrlTest::errorPageReturnedAsText()
{
    TestServer server;
    const QByteArray page = "<html><head><title>Not here</title></head><body>Gone</body></html>";
    server.route("/missing", Response::withStatus(404, page));
    server.route("/broken", Response::withStatus(500, "server trouble"));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/missing"), 0, quick()).body, QString::fromLatin1(page));
    QCOMPARE(net::DownloadUrl(server.url("/broken"), 0, quick()).body, QStringLiteral("server trouble"));
    // A path without a route gets the server's own 404 page.
    QVERIFY(net::DownloadUrl(server.url("/nowhere"), 0, quick()).body.contains("404 Not Found"));
}

void DownloadUrlTest::redirectFollowed()
{
    TestServer other(TestServer::Mode::Https);
    other.route("/final", Response::ok("arrived elsewhere"));
    QVERIFY(other.start());

    TestServer server(TestServer::Mode::Https);
    server.route("/old", Response::redirect("/new", 301));
    server.route("/new", Response::redirect(other.url("/final").toLatin1(), 302));
    QVERIFY(server.start());

    QCOMPARE(net::DownloadUrl(server.url("/old"), 0, trustingTestCa()).body, QStringLiteral("arrived elsewhere"));
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(server.requests().at(1).target, QByteArray("/new"));
    QCOMPARE(other.requestCount(), 1);
}

void DownloadUrlTest::redirectLimit()
{
    // /r0 -> /r1 -> ... -> /rN -> /end: N + 1 redirects.
    TestServer server(TestServer::Mode::Https);
    for (int i = 0; i < 12; ++i)
        server.route("/r" + QByteArray::number(i), Response::redirect("/r" + QByteArray::number(i + 1)));
    server.route("/end", Response::ok("end"));
    server.route("/r12", Response::redirect("/end"));
    QVERIFY(server.start());
    // 10 redirects are followed...
    QCOMPARE(net::DownloadUrl(server.url("/r3"), 0, trustingTestCa()).body, QStringLiteral("end"));
    // ...11 are too many.
    QCOMPARE(net::DownloadUrl(server.url("/r2"), 0, trustingTestCa()).body, QString());
}

// What each way of failing reports beside its empty text, and that every
// one of them ends: a trickle of bytes and an endless stream are given up too.
void DownloadUrlTest::failureReported_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(FailureRows().size()); ++i)
        QTest::newRow(FailureRows()[size_t(i)].name) << i;
}

void DownloadUrlTest::failureReported()
{
    QFETCH(int, row);
    const FailureRow &r = FailureRows()[size_t(row)];
    TestServer https(TestServer::Mode::Https);
    TestServer http;
    QVERIFY(https.start() && http.start());
    https.route("/page", r.response);
    https.route("/to-http", Response::redirect(http.url("/page").toLatin1()));
    https.route("/to-elsewhere", Response::redirect("https://localhost:" + QByteArray::number(https.port()) + "/page", 301));
    http.route("/page", Response::ok("plain"));
    net::DownloadOptions o = r.trustTestCa ? trustingTestCa() : quick();
    o.slowTimeMs = 400;
    o.totalTimeoutMs = 1500;
    QElapsedTimer clock;
    clock.start();
    o.cancelled = [&clock, &r] { return r.cancelAfterMs > 0 && clock.elapsed() > r.cancelAfterMs; };
    QString url = r.url.isEmpty() ? https.url("/page") : r.url;
    url.replace(QStringLiteral("%1"), QString::number(https.port()));
    url.replace(QStringLiteral("%2"), QString::number(TestServer::closedPort()));
    const net::Fetched fetched = net::DownloadUrl(net::Request{url, 0, {}, {}, r.redirectPrefix.arg(https.port())}, o);
    const QString &text = fetched.body;
    const net::DownloadReport &report = fetched.report;
    QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(int(report.failure), int(r.failure));
    QCOMPARE(text.isEmpty(), r.failure != net::Failure::None);
    QCOMPARE(report.httpStatus, r.status);
    QCOMPARE(report.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(net::DescribeFailure(report).isEmpty(), r.failure == net::Failure::None);
    if (!r.words.isEmpty())
        QCOMPARE(net::DescribeFailure(report), r.words);
    QCOMPARE(http.requestCount(), 0);
    QVERIFY(https.requestCount() <= 1);
    if (r.failure == net::Failure::None)
        QCOMPARE(report.reason, QStringLiteral("Service Unavailable"));
}

void DownloadUrlTest::closedPortGivesEmpty()
{
    const quint16 port = TestServer::closedPort();
    QVERIFY(port != 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(net::DownloadUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port), 0, quick()).body, QString());
    QCOMPARE(net::DownloadUrl(QStringLiteral("https://127.0.0.1:%1/x").arg(port), 0, quick()).body, QString());
    QVERIFY(clock.elapsed() < 3000);
}

void DownloadUrlTest::stalledServerGivesEmpty_data()
{
    QTest::addColumn<int>("stall");
    QTest::addColumn<bool>("tls");
    QTest::newRow("before headers") << int(Response::Stall::BeforeHeaders) << false;
    QTest::newRow("after headers") << int(Response::Stall::AfterHeaders) << false;
    QTest::newRow("mid body") << int(Response::Stall::MidBody) << false;
    QTest::newRow("https mid body") << int(Response::Stall::MidBody) << true;
}

void DownloadUrlTest::stalledServerGivesEmpty()
{
    QFETCH(int, stall);
    QFETCH(bool, tls);
    TestServer server(tls ? TestServer::Mode::Https : TestServer::Mode::Http);
    Response r = Response::ok(pattern(100000));
    r.pieces = {5000};
    r.stall = Response::Stall(stall);
    server.route("/stall", r);
    QVERIFY(server.start());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(net::DownloadUrl(server.url("/stall"), 0, trustingTestCa()).body, QString());
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 250 && elapsed < 3000, QByteArray::number(elapsed).constData());
    // The server is stopped by its destructor, stalled connection and all.
}

void DownloadUrlTest::handshakeTimeoutGivesEmpty()
{
    // A plain server never answers a TLS ClientHello: the handshake hangs, and
    // the connect time-out (which covers the handshake) ends it.
    TestServer server;
    QVERIFY(server.start());
    net::DownloadOptions o = quick();
    o.connectTimeoutMs = 300;
    o.slowTimeMs = 60000;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(net::DownloadUrl(QStringLiteral("https://127.0.0.1:%1/").arg(server.port()), 0, o).body, QString());
    QVERIFY(clock.elapsed() < 3000);
}

void DownloadUrlTest::bodyOverCapGivesEmpty_data()
{
    QTest::addColumn<bool>("contentLength");
    QTest::newRow("with content-length") << true;
    QTest::newRow("chunked") << false;
}

void DownloadUrlTest::bodyOverCapGivesEmpty()
{
    QFETCH(bool, contentLength);
    TestServer server;
    Response big = Response::ok(pattern(100001));
    big.chunked = !contentLength;
    big.pieces = {30000, 30000, 30000};
    Response fits = big;
    fits.body = pattern(100000);
    server.route("/big", big);
    server.route("/fits", fits);
    QVERIFY(server.start());
    net::DownloadOptions o = quick();
    o.maxBodyBytes = 100000;
    QCOMPARE(net::DownloadUrl(server.url("/big"), 0, o).body, QString());
    QCOMPARE(net::DownloadUrl(server.url("/fits"), 0, o).body, FromCp1252(fits.body));
}

void DownloadUrlTest::bytesWidenedThroughCp1252()
{
    TestServer server;
    server.route("/degree", Response::ok("45\xC2\xB0" "F"));
    server.route("/euro", Response::ok("\x80"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    server.route("/all", Response::ok(all, "application/octet-stream"));
    QVERIFY(server.start());

    const QString degree = net::DownloadUrl(server.url("/degree"), 0, quick()).body;
    QCOMPARE(degree, U(u"45\u00C2\u00B0F"));
    QCOMPARE(degree.size(), 5);
    QCOMPARE(net::DownloadUrl(server.url("/euro"), 0, quick()).body, U(u"\u20AC"));
    const QString text = net::DownloadUrl(server.url("/all"), 0, quick()).body;
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0), QChar(0));
    QCOMPARE(text.at(0x41), QChar(u'A'));
    QCOMPARE(text.at(0x99), QChar(u'\u2122'));
    QCOMPARE(text.at(0xFF), QChar(u'\u00FF'));
    QCOMPARE(text, FromCp1252(all));
}

void DownloadUrlTest::spacesAndUnsafeBytesEncoded()
{
    TestServer server;
    server.route("/api/rstt/oneday", Response::ok("{}"));
    server.route("/a b", Response::ok("wrong"));
    server.route("/odd", Response::ok("odd"));
    QVERIFY(server.start());

    // A sun/moon query as the sun/moon refresh builds it.
    const QString query = server.url(
        "/api/rstt/oneday?date=2026-12-06 &coords=35.9656, -114.836&auto update=true &dst=true");
    QCOMPARE(net::DownloadUrl(query, 0, quick()).body, QStringLiteral("{}"));
    QCOMPARE(server.requests().last().requestLine,
             QByteArray("GET /api/rstt/oneday?date=2026-12-06%20&coords=35.9656,%20-114.836"
                        "&auto%20update=true%20&dst=true HTTP/1.1"));

    // Controls, DEL and bytes from 0x80 up (through Windows-1252: e-acute is
    // 0xE9, the euro sign 0x80, a character outside the code page "?").
    const QString odd = server.url(U(u"/odd?t=a\tb\x01" "c\x7F" "d\u00E9\u20AC\u00A0z"));
    QCOMPARE(net::DownloadUrl(odd, 0, quick()).body, QStringLiteral("odd"));
    QCOMPARE(server.requests().last().target, QByteArray("/odd?t=a%09b%01c%7Fd%E9%80%A0z"));

    // Bytes that would split a request line or a header cannot get through.
    const QString crlf = server.url(U(u"/odd?x=1\r\nX-Injected: yes"));
    QCOMPARE(net::DownloadUrl(crlf, 0, quick()).body, QStringLiteral("odd"));
    QCOMPARE(server.requests().last().target, QByteArray("/odd?x=1%0D%0AX-Injected:%20yes"));
    QVERIFY(!server.requests().last().hasHeader("X-Injected"));

    // A "#" from the settings must not cut the query short.
    const QString hash = server.url("/odd?lat=35.9#home&lon=-114.8&unit=0");
    QCOMPARE(net::DownloadUrl(hash, 0, quick()).body, QStringLiteral("odd"));
    QCOMPARE(server.requests().last().target, QByteArray("/odd?lat=35.9%23home&lon=-114.8&unit=0"));

    // A space in the path too.
    net::DownloadUrl(server.url("/a b"), 0, quick()).body;
    QCOMPARE(server.requests().last().target, QByteArray("/a%20b"));
}

void DownloadUrlTest::otherCharactersSentAsTheyAre()
{
    TestServer server;
    server.route("/p", Response::ok("p"));
    server.route("/x/../p", Response::ok("as is"));
    QVERIFY(server.start());
    const QByteArray target = "/p?a=\"q\"|b<c>{d}^e`f\\g[h]~i%41j%2x&k=+l;m:n@o!p$q'r(s)*t,u/v?w";
    QCOMPARE(net::DownloadUrl(server.url(QString::fromLatin1(target)), 0, quick()).body, QStringLiteral("p"));
    QCOMPARE(server.requests().last().target, target);
    // Dot segments are not squashed.
    QCOMPARE(net::DownloadUrl(server.url("/x/../p"), 0, quick()).body, QStringLiteral("as is"));
    QCOMPARE(server.requests().last().target, QByteArray("/x/../p"));
}

void DownloadUrlTest::userAgent()
{
    TestServer server;
    server.route("/ua", withHeaders(Response::ok("ok"), {{"ETag", "\"v1\x01\""}, {"Last-Modified", "Sun, 06 Dec 2026 10:00:00 GMT"}}));
    QVERIFY(server.start());
    const net::Fetched fetched = net::DownloadUrl(server.url("/ua"), 0, quick());
    QCOMPARE(fetched.body, QStringLiteral("ok"));
    // The reply's validators, made printable, for asking again only if it changed.
    QCOMPARE(fetched.report.etag, QStringLiteral("\"v1 \""));
    QCOMPARE(fetched.report.lastModified, QStringLiteral("Sun, 06 Dec 2026 10:00:00 GMT"));
    const Request req = server.requests().at(0);
    QCOMPARE(req.header("User-Agent"), QByteArray("Mozilla/5.0 (Windows NT)"));
    QCOMPARE(req.method, QByteArray("GET"));
    QCOMPARE(req.version, QByteArray("HTTP/1.1"));
    QCOMPARE(req.header("Host"), QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
}

void DownloadUrlTest::reloadHeaders()
{
    TestServer server;
    server.route("/r", Response::ok("ok"));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/r"), 1, quick()).body, QStringLiteral("ok"));
    QCOMPARE(net::DownloadUrl(server.url("/r"), 0, quick()).body, QStringLiteral("ok"));
    QCOMPARE(net::DownloadUrl(server.url("/r"), -1, quick()).body, QStringLiteral("ok"));
    const QList<Request> reqs = server.requests();
    QCOMPARE(reqs.size(), 3);
    QCOMPARE(reqs.at(0).header("Cache-Control"), QByteArray("no-cache"));
    QCOMPARE(reqs.at(0).header("Pragma"), QByteArray("no-cache"));
    QVERIFY(!reqs.at(1).hasHeader("Cache-Control"));
    QVERIFY(!reqs.at(1).hasHeader("Pragma"));
    QCOMPARE(reqs.at(2).header("Cache-Control"), QByteArray("no-cache"));
    QCOMPARE(reqs.at(2).header("Pragma"), QByteArray("no-cache"));
}

void DownloadUrlTest::connectionReusedOverHttp()
{
    TestServer server;
    server.route("/one", Response::ok("first"));
    server.route("/two", Response::ok(pattern(70000)));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/one"), 0, quick()).body, QStringLiteral("first"));
    QCOMPARE(net::DownloadUrl(server.url("/two"), 0, quick()).body.size(), 70000);
    QCOMPARE(net::DownloadUrl(server.url("/one"), 1, quick()).body, QStringLiteral("first"));
    QCOMPARE(server.requestCount(), 3);
    QCOMPARE(server.connectionsAccepted(), 1);
}

void DownloadUrlTest::connectionReusedOverHttps()
{
    TestServer server(TestServer::Mode::Https);
    server.route("/one", Response::ok("first"));
    server.route("/two", Response::ok("second"));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/one"), 0, trustingTestCa()).body, QStringLiteral("first"));
    QCOMPARE(net::DownloadUrl(server.url("/two"), 0, trustingTestCa()).body, QStringLiteral("second"));
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(server.connectionsAccepted(), 1);
    QCOMPARE(server.tlsHandshakes(), 1);
}

void DownloadUrlTest::tlsSessionResumedOnNewConnection()
{
    // The server closes after each reply, so the second call needs a new
    // connection; its handshake resumes the first one's TLS session.
    TestServer server(TestServer::Mode::Https);
    Response r = Response::ok("bye");
    r.closeConnection = true;
    server.route("/close", r);
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/close"), 0, trustingTestCa()).body, QStringLiteral("bye"));
    QCOMPARE(net::DownloadUrl(server.url("/close"), 0, trustingTestCa()).body, QStringLiteral("bye"));
    QCOMPARE(server.connectionsAccepted(), 2);
    QCOMPARE(server.tlsHandshakes(), 2);
    QCOMPARE(server.tlsResumedHandshakes(), 1);
}

void DownloadUrlTest::httpsWithTestCa()
{
    TestServer server(TestServer::Mode::Https);
    server.route("/secure", Response::ok("secret \xB0"));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/secure"), 0, trustingTestCa()).body, U(u"secret \u00B0"));
    QCOMPARE(net::DownloadUrl(server.url("/secure", true), 0, trustingTestCa()).body,
             U(u"secret \u00B0"));
    QVERIFY(server.requests().at(0).tls);
}

void DownloadUrlTest::httpsUntrustedGivesEmpty()
{
    // The test CA is not trusted unless asked for.
    TestServer server(TestServer::Mode::Https);
    server.route("/secure", Response::ok("secret"));
    QVERIFY(server.start());
    QCOMPARE(net::DownloadUrl(server.url("/secure"), 0, quick()).body, QString());
    QCOMPARE(server.requestCount(), 0);

    // A self-signed certificate is not trusted even with the test CA added.
    TestServer untrusted(TestServer::Mode::HttpsUntrusted);
    untrusted.route("/secure", Response::ok("secret"));
    QVERIFY(untrusted.start());
    QCOMPARE(net::DownloadUrl(untrusted.url("/secure"), 0, trustingTestCa()).body, QString());
    QCOMPARE(untrusted.requestCount(), 0);

    // An extra CA file that cannot be read adds nothing.
    net::DownloadOptions o = quick();
    o.extraCaFile = QStringLiteral("/nonexistent/ca.pem");
    QCOMPARE(net::DownloadUrl(server.url("/secure"), 0, o).body, QString());
}

void DownloadUrlTest::proxyEnvironmentIgnored()
{
    TestServer http;
    http.route("/p", Response::ok("direct"));
    QVERIFY(http.start());
    TestServer https(TestServer::Mode::Https);
    https.route("/p", Response::ok("direct tls"));
    QVERIFY(https.start());
    // A "proxy" that records what reaches it: nothing may.
    TestServer proxy;
    QVERIFY(proxy.start());

    ProxyEnvironment env("http://127.0.0.1:" + QByteArray::number(proxy.port()));
    QCOMPARE(net::DownloadUrl(http.url("/p"), 0, quick()).body, QStringLiteral("direct"));
    QCOMPARE(net::DownloadUrl(https.url("/p"), 0, trustingTestCa()).body, QStringLiteral("direct tls"));
    QCOMPARE(proxy.connectionsAccepted(), 0);
    QCOMPARE(http.requestCount(), 1);
    QCOMPARE(https.requestCount(), 1);
}

void DownloadUrlTest::yieldsWhileWaiting()
{
    TestServer server;
    Response r = Response::ok(pattern(10000));
    r.pieces = {1000, 1000, 1000};
    r.pieceDelayMs = 60;
    server.route("/slow", r);
    QVERIFY(server.start());
    int yields = 0;
    net::DownloadOptions o = quick();
    o.yield = [&yields] { ++yields; };
    QCOMPARE(net::DownloadUrl(server.url("/slow"), 0, o).body, FromCp1252(r.body));
    // The fixed steps plus the waits between polls during ~180 ms of delays.
    QVERIFY2(yields >= 8, QByteArray::number(yields).constData());

    // Even a fetch that cannot start yields at its fixed steps.
    yields = 0;
    QCOMPARE(net::DownloadUrl(QStringLiteral("http://127.0.0.1:%1/").arg(TestServer::closedPort()), 0, o).body,
             QString());
    QVERIFY(yields >= 5);
}

void DownloadUrlTest::defaultYieldRunsPendingEvents()
{
    TestServer server;
    Response r = Response::ok("late");
    r.headerDelayMs = 300;
    server.route("/late", r);
    QVERIFY(server.start());

    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    // No event loop runs here: only the routine's own yields can deliver ticks.
    net::DownloadOptions o = quick();
    o.slowTimeMs = 5000;
    QCOMPARE(net::DownloadUrl(server.url("/late"), 0, o).body, QStringLiteral("late"));
    timer.stop();
    QVERIFY2(ticks >= 3, QByteArray::number(ticks).constData());
}

void DownloadUrlTest::nestedCallFromYield()
{
    TestServer server;
    Response outer = Response::ok(pattern(80000, 1));
    outer.pieces = {100, 20000, 30000};
    outer.pieceDelayMs = 40;
    server.route("/outer", outer);
    Response inner = Response::ok(pattern(50000, 2));
    inner.pieces = {10, 25000};
    inner.pieceDelayMs = 40;
    server.route("/inner", inner);
    QVERIFY(server.start());

    QString nested;
    int depth = 0;
    bool started = false;
    net::DownloadOptions o = quick();
    o.yield = [&] {
        // Once the outer transfer has begun, start a second fetch inside the yield.
        if (started || depth > 0 || server.requestCount() == 0)
            return;
        started = true;
        ++depth;
        nested = net::DownloadUrl(server.url("/inner"), 0, o).body;
        --depth;
    };
    const QString text = net::DownloadUrl(server.url("/outer"), 0, o).body;
    QVERIFY(started);
    QCOMPARE(nested.size(), 50000);
    QVERIFY(nested == FromCp1252(inner.body));
    QCOMPARE(text.size(), 80000);
    QVERIFY(text == FromCp1252(outer.body));
    QCOMPARE(server.requestCount(), 2);
}

QTEST_GUILESS_MAIN(DownloadUrlTest)
#include "tst_download_url.moc"
