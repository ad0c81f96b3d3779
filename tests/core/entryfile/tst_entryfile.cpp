#include "TarWriter.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "core/entryfile/EntryFile.h"
#include "core/entryfile/EntryFileAdd.h"
#include "core/entryfile/EntrySending.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Publisher.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using zvtest::TarWriter;
using Type = zvtest::TarWriter::Type;

namespace {

const QString kGames = QStringLiteral("Games");
const QByteArray kJpeg = QByteArray("\xFF\xD8\xFF\xE0 a picture of the level", 27);
const QByteArray kPng = QByteArray("\x89PNG\r\n\x1A\n the map", 16);

QByteArray manifest(const QString &name, const QStringList &pictures, const QString &text = QStringLiteral("IDDQD"))
{
    return QJsonDocument(QJsonObject{{QStringLiteral("kind"), QStringLiteral("zorvanell-entry")},
                                     {QStringLiteral("format"), 1},
                                     {QStringLiteral("category"), kGames},
                                     {QStringLiteral("name"), name},
                                     {QStringLiteral("text"), text},
                                     {QStringLiteral("pictures"), QJsonArray::fromStringList(pictures)}})
        .toJson();
}

QByteArray gzipped(const QByteArray &bytes)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    gzip.write(bytes);
    gzip.closeWriteChannel();
    gzip.waitForFinished(60000);
    return gzip.readAllStandardOutput();
}

// Everything below `folder`: names with their bytes, to tell that nothing was written.
QMap<QString, QByteArray> contents(const QString &folder)
{
    QMap<QString, QByteArray> found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found.insert(path, zvtest::readFile(path));
    }
    return found;
}

struct Publisher
{
    zvtest::TempHome home;
    QString catalogue = home.file(QStringLiteral("server/Zorvanell.dat"));
    QString pictures = home.file(QStringLiteral("server/ScreenShots"));

    Publisher()
    {
        QDir().mkpath(pictures);
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), kGames, QStringLiteral("Quake"), QStringLiteral("Quake's text"));
        zvtest::writeFile(pictures + QStringLiteral("/Quake.jpg"), kJpeg);
    }
    QString file(const QByteArray &bytes) const
    {
        const QString path = home.file(QStringLiteral("sent.zvegg"));
        zvtest::writeFile(path, bytes);
        return path;
    }
};

} // namespace

class TestEntryFile : public QObject
{
    Q_OBJECT

private slots:
    // Written from one catalogue, added to another by the publishing tool, then published.
    void roundTrip()
    {
        zvtest::TempHome sender;
        const QString own = sender.file(QStringLiteral("Zorvanell.dat"));
        const QString ownPictures = sender.file(QStringLiteral("ScreenShots"));
        CreateCatalogue(own);
        const QString name = QStringLiteral("Doom: Ад на Земле");
        const QString text = QStringLiteral("IDDQD\nIDKFA \"кавычки\" \\ и ☺");
        const qint64 rowId = AddEntry(OpenCatalogue(own), kGames, name, text);
        AddEntry(OpenCatalogue(own), kGames, QStringLiteral("Doom: Ад на Земле 2"), QStringLiteral("another"));
        const QString first = QStringLiteral("Doom%3A Ад на Земле.jpg");
        const QString second = QStringLiteral("Doom%3A Ад на Земле_карта.png");
        zvtest::writeFile(ownPictures + QLatin1Char('/') + first, kJpeg);
        zvtest::writeFile(ownPictures + QLatin1Char('/') + second, kPng);
        // The longer entry's picture, and a file that is no picture, stay behind.
        zvtest::writeFile(ownPictures + QStringLiteral("/Doom%3A Ад на Земле 2.jpg"), kJpeg);
        zvtest::writeFile(ownPictures + QStringLiteral("/Doom%3A Ад на Земле_readme.jpg"), "not a picture");
        QStringList leftOut;
        const zv::entryfile::Entry entry =
            zv::entryfile::entryToSend(OpenCatalogue(own), ownPictures, kGames, rowId, name, text, &leftOut);
        QCOMPARE(leftOut, QStringList{QStringLiteral("Doom%3A Ад на Земле_readme.jpg")});
        const QString sent = sender.file(QStringLiteral("Doom.zvegg"));
        QCOMPARE(zv::entryfile::writeEntryFile(sent, entry), QString());

        Publisher server;
        QProcess tool;
        tool.start(QStringLiteral(ZV_PUBLISH_TOOL), {QStringLiteral("--add"), sent, server.catalogue});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed(),
                 QStringLiteral("1 entries added to ") + server.catalogue);
        const zv::FindResult added = FindEntry(OpenCatalogue(server.catalogue), kGames, name);
        QVERIFY(added.found());
        QCOMPARE(added.ref, text);
        QCOMPARE(QDir(server.pictures).entryList(QDir::Files, QDir::Name),
                 QStringList({first, second, QStringLiteral("Quake.jpg")}));
        QCOMPARE(zvtest::readFile(server.pictures + QLatin1Char('/') + first), kJpeg);
        QCOMPARE(zvtest::readFile(server.pictures + QLatin1Char('/') + second), kPng);

