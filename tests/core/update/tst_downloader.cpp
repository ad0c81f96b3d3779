#include "HttpTestServer.h"
#include "core/TextCodec.h"
#include "core/update/Downloader.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zv::update;
using zvtest::HttpTestServer;

class TestDownloader : public QObject
{
    Q_OBJECT

    // Runs one job to its end and tells whether it succeeded.
    bool fetch(Downloader &downloader, const DownloadJob &job)
    {
        QSignalSpy spy(&downloader, &Downloader::finished);
        const int id = downloader.enqueue(job);
        if (!spy.wait(20000))
            return false;
        return spy.at(0).at(0).toInt() == id && spy.at(0).at(1).toBool();
    }

    QString target() const { return m_dir.filePath(QStringLiteral("out/file")); }
    QUrl at(const HttpTestServer &server, const char *path) const
    {
        return QUrl(server.root() + QString::fromLatin1(path).mid(1));
    }
    // Nothing at all in the target's folder: no file, no unfinished part.
    bool folderEmpty() const
    {
        return QDir(m_dir.filePath(QStringLiteral("out")))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
            .isEmpty();
    }

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { Downloader::setDefaultTimeout(1000); }
    void init()
    {
        QDir(m_dir.filePath(QStringLiteral("out"))).removeRecursively();
        QDir().mkpath(m_dir.filePath(QStringLiteral("out")));
    }

