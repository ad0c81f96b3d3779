#include "HttpTestServer.h"
#include "core/update/HttpClient.h"
#include "core/update/HttpResponseParser.h"

#include <QTest>
#include <QUrl>

using namespace zv::update;
using zvtest::HttpTestServer;

namespace {

struct Collector : HttpReceiver
{
    void httpHead(int code, qint64 length, const QByteArray &where) override
    {
        status = code;
        contentLength = length;
        location = where;
    }
    void httpBody(const QByteArray &data) override { body += data; }
    void httpDone(bool success, const QString &why) override
    {
        ++doneCalls;
        ok = success;
        error = why;
    }

    int status = 0;
    qint64 contentLength = -2;
    QByteArray location;
    QByteArray body;
    int doneCalls = 0;
    bool ok = false;
    QString error;
};

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

    QUrl at(const HttpTestServer &server, const QByteArray &path)
    {
        return QUrl(server.root() + QString::fromLatin1(path.mid(1)));
    }

private slots:
    void parsesALengthBodyFedByteByByte()
    {
        const QByteArray wire = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX: y\r\n\r\nhello";
        HttpResponseParser parser;
        parser.reset();
        QByteArray buffer;
        QByteArray body;
        HttpResponseParser::State state = HttpResponseParser::State::Head;
        for (char c : wire) {
            buffer += c;
            state = parser.feed(buffer, body);
        }
        QCOMPARE(state, HttpResponseParser::State::Done);
        QCOMPARE(parser.status(), 200);
        QCOMPARE(parser.contentLength(), 5);
        QCOMPARE(body, QByteArray("hello"));
        QVERIFY(parser.keepAlive());
    }

    void parsesChunksWithExtensionsAndTrailers()
    {
        QByteArray buffer = "HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n"
                            "4;ext=1\r\nabcd\r\n3\r\nefg\r\n0\r\nTrailer: z\r\n\r\nHTTP/1.1";
        QByteArray body;
        HttpResponseParser parser;
        parser.reset();
        QCOMPARE(parser.feed(buffer, body), HttpResponseParser::State::Done);
        QCOMPARE(body, QByteArray("abcdefg"));
        // The start of the next pipelined answer is left alone.
        QCOMPARE(buffer, QByteArray("HTTP/1.1"));
    }

    void parsesPipelinedAnswersOneAtATime()
    {
        QByteArray buffer =
            "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnopHTTP/1.1 "
            "301 Moved\r\nLocation: /x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        QByteArray body;
        HttpResponseParser parser;
        parser.reset();
        QCOMPARE(parser.feed(buffer, body), HttpResponseParser::State::Done);
        QCOMPARE(parser.status(), 404);
        QCOMPARE(body, QByteArray("nop"));
        body.clear();
        parser.reset();
        QCOMPARE(parser.feed(buffer, body), HttpResponseParser::State::Done);
        QCOMPARE(parser.status(), 301);
        QCOMPARE(parser.location(), QByteArray("/x"));
        QVERIFY(!parser.keepAlive());
        QVERIFY(body.isEmpty());
        QVERIFY(buffer.isEmpty());
    }

    void closeEndsOnlyCloseDelimitedBodies()
    {
        QByteArray body;
        HttpResponseParser untilClose;
        untilClose.reset();
        QByteArray buffer = "HTTP/1.0 200 OK\r\n\r\nall of it";
        QCOMPARE(untilClose.feed(buffer, body), HttpResponseParser::State::Body);
        QCOMPARE(untilClose.closed(), HttpResponseParser::State::Done);
        QCOMPARE(body, QByteArray("all of it"));

        HttpResponseParser cut;
        cut.reset();
        buffer = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf";
        QCOMPARE(cut.feed(buffer, body), HttpResponseParser::State::Body);
        QCOMPARE(cut.closed(), HttpResponseParser::State::Error);
    }

    void rejectsGarbage()
    {
        QByteArray body;
        HttpResponseParser parser;
        parser.reset();
        QByteArray buffer = "SSH-2.0-OpenSSH\r\n\r\n";
        QCOMPARE(parser.feed(buffer, body), HttpResponseParser::State::Error);
        parser.reset();
        buffer = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n";
        QCOMPARE(parser.feed(buffer, body), HttpResponseParser::State::Error);
    }

