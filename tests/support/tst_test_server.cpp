// The loopback test server itself, through raw sockets, so that its users can
// trust what it records and how it delivers.

#include "support/TestServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtTest>

using testsupport::Request;
using testsupport::Response;
using testsupport::TestServer;

namespace {

// Reads from `socket` until `done` says the data is complete or the time is up.
QByteArray readUntil(QTcpSocket &socket, const std::function<bool(const QByteArray &)> &done,
                     int timeoutMs = 3000)
{
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (!done(data) && clock.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(50)
            && socket.state() != QAbstractSocket::ConnectedState)
            break;
        data += socket.readAll();
    }
    return data + socket.readAll();
}

} // namespace

class TestServerTest : public QObject {
    Q_OBJECT

private slots:
    void recordsRawRequestsAndKeepsAlive();
    void chunkedPiecesAndHandler();
    void stopEndsStalledConnections();
    void closeAfterResponse();
};

void TestServerTest::recordsRawRequestsAndKeepsAlive()
{
    TestServer server;
    server.route("/a", Response::ok("AAA"));
    QVERIFY(server.start());
    QVERIFY(server.port() != 0);
    QCOMPARE(server.baseUrl(), QStringLiteral("http://127.0.0.1:%1").arg(server.port()));

    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(socket.waitForConnected(3000));
    // Two pipelined requests on one connection, the first with odd bytes.
    socket.write(testsupport::RawRequest("/a?x=\"|\x01", {{"X-One", " v 1 "}}) + testsupport::RawRequest("/b"));
    const QByteArray replies = readUntil(socket, [](const QByteArray &d) {
        return d.count("HTTP/1.1") == 2 && d.contains("</html>");
    });
    QVERIFY(replies.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(replies.contains("Content-Length: 3\r\n"));
    QVERIFY(replies.contains("\r\n\r\nAAAHTTP/1.1 404"));
    QVERIFY(replies.contains("HTTP/1.1 404 Not Found\r\n"));
    QVERIFY(!replies.contains("Connection: close"));

    QVERIFY(server.waitForRequests(2, 1000));
    const QList<Request> reqs = server.requests();
    QCOMPARE(reqs.size(), 2);
    QCOMPARE(reqs.at(0).requestLine, QByteArray("GET /a?x=\"|\x01 HTTP/1.1"));
    QCOMPARE(reqs.at(0).target, QByteArray("/a?x=\"|\x01"));
    QCOMPARE(reqs.at(0).path, QByteArray("/a"));
    QCOMPARE(reqs.at(0).header("x-one"), QByteArray("v 1"));
    QCOMPARE(reqs.at(1).path, QByteArray("/b"));
    QCOMPARE(reqs.at(0).connection, reqs.at(1).connection);
    QCOMPARE(server.connectionsAccepted(), 1);

    server.clearRecords();
    QCOMPARE(server.requestCount(), 0);
    QCOMPARE(server.connectionsAccepted(), 0);
}

void TestServerTest::chunkedPiecesAndHandler()
{
    TestServer server;
    server.route("/echo", [](const Request &req) {
        Response r = Response::ok("target=" + req.target);
        r.chunked = true;
        r.pieces = {3, 0, 4};
        r.pieceDelayMs = 10;
        return r;
    });
    QVERIFY(server.start());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(socket.waitForConnected(3000));
    socket.write(testsupport::RawRequest("/echo?q"));
    const QByteArray reply = readUntil(socket, [](const QByteArray &d) { return d.endsWith("0\r\n\r\n"); });
    QVERIFY(reply.contains("Transfer-Encoding: chunked\r\n"));
    // Pieces of 3, 0 (no chunk: it would end the body) and 4, then the rest.
    QVERIFY2(reply.endsWith("\r\n\r\n3\r\ntar\r\n4\r\nget=\r\n7\r\n/echo?q\r\n0\r\n\r\n"),
             reply.constData());
}

void TestServerTest::stopEndsStalledConnections()
{
    auto server = std::make_unique<TestServer>(TestServer::Mode::Https);
    Response r = Response::ok("never");
    r.stall = Response::Stall::BeforeHeaders;
    server->route("/stall", r);
    QVERIFY(server->start());

    QTcpSocket plain;   // a TLS connection that never says hello
    plain.connectToHost(QStringLiteral("127.0.0.1"), server->port());
    QVERIFY(plain.waitForConnected(3000));
    QTRY_COMPARE(server->connectionsAccepted(), 1);

    QElapsedTimer clock;
    clock.start();
    server->stop();
    server->stop();   // idempotent
    QVERIFY(clock.elapsed() < 2000);
    // The connection is gone, and nothing listens any more.
    QVERIFY(plain.waitForDisconnected(2000) || plain.state() == QAbstractSocket::UnconnectedState);
    QTcpSocket late;
    late.connectToHost(QStringLiteral("127.0.0.1"), server->port());
    QVERIFY(!late.waitForConnected(1000));
    server.reset();
}

void TestServerTest::closeAfterResponse()
{
    TestServer server;
    Response r = Response::ok("bye");
    r.closeConnection = true;
    server.route("/bye", r);
    QVERIFY(server.start());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(socket.waitForConnected(3000));
    socket.write(testsupport::RawRequest("/bye"));
    const QByteArray reply = readUntil(socket, [](const QByteArray &d) { return d.endsWith("bye"); });
    QVERIFY(reply.contains("Connection: close\r\n"));
    QVERIFY(reply.endsWith("\r\n\r\nbye"));
    QVERIFY(socket.waitForDisconnected(2000) || socket.state() == QAbstractSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(TestServerTest)
#include "tst_test_server.moc"
