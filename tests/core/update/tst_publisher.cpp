#include "TempHome.h"
#include "core/INI.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Publisher.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QFile>
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
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Игра №1"), QStringLiteral("Текст\r\nещё\r\n"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Don't #2?"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("../evil"), QStringLiteral("x"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral(".NET Framework"), QStringLiteral("dot"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("ИГРА №1"), QStringLiteral("twice"));
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("漢字"), QStringLiteral("x"));
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
        QCOMPARE(result.warnings.size(), 3); // ../evil, the repeated name, the name outside Windows-1251

        const QString root = options.outDir + QStringLiteral("/zv_upd/");
        QCOMPARE(readAll(root + QStringLiteral("Games/spisok.txt")),
                 zv::toCp1251(QStringLiteral("Игра №1\r\nDon't #2?\r\n.NET Framework")));
        QCOMPARE(readAll(root + QStringLiteral("Games/base/Игра №1")),
                 zv::toCp1251(QStringLiteral("Текст\r\nещё\r\n")));
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
        result = publish(options);
        QVERIFY(!result.ok);
        QVERIFY(result.error.contains(QStringLiteral("no-such.rar")));
    }
};

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