    void wholeFileArrives()
    {
        HttpTestServer server;
        const QByteArray body = QByteArray("Строка 1\r\nСтрока 2\r\n").repeated(1000);
        server.setFile("/zv_upd/Games/spisok.txt", body);
        Downloader downloader;
        QVERIFY(
            fetch(downloader, {QUrl(listAddress(server.root(), QStringLiteral("Games"))), target(), FileKind::List}));
        QFile file(target());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), body);
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests.at(0).endsWith("/zv_upd/Games/spisok.txt"));
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("file")});
    }

    void failuresLeaveNoFile_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("kind");
        using B = HttpTestServer::Behaviour;
        QTest::newRow("404") << 404 << int(B::Normal) << 10 << int(FileKind::Entry);
        QTest::newRow("500") << 500 << int(B::Normal) << 10 << int(FileKind::Entry);
        QTest::newRow("cut in the middle") << 200 << int(B::CutBody) << 100000 << int(FileKind::Entry);
        QTest::newRow("server stops sending") << 200 << int(B::Stall) << 100000 << int(FileKind::Entry);
        QTest::newRow("never answers") << 200 << int(B::Silent) << 10 << int(FileKind::Entry);
        QTest::newRow("announced size over the cap")
            << 200 << int(B::Normal) << int(sizeCap(FileKind::VersionFile) + 1) << int(FileKind::VersionFile);
        QTest::newRow("streamed size over the cap")
            << 200 << int(B::Chunked) << int(sizeCap(FileKind::Entry) + 1) << int(FileKind::Entry);
    }

    void failuresLeaveNoFile()
    {
        QFETCH(int, status);
        QFETCH(int, behaviour);
        QFETCH(int, size);
        QFETCH(int, kind);
        HttpTestServer server;
        server.setRoute("/f", {status, QByteArray(size, 'x'), HttpTestServer::Behaviour(behaviour), {}});
        Downloader downloader;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!fetch(downloader, {at(server, "/f"), target(), FileKind(kind)}));
        QVERIFY2(clock.elapsed() < 8000, "a silent server must time out");
        QVERIFY(folderEmpty());
    }

    void exactlyAtTheCapIsFine()
    {
        HttpTestServer server;
        server.setRoute("/f",
                        {200, QByteArray(sizeCap(FileKind::VersionFile), 'x'), HttpTestServer::Behaviour::Chunked, {}});
        Downloader downloader;
        QVERIFY(fetch(downloader, {at(server, "/f"), target(), FileKind::VersionFile}));
    }

    void connectionRefused()
    {
        Downloader downloader;
        const QUrl url(QStringLiteral("http://127.0.0.1:") + QString::number(HttpTestServer::closedPort()) +
                       QStringLiteral("/x"));
        QVERIFY(!fetch(downloader, {url, target(), FileKind::List}));
        QVERIFY(folderEmpty());
    }

    void addressThatFailsAtOnce()
    {
        // A broadcast address cannot be connected to; the failure comes while connecting starts. Several
        // jobs make the client open and lose connections while others still wait.
        Downloader downloader;
        downloader.setTimeout(5000);
        QSignalSpy spy(&downloader, &Downloader::finished);
        for (int i = 0; i < 8; ++i)
            downloader.enqueue({QUrl(QStringLiteral("http://255.255.255.255:80/x")), target(), FileKind::Entry});
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 8, 4000);
        for (const QList<QVariant> &result : spy)
            QVERIFY(!result.at(1).toBool());
        QVERIFY(downloader.isIdle());
        QVERIFY(folderEmpty());
    }

    void endlessErrorPageIsCutOff()
    {
        HttpTestServer server;
        // A 404 that announces a megabyte, sends half of it and then never ends.
        server.setRoute("/gone", {404, QByteArray(1 << 20, 'e'), HttpTestServer::Behaviour::Stall, {}});
        Downloader downloader;
        downloader.setTimeout(60000);
        QVERIFY(!fetch(downloader, {at(server, "/gone"), target(), FileKind::Entry}));
        QVERIFY(downloader.lastError().contains(QLatin1String("endless")));
        QVERIFY(folderEmpty());
    }

    void redirects()
    {
        HttpTestServer server;
        server.setRoute("/loop1", {302, {}, HttpTestServer::Behaviour::Normal, "/loop2"});
        server.setRoute("/loop2", {302, {}, HttpTestServer::Behaviour::Normal, "/loop1"});
        server.setRoute("/moved", {301, {}, HttpTestServer::Behaviour::Normal, "/hop"});
        server.setRoute("/hop", {302, {}, HttpTestServer::Behaviour::Normal, "/real"});
        server.setFile("/real", "content");
        // A redirect to a local file would let a server read the user's disk.
        server.setRoute("/local", {302, {}, HttpTestServer::Behaviour::Normal, "file:///etc/hostname"});
        Downloader downloader;
        QVERIFY(!fetch(downloader, {at(server, "/loop1"), target(), FileKind::Entry}));
        QVERIFY(server.requests.size() <= 7);
        QVERIFY(folderEmpty());
        QVERIFY(fetch(downloader, {at(server, "/moved"), target(), FileKind::Entry}));
        QFile file(target());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("content"));
        file.close();
        QFile::remove(target());
        QVERIFY(!fetch(downloader, {at(server, "/local"), target(), FileKind::Entry}));
        QVERIFY(folderEmpty());
    }

    void windows1251NameTriedAfter404()
    {
        HttpTestServer server;
        const QString name = QStringLiteral("Ёлка");
        server.setFile("/zv_upd/OS/base/" + QByteArray(zv::toCp1251(name)).toPercentEncoding(), "old server");
        Downloader downloader;
        QVERIFY(fetch(downloader, {entryUrl(server.root(), QStringLiteral("OS"), name), target(), FileKind::Entry,
                                   entryUrlCp1251(server.root(), QStringLiteral("OS"), name)}));
        QCOMPARE(server.requests,
                 (QList<QByteArray>{"/zv_upd/OS/base/%D0%81%D0%BB%D0%BA%D0%B0", "/zv_upd/OS/base/%A8%EB%EA%E0"}));
        // Missing under both names: one retry only, then failure.
        server.requests.clear();
        QVERIFY(!fetch(downloader,
                       {entryUrl(server.root(), QStringLiteral("OS"), QStringLiteral("Нет")), target(), FileKind::Entry,
                        entryUrlCp1251(server.root(), QStringLiteral("OS"), QStringLiteral("Нет"))}));
        QCOMPARE(server.requests.size(), 2);
    }

    void localFolderAndOtherSchemes()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("usb/zv_upd/OS/base")));
        QFile source(m_dir.filePath(QStringLiteral("usb/zv_upd/OS/base/Окна #1?")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("text\r\n");
        source.close();
        const QString server = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("usb"))).toString() + QLatin1Char('/');
        Downloader downloader;
        QVERIFY(fetch(downloader,
                      {entryUrl(server, QStringLiteral("OS"), QStringLiteral("Окна #1?")), target(), FileKind::Entry}));
        QFile file(target());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("text\r\n"));
        file.close();
        QFile::remove(target());
        QVERIFY(!fetch(downloader,
                       {entryUrl(server, QStringLiteral("OS"), QStringLiteral("Нет")), target(), FileKind::Entry}));
        QVERIFY(!fetch(downloader, {QUrl(QStringLiteral("ftp://127.0.0.1/x")), target(), FileKind::Entry}));
        QVERIFY(!fetch(downloader, {QUrl(QStringLiteral("data:,hello")), target(), FileKind::Entry}));
        QVERIFY(folderEmpty());
    }

    void severalAtOnceOverFewConnections()
    {
        HttpTestServer server;
        Downloader downloader;
        QSignalSpy spy(&downloader, &Downloader::finished);
        QSignalSpy idle(&downloader, &Downloader::idle);
        for (int i = 0; i < 40; ++i) {
            const QByteArray path = "/e" + QByteArray::number(i);
            server.setFile(path, "entry " + QByteArray::number(i));
            downloader.enqueue(
                {at(server, path.constData()), m_dir.filePath(QStringLiteral("out/e%1").arg(i)), FileKind::Entry});
        }
        QVERIFY(idle.wait(20000));
        QCOMPARE(spy.size(), 40);
        for (const QList<QVariant> &result : spy)
            QVERIFY(result.at(1).toBool());
        QVERIFY(server.maxOpenConnections <= 6);
        QCOMPARE(server.requests.size(), 40);
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden).size(), 40);
    }

    void abortStopsEverythingAndLeavesNothing()
    {
        HttpTestServer server;
        server.setRoute("/slow", {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::Stall, {}});
        Downloader downloader;
        downloader.setTimeout(60000);
        QSignalSpy spy(&downloader, &Downloader::finished);
        for (int i = 0; i < 10; ++i)
            downloader.enqueue(
                {at(server, "/slow"), m_dir.filePath(QStringLiteral("out/s%1").arg(i)), FileKind::Entry});
        QTRY_VERIFY(server.requests.size() >= 1);
        downloader.abortAll();
        QCOMPARE(spy.size(), 10);
        for (const QList<QVariant> &result : spy)
            QVERIFY(!result.at(1).toBool());
        QVERIFY(downloader.isIdle());
        QVERIFY(folderEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDownloader)
#include "tst_downloader.moc"
