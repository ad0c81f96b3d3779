#include "HttpTestServer.h"
#include "NginxServer.h"
#include "SmallDisk.h"
#include "TestCertificate.h"
#include "TestFiles.h"
#include "TinyProxy.h"
#include "core/TextCodec.h"
#include "core/update/Downloader.h"
#include "core/update/UpdateLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <sys/stat.h>

using namespace zv::update;
using zvtest::HttpTestServer;

// Sets an environment variable for one scope; the previous value comes back after it.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_previous;
};

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

    // Every case runs against the server over plain http and over https.
    static bool tls()
    {
        QFETCH_GLOBAL(bool, https);
        return https;
    }
    static HttpTestServer::Scheme scheme()
    {
        return tls() ? HttpTestServer::Scheme::Https : HttpTestServer::Scheme::Http;
    }
    static QString schemeName() { return tls() ? QStringLiteral("https") : QStringLiteral("http"); }

    QTemporaryDir m_dir;

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("https");
        QTest::newRow("http") << false;
        QTest::newRow("https") << true;
    }

    void initTestCase()
    {
        Downloader::setDefaultTimeout(1000);
        QVERIFY2(zvtest::testCertificate().error.isEmpty(), qPrintable(zvtest::testCertificate().error));
        Downloader::setCertificateAuthorities(zvtest::testCertificate().certificate);
    }
    void init()
    {
        QDir(m_dir.filePath(QStringLiteral("out"))).removeRecursively();
        QDir().mkpath(m_dir.filePath(QStringLiteral("out")));
    }

    void wholeFileArrives()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        server.setRoute("/f",
                        {200, QByteArray(sizeCap(FileKind::VersionFile), 'x'), HttpTestServer::Behaviour::Chunked, {}});
        Downloader downloader;
        QVERIFY(fetch(downloader, {at(server, "/f"), target(), FileKind::VersionFile}));
    }

    void connectionRefused()
    {
        Downloader downloader;
        const QUrl url(schemeName() + QStringLiteral("://127.0.0.1:") + QString::number(HttpTestServer::closedPort()) +
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
            downloader.enqueue(
                {QUrl(schemeName() + QStringLiteral("://255.255.255.255:80/x")), target(), FileKind::Entry});
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 8, 4000);
        for (const QList<QVariant> &result : spy)
            QVERIFY(!result.at(1).toBool());
        QVERIFY(downloader.isIdle());
        QVERIFY(folderEmpty());
    }

    void endlessErrorPageIsCutOff()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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
        // From http to https is as safe; from https back to plain http is not.
        HttpTestServer other(tls() ? HttpTestServer::Scheme::Http : HttpTestServer::Scheme::Https);
        other.setFile("/real", "elsewhere");
        server.setRoute(
            "/other", {302, {}, HttpTestServer::Behaviour::Normal, (other.root() + QStringLiteral("real")).toLatin1()});
        QCOMPARE(fetch(downloader, {at(server, "/other"), target(), FileKind::Entry}), !tls());
        QCOMPARE(other.requests.size(), tls() ? 0 : 1);
    }

    void windows1251NameTriedAfter404()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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

    void tricklingServerIsTooSlow_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("everyMs");
        QTest::addColumn<int>("deadlineMs");
        // A byte now and then: the connection never falls silent for the whole time-out.
        QTest::newRow("below the least rate") << 1 << 200 << 0;
        // Well above the least rate, and still the file would take half a minute.
        QTest::newRow("past the deadline") << 4096 << 100 << 2000;
    }

    void tricklingServerIsTooSlow()
    {
        QFETCH(int, bytes);
        QFETCH(int, everyMs);
        QFETCH(int, deadlineMs);
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        HttpTestServer::Route route{200, QByteArray(1 << 20, 'x'), HttpTestServer::Behaviour::Trickle, {}};
        route.trickleBytes = bytes;
        route.trickleMs = everyMs;
        server.setRoute("/f", route);
        Downloader downloader;
        // Silence alone never ends these, even on a busy machine.
        downloader.setTimeout(3000);
        downloader.setDeadline(deadlineMs);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!fetch(downloader, {at(server, "/f"), target(), FileKind::Entry}));
        QVERIFY2(clock.elapsed() < 12000, "a trickling server must be cut off");
        QCOMPARE(downloader.lastFailure(), TransferFailure::TooSlow);
        QVERIFY(folderEmpty());
    }

    void keptBytesAreTheFile()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        const QString name = QStringLiteral("Ёлка");
        server.setFile("/zv_upd/OS/base/" + QByteArray(zv::toCp1251(name)).toPercentEncoding(), "old server");
        const QByteArray text = QByteArray("Строка\r\n").repeated(3000);
        server.setRoute("/packed", {200, text, HttpTestServer::Behaviour::Gzip, {}});
        server.setRoute("/broken", {200, text, HttpTestServer::Behaviour::CutBody, {}});
        Downloader downloader;
        QList<std::pair<int, QByteArray>> arrived;
        QList<int> finishedOk;
        connect(&downloader, &Downloader::arrived, this, [&](int id, const QByteArray &bytes) {
            // Before the job is reported finished.
            QVERIFY(!finishedOk.contains(id));
            arrived.append({id, bytes});
        });
        connect(&downloader, &Downloader::finished, this, [&](int id, bool ok) {
            if (ok)
                finishedOk << id;
        });
        auto job = [&](const QUrl &url, const QString &to, const QUrl &fallback = QUrl()) {
            DownloadJob kept(url, m_dir.filePath(QStringLiteral("out/") + to), FileKind::Entry, fallback);
            kept.keepBytes = true;
            return kept;
        };
        // The 404 page of the first address is not part of the file; the packed answer comes unpacked.
        QVERIFY(fetch(downloader, job(entryUrl(server.root(), QStringLiteral("OS"), name), QStringLiteral("a"),
                                      entryUrlCp1251(server.root(), QStringLiteral("OS"), name))));
        QVERIFY(fetch(downloader, job(at(server, "/packed"), QStringLiteral("b"))));
        QVERIFY(!fetch(downloader, job(at(server, "/broken"), QStringLiteral("c"))));
        // A job that does not ask for its bytes gets none.
        QVERIFY(fetch(downloader, {at(server, "/packed"), m_dir.filePath(QStringLiteral("out/d")), FileKind::Entry}));
        QCOMPARE(arrived.size(), 2);
        QCOMPARE(arrived.at(0).second, QByteArray("old server"));
        QCOMPARE(arrived.at(1).second, text);
        QFile file(m_dir.filePath(QStringLiteral("out/b")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), arrived.at(1).second);
    }

    void keptBytesWaitingAreCapped()
    {
        if (tls())
            QSKIP("no server involved");
        // Twenty files as large as an entry may be, from a local folder, faster than they are taken.
        const QString source = m_dir.filePath(QStringLiteral("large"));
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QByteArray(sizeCap(FileKind::Entry), 'x')) == sizeCap(FileKind::Entry));
        file.close();
        Downloader downloader;
        QList<int> arrived;
        int finishedOk = 0;
        connect(&downloader, &Downloader::arrived, this, [&](int id, const QByteArray &) { arrived << id; });
        connect(&downloader, &Downloader::finished, this, [&](int, bool ok) { finishedOk += ok ? 1 : 0; });
        for (int i = 0; i < 20; ++i) {
            DownloadJob job(QUrl::fromLocalFile(source), m_dir.filePath(QStringLiteral("out/k%1").arg(i)),
                            FileKind::Entry);
            job.keepBytes = true;
            downloader.enqueue(job);
        }
        // This thread takes nothing until every file has been written.
        QElapsedTimer clock;
        clock.start();
        while (QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files).size() < 20 &&
               clock.elapsed() < 20000)
            QThread::msleep(20);
        QTRY_COMPARE(finishedOk, 20);
        // 64 MB wait at most: the first sixteen came with their bytes, the others without.
        QCOMPARE(arrived.size(), 16);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(arrived.at(i), i + 1);
    }

    void localFolderAndOtherSchemes()
    {
        if (tls())
            QSKIP("no server involved");
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
        // A pipe would keep the copy waiting forever; a folder is no file either.
        const QString pipe = m_dir.filePath(QStringLiteral("usb/zv_upd/OS/base/Труба"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("usb/zv_upd/OS/base/Папка"))));
        QVERIFY(!fetch(downloader,
                       {entryUrl(server, QStringLiteral("OS"), QStringLiteral("Труба")), target(), FileKind::Entry}));
        QVERIFY(!fetch(downloader,
                       {entryUrl(server, QStringLiteral("OS"), QStringLiteral("Папка")), target(), FileKind::Entry}));
        QVERIFY(!fetch(downloader, {QUrl(QStringLiteral("ftp://127.0.0.1/x")), target(), FileKind::Entry}));
        QVERIFY(!fetch(downloader, {QUrl(QStringLiteral("data:,hello")), target(), FileKind::Entry}));
        QVERIFY(folderEmpty());
    }

    void localFolderReadsOnlyItsOwnRegularFiles_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("throughLink"); // the address names the folder through a link
        QTest::addColumn<int>("failure");
        const int none = int(TransferFailure::None);
        const int odd = int(TransferFailure::NotRegularFile);
        QTest::newRow("a regular file") << QStringLiteral("OS") << QStringLiteral("Окна") << false << none;
        QTest::newRow("the folder itself through a link")
            << QStringLiteral("OS") << QStringLiteral("Окна") << true << none;
        QTest::newRow("a link to a private file elsewhere")
            << QStringLiteral("OS") << QStringLiteral("Чужое") << false << odd;
        QTest::newRow("a link within the folder") << QStringLiteral("OS") << QStringLiteral("Ссылка") << false << odd;
        QTest::newRow("a table folder that leads elsewhere")
            << QStringLiteral("Games") << QStringLiteral("secret") << false << odd;
        QTest::newRow("a pipe") << QStringLiteral("OS") << QStringLiteral("Труба") << false << odd;
        QTest::newRow("a missing file") << QStringLiteral("OS") << QStringLiteral("Нет такой") << false
                                        << int(TransferFailure::NotOnServer);
    }

    void localFolderReadsOnlyItsOwnRegularFiles()
    {
        if (tls())
            QSKIP("no server involved");
        QFETCH(QString, table);
        QFETCH(QString, name);
        QFETCH(bool, throughLink);
        QFETCH(int, failure);
        const int none = int(TransferFailure::None);
        const QString usb = m_dir.filePath(QStringLiteral("usb"));
        const QString home = m_dir.filePath(QStringLiteral("home"));
        QDir(usb).removeRecursively();
        QDir(home).removeRecursively();
        QFile::remove(m_dir.filePath(QStringLiteral("usb-link")));
        zvtest::writeFile(home + QStringLiteral("/secret"), "private");
        QVERIFY(QFile::setPermissions(home + QStringLiteral("/secret"), QFile::ReadOwner | QFile::WriteOwner));
        const QString base = usb + QStringLiteral("/zv_upd/OS/base/");
        zvtest::writeFile(base + QStringLiteral("Окна"), "text\r\n");
        QVERIFY(QFile::link(home + QStringLiteral("/secret"), base + QStringLiteral("Чужое")));
        QVERIFY(QFile::link(base + QStringLiteral("Окна"), base + QStringLiteral("Ссылка")));
        QCOMPARE(::mkfifo(QFile::encodeName(base + QStringLiteral("Труба")).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(usb + QStringLiteral("/zv_upd/Games")));
        QVERIFY(QFile::link(home, usb + QStringLiteral("/zv_upd/Games/base")));
        QVERIFY(QFile::link(usb, m_dir.filePath(QStringLiteral("usb-link"))));
        const QString server =
            QUrl::fromLocalFile(throughLink ? m_dir.filePath(QStringLiteral("usb-link")) : usb).toString() +
            QLatin1Char('/');

        Downloader downloader;
        QCOMPARE(fetch(downloader, {entryUrl(server, table, name), target(), FileKind::Entry}), failure == none);
        QCOMPARE(int(downloader.lastFailure()), failure);
        if (failure == none)
            QCOMPARE(zvtest::readFile(target()), QByteArray("text\r\n"));
        else
            QVERIFY(folderEmpty());
    }

    void catalogueUpdateIsCappedAsAWhole()
    {
        if (tls())
            QSKIP("no server involved");
        // Forty entries each just under an entry's cap, from a local folder: 160 MB in all.
        const QString usb = m_dir.filePath(QStringLiteral("big"));
        const qint64 entrySize = sizeCap(FileKind::Entry) - 1;
        zvtest::writeFile(usb + QStringLiteral("/zv_upd/OS/base/big"), QByteArray(entrySize, 'x'));
        zvtest::writeFile(usb + QStringLiteral("/zv_upd/OS/spisok.txt"), "big");
        const QString server = QUrl::fromLocalFile(usb).toString() + QLatin1Char('/');
        const QString out = m_dir.filePath(QStringLiteral("out"));
        Downloader downloader;
        QList<TransferFailure> failures;
        connect(&downloader, &Downloader::failed, this, [&](int, TransferFailure why) { failures << why; });
        QSignalSpy idle(&downloader, &Downloader::idle);
        downloader.enqueue(
            {QUrl(listAddress(server, QStringLiteral("OS"))), out + QStringLiteral("/list"), FileKind::List});
        for (int i = 0; i < 40; ++i)
            downloader.enqueue({entryUrl(server, QStringLiteral("OS"), QStringLiteral("big")),
                                out + QStringLiteral("/e%1").arg(i), FileKind::Entry});
        QVERIFY(idle.wait(60000));
        const qsizetype arrived = QDir(out).entryList(QDir::Files | QDir::Hidden).size() - 1;
        // Most of the cap was used, nothing beyond it; every job past it failed for that reason.
        QVERIFY2(arrived * entrySize <= kCatalogueUpdateCap && arrived >= 30, qPrintable(QString::number(arrived)));
        QCOMPARE(failures.size(), 40 - arrived);
        QVERIFY(std::all_of(failures.begin(), failures.end(),
                            [](TransferFailure why) { return why == TransferFailure::UpdateTooLarge; }));
        // The next update begins with its list and counts afresh.
        QVERIFY(fetch(downloader, {QUrl(listAddress(server, QStringLiteral("OS"))), out + QStringLiteral("/list2"),
                                   FileKind::List}));
        QVERIFY(fetch(downloader, {entryUrl(server, QStringLiteral("OS"), QStringLiteral("big")),
                                   out + QStringLiteral("/again"), FileKind::Entry}));
    }

    void diskKeepsItsReserveWhileFilesArrive()
    {
        if (tls())
            QSKIP("runs once");
        zvtest::SmallDisk disk(48);
        if (!disk.error().isEmpty())
            QSKIP(qPrintable(disk.error()));
        HttpTestServer server;
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        const QByteArray entry(sizeCap(FileKind::Entry) - 1, 'x');
        server.setFile("/zv_upd/Games/spisok.txt", "names");
        for (int i = 0; i < 40; ++i)
            server.setFile("/e" + QByteArray::number(i), entry);
        const QString base = disk.file(QStringLiteral("tmp/base"));
        QVERIFY(QDir().mkpath(base));
        Downloader downloader;
        downloader.setPartFolder(disk.file(QStringLiteral("tmp/.part")));
        QList<TransferFailure> failures;
        qint64 leastFree = disk.freeBytes();
        connect(&downloader, &Downloader::failed, this, [&](int, TransferFailure why) { failures << why; });
        connect(&downloader, &Downloader::finished, this, [&] { leastFree = std::min(leastFree, disk.freeBytes()); });
        QSignalSpy idle(&downloader, &Downloader::idle);
        downloader.enqueue({QUrl(listAddress(server.root(), QStringLiteral("Games"))),
                            disk.file(QStringLiteral("tmp/list.txt")), FileKind::List});
        for (int i = 0; i < 40; ++i)
            downloader.enqueue({at(server, QByteArray("/e" + QByteArray::number(i)).constData()),
                                base + QStringLiteral("/e%1").arg(i), FileKind::Entry});
        QVERIFY(idle.wait(60000));
        const qint64 reserve = freeSpaceReserve(disk.sizeBytes());
        const qint64 arrived = QDir(base).entryList(QDir::Files).size() * entry.size();
        QVERIFY2(leastFree >= reserve, qPrintable(QString::number(leastFree)));
        // What did arrive can still be added to a catalogue on the same disk.
        QVERIFY(disk.freeBytes() >= reserve + kCatalogueRoomFactor * arrived);
        QVERIFY(!failures.isEmpty());
        QVERIFY(std::all_of(failures.begin(), failures.end(),
                            [](TransferFailure why) { return why == TransferFailure::DiskFull; }));
        QCOMPARE(QDir(disk.file(QStringLiteral("tmp/.part"))).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void tooFullADiskIsNotWrittenAtAll()
    {
        if (tls())
            QSKIP("runs once");
        zvtest::SmallDisk disk(48);
        if (!disk.error().isEmpty())
            QSKIP(qPrintable(disk.error()));
        // Less free space than the system's reserve is left.
        zvtest::writeFile(disk.file(QStringLiteral("filler")),
                          QByteArray(disk.freeBytes() - freeSpaceReserve(disk.sizeBytes()) + (1 << 20), 'f'));
        HttpTestServer server;
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        server.setFile("/zv_upd/Games/spisok.txt", "names");
        Downloader downloader;
        QVERIFY(!fetch(downloader, {QUrl(listAddress(server.root(), QStringLiteral("Games"))),
                                    disk.file(QStringLiteral("list.txt")), FileKind::List}));
        QCOMPARE(downloader.lastFailure(), TransferFailure::DiskFull);
        QVERIFY(server.requests.isEmpty());
    }

    void severalAtOnceOverFewConnections()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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

    // A handler that stops every job: the files already in place by then are reported as they
    // ended, those whose reports had been taken from the transfers with the handler's own as well.
    void aStopFromAHandlerReportsTheFilesInPlace()
    {
        if (tls())
            QSKIP("no server involved");
        const QString usb = m_dir.filePath(QStringLiteral("usb"));
        const QString server = QUrl::fromLocalFile(usb).toString() + QLatin1Char('/');
        Downloader downloader;
        QHash<int, QString> targets;
        for (int i = 0; i < 20; ++i) {
            const QString name = QString::number(i);
            zvtest::writeFile(usb + QStringLiteral("/zv_upd/OS/base/") + name, "text");
            const QString target = m_dir.filePath(QStringLiteral("out/") + name);
            targets.insert(downloader.enqueue({entryUrl(server, QStringLiteral("OS"), name), target, FileKind::Entry}),
                           target);
        }
        // All are in place before the first report is taken, so one delivery carries them all.
        const QDir out(m_dir.filePath(QStringLiteral("out")));
        QDeadlineTimer deadline(10000);
        while (out.entryList(QDir::Files).size() < 20 && !deadline.hasExpired())
            QThread::msleep(1);
        QHash<int, bool> reported;
        connect(&downloader, &Downloader::finished, this, [&](int id, bool ok) {
            reported.insert(id, ok);
            if (reported.size() == 1)
                downloader.abortAll();
        });
        QTRY_COMPARE(reported.size(), 20);
        for (auto it = targets.cbegin(); it != targets.cend(); ++it)
            QVERIFY2(reported.value(it.key()) == QFileInfo::exists(*it), qPrintable(*it));
        QVERIFY(downloader.isIdle());
    }

    void abortStopsEverythingAndLeavesNothing()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
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
        // The stopped transfers' connections are closed, and nothing more is asked for (what was
        // sent before the stop may still reach the server until it has read the connection to its end).
        QTRY_COMPARE(server.openConnections(), 0);
        const qsizetype asked = server.requests.size();
        QTest::qWait(200);
        QCOMPARE(server.requests.size(), asked);
    }

    void destroyedWhileTransfersRun()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        server.setRoute("/slow", {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::Stall, {}});
        server.setFile("/quick", "quick");
        auto downloader = std::make_unique<Downloader>();
        downloader->setTimeout(60000);
        QList<std::pair<int, bool>> results;
        connect(downloader.get(), &Downloader::finished, this, [&](int id, bool ok) { results.append({id, ok}); });
        downloader->enqueue({at(server, "/quick"), m_dir.filePath(QStringLiteral("out/quick")), FileKind::Entry});
        for (int i = 0; i < 10; ++i)
            downloader->enqueue(
                {at(server, "/slow"), m_dir.filePath(QStringLiteral("out/s%1").arg(i)), FileKind::Entry});
        QTRY_VERIFY(server.requests.count("/slow") >= 1);
        QTRY_VERIFY(!results.isEmpty());
        // Going away stops the transfer thread; every job is reported once, none after.
        downloader.reset();
        QCOMPARE(results.size(), 11);
        QCOMPARE(results.first(), std::make_pair(1, true));
        for (qsizetype i = 1; i < results.size(); ++i)
            QCOMPARE(results.at(i), std::make_pair(int(i + 1), false));
        QTest::qWait(50);
        QCOMPARE(results.size(), 11);
        QCOMPARE(QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("quick")});
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void compressedAnswers()
    {
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        const QByteArray text = QByteArray("Строка с текстом\r\n").repeated(5000);
        server.setRoute("/packed", {200, text, HttpTestServer::Behaviour::Gzip, {}});
        // A few kilobytes on the wire that unpack to more than an entry may hold.
        server.setRoute("/bomb",
                        {200, QByteArray(sizeCap(FileKind::Entry) + 1, '\0'), HttpTestServer::Behaviour::Gzip, {}});
        Downloader downloader;
        QVERIFY(fetch(downloader, {at(server, "/packed"), target(), FileKind::Entry}));
        QFile file(target());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text);
        file.close();
        QFile::remove(target());
        QVERIFY(!fetch(downloader, {at(server, "/bomb"), target(), FileKind::Entry}));
        QVERIFY(downloader.lastError().contains(QLatin1String("too large")));
        QVERIFY(folderEmpty());
    }

    void throughAProxyFromTheEnvironment()
    {
        if (zvtest::TinyProxy::binary().isEmpty())
            QSKIP("tinyproxy is not installed (Debian package tinyproxy)");
        zvtest::TinyProxy proxy;
        QString error;
        QVERIFY2(proxy.start(&error), qPrintable(error));
        HttpTestServer server(scheme());
        QVERIFY2(server.isListening(), qPrintable(server.error()));
        server.setFile("/a", "first");
        server.setFile("/b", "second");
        const ScopedEnv httpProxy("http_proxy", proxy.address().toLatin1());
        const ScopedEnv httpsProxy("https_proxy", proxy.address().toLatin1());
        const ScopedEnv noProxy("no_proxy", "");
        Downloader downloader;
        QVERIFY(fetch(downloader, {at(server, "/a"), target(), FileKind::Entry}));
        QVERIFY(fetch(downloader, {at(server, "/b"), m_dir.filePath(QStringLiteral("out/b")), FileKind::Entry}));
        QCOMPARE(server.requests, (QList<QByteArray>{"/a", "/b"}));
        // Plain http goes through as whole requests; https as a tunnel the proxy cannot read.
        const QString authority = QStringLiteral("127.0.0.1:") + QString::number(server.port());
        const QStringList expected =
            tls() ? QStringList{QStringLiteral("CONNECT ") + authority}
                  : QStringList{QStringLiteral("GET http://") + authority + QStringLiteral("/a"),
                                QStringLiteral("GET http://") + authority + QStringLiteral("/b")};
        QTRY_COMPARE(proxy.requests(), expected);
        // no_proxy names the hosts reached directly.
        const ScopedEnv direct("no_proxy", "127.0.0.1");
        QVERIFY(fetch(downloader, {at(server, "/a"), m_dir.filePath(QStringLiteral("out/c")), FileKind::Entry}));
        QTest::qWait(100);
        QCOMPARE(proxy.requests(), expected);
    }

    void cancelAmongFortyParallelTransfers()
    {
        // nginx over HTTP/2 carries all forty at once on one connection, each sent slowly.
        if (!tls())
            QSKIP("the HTTP/2 case runs once");
        if (zvtest::NginxServer::binary().isEmpty())
            QSKIP("nginx is not installed (Debian package nginx)");
        QDir().mkpath(m_dir.filePath(QStringLiteral("www")));
        for (int i = 0; i < 40; ++i) {
            QFile file(m_dir.filePath(QStringLiteral("www/e%1").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Random bytes: nginx compresses its answers, and these it cannot make smaller.
            QByteArray bytes(1 << 20, Qt::Uninitialized);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            file.write(bytes);
        }
        zvtest::NginxServer nginx(m_dir.filePath(QStringLiteral("www")), zvtest::NginxServer::Mode::Tls);
        nginx.setRateLimit(20000);
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        Downloader downloader;
        downloader.setTimeout(60000);
        downloader.setMaxParallel(40);
        QSignalSpy spy(&downloader, &Downloader::finished);
        int started = 0;
        for (int i = 0; i < 40; ++i)
            downloader.enqueue({QUrl(nginx.rootAddress() + QStringLiteral("e%1").arg(i)),
                                m_dir.filePath(QStringLiteral("out/e%1").arg(i)), FileKind::Entry});
        connect(&downloader, &Downloader::jobStarted, this, [&] { ++started; });
        // Every transfer has begun to arrive in its part file.
        QTRY_VERIFY_WITH_TIMEOUT(
            QDir(m_dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden).size() == 40, 20000);
        QCOMPARE(started, 40);
        QVERIFY2(spy.isEmpty(), qPrintable(downloader.lastError()));
        downloader.abortAll();
        QCOMPARE(spy.size(), 40);
        for (const QList<QVariant> &result : spy)
            QVERIFY(!result.at(1).toBool());
        QVERIFY(downloader.isIdle());
        QVERIFY(folderEmpty());
        // nginx logs a request when it ends: all forty end now, not when their files would have.
        QTRY_COMPARE_WITH_TIMEOUT(nginx.accessLog().size(), 40, 10000);
        for (const QString &line : nginx.accessLog())
            QVERIFY2(line.startsWith(QLatin1String("HTTP/2.0 ")), qPrintable(line));
    }
};

ZV_TEST_MAIN_WITH_PRIVATE_MOUNTS(TestDownloader)
#include "tst_downloader.moc"
