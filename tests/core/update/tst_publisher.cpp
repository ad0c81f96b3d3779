#include "TempHome.h"
#include "core/INI.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/Publisher.h"
#include "core/update/UpdateLayout.h"
#include "core/update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace zv::update;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestPublisher : public QObject
{
    Q_OBJECT

private slots:
    void laysOutEveryCategory()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(db);
        {
            auto catalogue = OpenCatalogue(db);
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Игра №1"),
                     QStringLiteral("Текст\r\nещё\nи ещё\r\n"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Don't #2?"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("../evil"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral(".NET Framework"), QStringLiteral("dot"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("ИГРА №1"), QStringLiteral("twice"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("漢字"), QStringLiteral("x"));
            // A web server would take these for its own settings.
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral(".htaccess"),
                     QStringLiteral("Options +Indexes"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral(".HTpasswd"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Web.config"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Movie"), QStringLiteral("Фильм"), QString());
        }
        QFile whatsnew(dir.filePath(QStringLiteral("new.txt")));
        QVERIFY(whatsnew.open(QIODevice::WriteOnly));
        whatsnew.write("news");
        whatsnew.close();

        PublishOptions options;
        options.catalogue = db;
        options.outDir = dir.filePath(QStringLiteral("www"));
        options.intVersion = 500502;
        options.textVersion = QStringLiteral("5.1.502 бета");
        options.whatsNew = whatsnew.fileName();
        const PublishResult result = publish(options);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.entries, 4);
        // ../evil, the repeated name, the name outside Windows-1251, the three server files
        QCOMPARE(result.warnings.size(), 6);

        const QString root = options.outDir + QStringLiteral("/zv_upd/");
        QCOMPARE(readAll(root + QStringLiteral("Games/spisok.txt")),
                 zv::toCp1251(QStringLiteral("Игра №1\r\nDon't #2?\r\n.NET Framework")));
        QCOMPARE(readAll(root + QStringLiteral("Games/base/Игра №1")),
                 zv::toCp1251(QStringLiteral("Текст\r\nещё\r\nи ещё\r\n")));
        QCOMPARE(readAll(root + QStringLiteral("Movie/spisok.txt")), zv::toCp1251(QStringLiteral("Фильм")));
        QCOMPARE(readAll(root + QStringLiteral("Movie/base/Фильм")), QByteArray());
        QCOMPARE(readAll(root + QStringLiteral("OS/spisok.txt")), QByteArray());
        QCOMPARE(QDir(root + QStringLiteral("Games/base")).entryList(QDir::Files | QDir::Hidden).size(), 3);
        QCOMPARE(readAll(root + QStringLiteral("Games/base/.NET Framework")), QByteArray("dot"));
        QVERIFY(!QFileInfo::exists(options.outDir + QStringLiteral("/zv_upd/Games/evil")));
        QCOMPARE(readAll(root + QStringLiteral("whatsnew.txt")), QByteArray("news"));
        QVERIFY(!QFileInfo::exists(root + QStringLiteral("update.rar")));

        // What the program reads back from the published list is exactly what was published.
        QCOMPARE(
            parseList(zv::fromCp1251(readAll(root + QStringLiteral("Games/spisok.txt")))),
            (QStringList{QStringLiteral("Игра №1"), QStringLiteral("Don't #2?"), QStringLiteral(".NET Framework")}));
        zvtest::TempHome home;
        QFile::copy(root + QStringLiteral("ProgVer.ini"), home.file(QStringLiteral("v.ini")));
        QCOMPARE(
            ReadIniValue(home.file(QStringLiteral("v.ini")), QStringLiteral("Update"), QStringLiteral("IntVer"), {}),
            QStringLiteral("500502"));
        QCOMPARE(
            ReadIniValue(home.file(QStringLiteral("v.ini")), QStringLiteral("Update"), QStringLiteral("TxtVer"), {}),
            QStringLiteral("5.1.502 бета"));
    }

    void badInputsFailClearly()
    {
        QTemporaryDir dir;
        PublishOptions options;
        options.catalogue = dir.filePath(QStringLiteral("missing.dat"));
        options.outDir = dir.filePath(QStringLiteral("www"));
        PublishResult result = publish(options);
        QVERIFY(!result.ok);
        QVERIFY(result.error.contains(QStringLiteral("missing.dat")));
        QVERIFY(!QFileInfo::exists(options.outDir));

        QFile notCatalogue(dir.filePath(QStringLiteral("text.dat")));
        QVERIFY(notCatalogue.open(QIODevice::WriteOnly));
        notCatalogue.write("hello");
        notCatalogue.close();
        options.catalogue = notCatalogue.fileName();
        QVERIFY(!publish(options).ok);

        CreateCatalogue(dir.filePath(QStringLiteral("ok.dat")));
        options.catalogue = dir.filePath(QStringLiteral("ok.dat"));
        options.archive = dir.filePath(QStringLiteral("no-such.rar"));
        options.intVersion = 500502;
        QString error;
        QVERIFY(writeNewKeyPair(dir.filePath(QStringLiteral("k")), &error));
        options.signKey = dir.filePath(QStringLiteral("k.key"));
        result = publish(options);
        QVERIFY(!result.ok);
        QVERIFY(result.error.contains(QStringLiteral("no-such.rar")));
    }

    void newKeyPair()
    {
        QTemporaryDir dir;
        const QString base = dir.filePath(QStringLiteral("release"));
        QString error;
        const auto keyId = writeNewKeyPair(base, &error);
        QVERIFY2(keyId, qPrintable(error));
        const QByteArray publicFile = readAll(base + QStringLiteral(".pub"));
        const QByteArray secretFile = readAll(base + QStringLiteral(".key"));
        QVERIFY(publicFile.contains(keyId->toLatin1()));
        QCOMPARE(keyIdText(parsePublicKey(publicFile)->keyId), *keyId);
        QCOMPARE(parseSecretKey(secretFile)->keyId, parsePublicKey(publicFile)->keyId);
        // The secret key is for its owner's eyes only.
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(base + QStringLiteral(".key")).permissions() & others, QFile::Permissions());

        // Neither file is ever replaced, not even when only one of them is there.
        QVERIFY(!writeNewKeyPair(base, &error));
        QVERIFY(error.contains(QStringLiteral("exists already")));
        QCOMPARE(readAll(base + QStringLiteral(".key")), secretFile);
        QVERIFY(QFile::remove(base + QStringLiteral(".pub")));
        QVERIFY(!writeNewKeyPair(base, &error));
        QCOMPARE(readAll(base + QStringLiteral(".key")), secretFile);
        QVERIFY(!QFileInfo::exists(base + QStringLiteral(".pub")));
    }

    void signedArchive()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(db);
        QString error;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("keys"))));
        QVERIFY2(writeNewKeyPair(dir.filePath(QStringLiteral("keys/release")), &error), qPrintable(error));
        QFile archive(dir.filePath(QStringLiteral("build.rar")));
        QVERIFY(archive.open(QIODevice::WriteOnly));
        archive.write(QByteArray(200000, 'z') + "end");
        archive.close();

        PublishOptions options;
        options.catalogue = db;
        options.outDir = dir.filePath(QStringLiteral("www"));
        options.intVersion = 500502;
        options.archive = archive.fileName();
        options.signKey = dir.filePath(QStringLiteral("keys/release.key"));
        const PublishResult result = publish(options);
        QVERIFY2(result.ok, qPrintable(result.error));
        const QString root = options.outDir + QLatin1Char('/');
        QCOMPARE(readAll(root + published::archiveFile()), readAll(archive.fileName()));
        QTemporaryDir trusted;
        QVERIFY(
            QFile::copy(dir.filePath(QStringLiteral("keys/release.pub")), trusted.filePath(QStringLiteral("r.pub"))));
        QCOMPARE(checkArchive(root + published::archiveFile(), root + published::signatureFile(), trusted.path(),
                              500502, 500501),
                 ArchiveVerdict::Good);
        QVERIFY(readAll(root + published::signatureFile()).contains("file:update.rar"));

        // Debian's minisign accepts what was published.
        const QString minisign = QStandardPaths::findExecutable(QStringLiteral("minisign"));
        if (!minisign.isEmpty()) {
            QProcess check;
            check.start(minisign,
                        {QStringLiteral("-V"), QStringLiteral("-p"), dir.filePath(QStringLiteral("keys/release.pub")),
                         QStringLiteral("-m"), root + published::archiveFile()});
            QVERIFY(check.waitForFinished(30000));
            QCOMPARE(check.exitCode(), 0);
        }
    }

    void unsignedOrExposedArchivesAreRefused_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("error");
        QTest::newRow("no signing key") << 0 << QStringLiteral("--sign-key");
        QTest::newRow("key inside the published folder") << 1 << QStringLiteral("inside the published folder");
        QTest::newRow("key reached through a link into the folder")
            << 2 << QStringLiteral("inside the published folder");
        QTest::newRow("no build number") << 3 << QStringLiteral("--int-version");
        QTest::newRow("a key without an archive") << 4 << QStringLiteral("without an archive");
        QTest::newRow("a public key given as the secret one") << 5 << QStringLiteral("not a minisign");
    }

    void unsignedOrExposedArchivesAreRefused()
    {
        QFETCH(int, how);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(db);
        const QString www = dir.filePath(QStringLiteral("www"));
        QString why;
        QVERIFY(writeNewKeyPair(dir.filePath(QStringLiteral("release")), &why));
        QVERIFY(QDir().mkpath(www + QStringLiteral("/keys")));
        QVERIFY(writeNewKeyPair(www + QStringLiteral("/keys/exposed"), &why));
        QVERIFY(QFile::link(www + QStringLiteral("/keys/exposed.key"), dir.filePath(QStringLiteral("link.key"))));
        QFile archive(dir.filePath(QStringLiteral("build.rar")));
        QVERIFY(archive.open(QIODevice::WriteOnly));
        archive.write("archive");
        archive.close();

        PublishOptions options;
        options.catalogue = db;
        options.outDir = www;
        options.intVersion = 500502;
        options.archive = archive.fileName();
        options.signKey = dir.filePath(QStringLiteral("release.key"));
        switch (how) {
        case 0:
            options.signKey.clear();
            break;
        case 1:
            options.signKey = www + QStringLiteral("/keys/exposed.key");
            break;
        case 2:
            options.signKey = dir.filePath(QStringLiteral("link.key"));
            break;
        case 3:
            options.intVersion.reset();
            break;
        case 4:
            options.archive.clear();
            break;
        case 5:
            options.signKey = dir.filePath(QStringLiteral("release.pub"));
            break;
        }
        const PublishResult result = publish(options);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
        // Nothing at all is published.
        QVERIFY(!QFileInfo::exists(www + QStringLiteral("/zv_upd")));
    }
};

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