        // Sent again: already there, nothing doubled.
        const zv::entryfile::AddResult again = zv::entryfile::addEntryFiles(server.catalogue, {sent});
        QVERIFY(again.ok);
        QCOMPARE(again.added, 0);
        QVERIFY(again.reports.join(QLatin1Char('\n')).contains(QStringLiteral("already there")));

        zv::update::PublishOptions options;
        options.catalogue = server.catalogue;
        options.outDir = server.home.file(QStringLiteral("www"));
        QVERIFY(zv::update::publish(options).ok);
        QVERIFY(QFileInfo::exists(options.outDir + QStringLiteral("/zv_upd/Games/base/") + name));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QByteArray doom = manifest(QStringLiteral("Doom"), {QStringLiteral("Doom.jpg")});
        const auto with = [&](const QByteArray &name, Type type) {
            return TarWriter().file("manifest.json", doom).member(name, type, "/etc/passwd").bytes();
        };
        QTest::newRow("link") << with("Doom.jpg", Type::SymLink) << QStringLiteral("is a link");
        QTest::newRow("hard link") << with("Doom.jpg", Type::HardLink) << QStringLiteral("is a link");
        QTest::newRow("device") << with("Doom.jpg", Type::CharDevice) << QStringLiteral("device");
        QTest::newRow("folder") << with("Doom", Type::Directory) << QStringLiteral("is a folder");
        QTest::newRow("..") << TarWriter().file("manifest.json", doom).file("../Doom.jpg", kJpeg).bytes()
                            << QStringLiteral("climbs out");
        QTest::newRow("absolute name") << TarWriter().file("manifest.json", doom).file("/tmp/Doom.jpg", kJpeg).bytes()
                                       << QStringLiteral("absolute name");
        QTest::newRow("in a folder") << TarWriter().file("manifest.json", doom).file("p/Doom.jpg", kJpeg).bytes()
                                     << QStringLiteral("in a folder");
        QTest::newRow("device name") << TarWriter().file("manifest.json", doom).file("NUL.jpg", kJpeg).bytes()
                                     << QStringLiteral("device name");
        QTest::newRow("two entries") << TarWriter()
                                            .file("manifest.json", doom)
                                            .file("manifest.json", manifest(QStringLiteral("Quake II"), {}))
                                            .bytes()
                                     << QStringLiteral("more than one entry");
        TarWriter many;
        many.file("manifest.json", doom);
        for (int i = 0; i < 40; ++i)
            many.file("Doom_" + QByteArray::number(i) + ".jpg", kJpeg);
        QTest::newRow("too many files") << many.bytes() << QStringLiteral("more files");
        QTest::newRow("bomb")
            << gzipped(
                   TarWriter().file("manifest.json", doom).file("Doom.jpg", kJpeg + QByteArray(70 << 20, '\0')).bytes())
            << QStringLiteral("unpack to more than");
        QTest::newRow("not a picture")
            << TarWriter().file("manifest.json", doom).file("Doom.jpg", "#!/bin/sh\nrm -rf ~\n").bytes()
            << QStringLiteral("is not a picture");
        QTest::newRow("another entry's picture")
            << TarWriter()
                   .file("manifest.json", manifest(QStringLiteral("Doom"), {QStringLiteral("Quake.jpg")}))
                   .file("Quake.jpg", kJpeg)
                   .bytes()
            << QStringLiteral("not named after");
        QTest::newRow("unlisted file")
            << TarWriter().file("manifest.json", doom).file("Doom.jpg", kJpeg).file("Doom_2.jpg", kJpeg).bytes()
            << QStringLiteral("not listed");
        QTest::newRow("name the publisher refuses")
            << TarWriter().file("manifest.json", manifest(QStringLiteral(".htaccess"), {})).bytes()
            << QStringLiteral("web servers");
        QTest::newRow("not an archive") << QByteArray("IDDQD, just text") << QStringLiteral("not an entry file");
    }

    // Nothing is written on a refused file: neither the catalogue nor the pictures' folder changes.
    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        Publisher server;
        const QMap<QString, QByteArray> before = contents(server.home.file(QStringLiteral("server")));
        const zv::entryfile::AddResult result = zv::entryfile::addEntryFiles(server.catalogue, {server.file(bytes)});
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(expected), qPrintable(result.error));
        QCOMPARE(contents(server.home.file(QStringLiteral("server"))), before);
    }

    void leftOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *label, const char *name, const char *text, const char *picture,
                            const char *expected) {
            QTest::newRow(label) << QString::fromUtf8(name) << QString::fromUtf8(text) << QString::fromUtf8(picture)
                                 << QString::fromUtf8(expected);
        };
        row("name held with another text", "quake", "Quake's new text", "quake_2.jpg", "another text");
        row("same text", "Quake", "Quake's text", "Quake_2.jpg", "already there");
        row("picture name taken", "Quake Arena", "x", "Quake Arena.jpg", "exists already");
        row("another entry's picture name", "Qu", "x", "Quake_1.jpg", "would be the entry");
    }

    // An entry the catalogue holds, or whose picture would take a file name already used, is
    // reported and left out; the other entries of the same call go in.
    void leftOut()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, picture);
        QFETCH(QString, expected);
        Publisher server;
        zvtest::writeFile(server.pictures + QStringLiteral("/quake arena.JPG"), kJpeg);
        const QString file = server.file(zv::entryfile::entryFileBytes({kGames, name, text, {{picture, kJpeg}}}));
        const QString other = server.home.file(QStringLiteral("other.zvegg"));
        zvtest::writeFile(other,
                          zv::entryfile::entryFileBytes({kGames, QStringLiteral("Heretic"), QStringLiteral("h"), {}}));
        const QMap<QString, QByteArray> pictures = contents(server.pictures);
        const zv::entryfile::AddResult result = zv::entryfile::addEntryFiles(server.catalogue, {file, other});
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.added, 1);
        QCOMPARE(result.reports.size(), 1);
        QVERIFY2(result.reports.constFirst().contains(expected), qPrintable(result.reports.constFirst()));
        QCOMPARE(contents(server.pictures), pictures);
        QCOMPARE(ListNames(OpenCatalogue(server.catalogue), kGames),
                 QStringList({QStringLiteral("Quake"), QStringLiteral("Heretic")}));
        QCOMPARE(FindEntry(OpenCatalogue(server.catalogue), kGames, QStringLiteral("Quake")).ref,
                 QStringLiteral("Quake's text"));
    }
};

QTEST_GUILESS_MAIN(TestEntryFile)
#include "tst_entryfile.moc"