    void keepsOneConnectionAlive()
    {
        HttpTestServer server;
        server.setFile("/a", "first");
        server.setFile("/b", "second");
        HttpClient client;
        client.setConnectionsPerHost(1);
        for (int i = 0; i < 5; ++i) {
            Collector a;
            client.get(at(server, i % 2 ? "/b" : "/a"), &a);
            QTRY_COMPARE(a.doneCalls, 1);
            QVERIFY(a.ok);
            QCOMPARE(a.status, 200);
            QCOMPARE(a.body, QByteArray(i % 2 ? "second" : "first"));
        }
        QCOMPARE(client.connectionsOpened(), 1);
        QCOMPARE(server.maxOpenConnections, 1);
        QCOMPARE(server.requests.size(), 5);
    }

    void pipelinedAnswersArriveInOrder()
    {
        HttpTestServer server;
        HttpClient client;
        client.setConnectionsPerHost(1);
        client.setPipelineDepth(8);
        std::vector<Collector> got(8);
        for (int i = 0; i < 8; ++i) {
            const QByteArray path = "/p" + QByteArray::number(i);
            server.setFile(path, "body " + QByteArray::number(i));
            client.get(at(server, path), &got[i]);
        }
        QTRY_VERIFY(std::all_of(got.begin(), got.end(), [](const Collector &c) { return c.doneCalls == 1; }));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(got[i].ok);
            QCOMPARE(got[i].body, "body " + QByteArray::number(i));
            QCOMPARE(server.requests.at(i), "/p" + QByteArray::number(i));
        }
        QCOMPARE(client.connectionsOpened(), 1);
    }

    void chunkedAndErrorAnswers()
    {
        HttpTestServer server;
        const QByteArray big = QByteArray("0123456789").repeated(20000);
        server.setRoute("/chunked", {200, big, HttpTestServer::Behaviour::Chunked, {}});
        server.setRoute("/moved", {302, {}, HttpTestServer::Behaviour::Normal, "/elsewhere"});
        HttpClient client;
        Collector chunked;
        Collector missing;
        Collector moved;
        client.get(at(server, "/chunked"), &chunked);
        client.get(at(server, "/missing"), &missing);
        client.get(at(server, "/moved"), &moved);
        QTRY_VERIFY(chunked.doneCalls && missing.doneCalls && moved.doneCalls);
        QVERIFY(chunked.ok);
        QCOMPARE(chunked.contentLength, -1);
        QCOMPARE(chunked.body, big);
        QVERIFY(missing.ok);
        QCOMPARE(missing.status, 404);
        QCOMPARE(moved.status, 302);
        QCOMPARE(moved.location, QByteArray("/elsewhere"));
    }

    void serverClosingBetweenAnswers()
    {
        HttpTestServer server;
        HttpClient client;
        client.setConnectionsPerHost(1);
        client.setPipelineDepth(4);
        std::vector<Collector> got(6);
        for (int i = 0; i < 6; ++i) {
            const QByteArray path = "/c" + QByteArray::number(i);
            server.setRoute(path, {200, "close " + QByteArray::number(i), HttpTestServer::Behaviour::CloseAfter, {}});
            client.get(at(server, path), &got[i]);
        }
        QTRY_VERIFY(std::all_of(got.begin(), got.end(), [](const Collector &c) { return c.doneCalls == 1; }));
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(got[i].ok, qPrintable(got[i].error));
            QCOMPARE(got[i].body, "close " + QByteArray::number(i));
        }
        // Every answer cost its connection; the ones pipelined behind it were sent again.
        QCOMPARE(client.connectionsOpened(), 6);
    }

    void refusedAndCutFail()
    {
        HttpClient client;
        Collector refused;
        client.get(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(HttpTestServer::closedPort())), &refused);
        QTRY_COMPARE(refused.doneCalls, 1);
        QVERIFY(!refused.ok);

        HttpTestServer server;
        server.setRoute("/cut", {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::CutBody, {}});
        Collector cut;
        client.get(at(server, "/cut"), &cut);
        QTRY_COMPARE(cut.doneCalls, 1);
        QVERIFY(!cut.ok);
    }

    void cancelledRequestHearsNothingAndOthersGoOn()
    {
        HttpTestServer server;
        server.setRoute("/stall", {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::Stall, {}});
        server.setFile("/after", "after");
        HttpClient client;
        client.setConnectionsPerHost(1);
        Collector stalled;
        Collector after;
        client.get(at(server, "/stall"), &stalled);
        client.get(at(server, "/after"), &after);
        QTRY_VERIFY(!stalled.body.isEmpty());
        client.cancel(&stalled);
        // The answer behind the cancelled one comes over a new connection.
        QTRY_COMPARE(after.doneCalls, 1);
        QVERIFY(after.ok);
        QCOMPARE(after.body, QByteArray("after"));
        QCOMPARE(stalled.doneCalls, 0);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
