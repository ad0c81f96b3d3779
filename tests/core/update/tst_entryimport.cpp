#include "PipeWatch.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/update/EntryImport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zv::update;

class TestEntryImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString base() const { return m_dir.filePath(QStringLiteral("base")); }
    QString catalogueFile() const { return m_dir.filePath(QStringLiteral("Zorvanell.dat")); }
    void writeEntry(const QString &name, const QString &text) const
    {
        QFile file(base() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(zv::toCp1251(text));
    }
    QString storedText(const zv::CatalogueConnection &catalogue, const QString &name) const
    {
        return FindEntry(catalogue, QStringLiteral("Games"), name).ref;
    }

private slots:
    void init()
    {
        QDir(base()).removeRecursively();
        QDir().mkpath(base());
        QFile::remove(catalogueFile());
        CreateCatalogue(catalogueFile());
    }

    void filesListedInNameOrder()
    {
        // The order of QDir::Name, which adding the files has always used.
        const QStringList names{QStringLiteral("Ёлка"),
                                QStringLiteral("ёлка"),
                                QStringLiteral("Doom"),
                                QStringLiteral("DOOM"),
                                QStringLiteral(".NET Framework"),
                                QStringLiteral("10"),
                                QStringLiteral("9"),
                                QStringLiteral("ß"),
                                QStringLiteral("Ω"),
                                QStringLiteral("_x"),
                                QStringLiteral("a b")};
        for (const QString &name : names)
            writeEntry(name, name);
        // Neither a folder nor a link is a downloaded entry.
        QVERIFY(QDir(base()).mkdir(QStringLiteral("folder")));
        QVERIFY(QFile::link(base() + QStringLiteral("/Doom"), base() + QStringLiteral("/link")));
        const QStringList listed = entryFilesIn(base());
        QCOMPARE(listed, QDir(base()).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name));
        QCOMPARE(listed.size(), names.size());
        QCOMPARE(listed.first(), QStringLiteral(".NET Framework"));
    }

    void importSkipsPresentAndCaseTwins()
    {
        writeEntry(QStringLiteral("DOOM"), QStringLiteral("первый"));
        writeEntry(QStringLiteral("Doom"), QStringLiteral("второй"));
        writeEntry(QStringLiteral("Quake"), QStringLiteral("уже есть"));
        writeEntry(QStringLiteral("Пусто"), QString());
        const auto catalogue = OpenCatalogue(catalogueFile());
        const zv::NameRows added =
            importEntries(catalogue, QStringLiteral("Games"), base(), entryFilesIn(base()), [](const QString &name) {
                return name.compare(u"quake", Qt::CaseInsensitive) == 0;
            }).value();
        // The first of two names equal but for letter case wins; a present name is left alone.
        QCOMPARE(added.size(), 2);
        QCOMPARE(added.at(0).toString(), QStringLiteral("DOOM"));
        QCOMPARE(added.at(1).toString(), QStringLiteral("Пусто"));
        QCOMPARE(storedText(catalogue, QStringLiteral("doom")), QStringLiteral("первый"));
        QCOMPARE(storedText(catalogue, QStringLiteral("Пусто")), QString());
        // The ids handed back are those the store gave the records.
        const zv::NameRows stored = ListNameRows(catalogue, QStringLiteral("Games"));
        QCOMPARE(stored.size(), 2);
        for (qsizetype i = 0; i < stored.size(); ++i) {
            QCOMPARE(added.at(i), stored.at(i));
            QCOMPARE(added.rowIdAt(i), stored.rowIdAt(i));
        }
    }

    void textsReadOnArrivalAreUsed()
    {
        for (int i = 0; i < 3; ++i)
            writeEntry(QStringLiteral("Запись %1").arg(i), QStringLiteral("как пришла %1").arg(i));
        // Room for the first two texts only; the third is read when added.
        ArrivedTexts arrived(2 * QStringLiteral("как пришла 0").size());
        for (int i = 0; i < 3; ++i)
            arrived.keep(QStringLiteral("Запись %1").arg(i), zv::toCp1251(QStringLiteral("как пришла %1").arg(i)));
        QVERIFY(arrived.find(QStringLiteral("Запись 0")));
        QVERIFY(arrived.find(QStringLiteral("Запись 1")));
        QVERIFY(!arrived.find(QStringLiteral("Запись 2")));
        // What lies on the disk now differs, so the test sees where each text came from.
        for (int i = 0; i < 3; ++i)
            writeEntry(QStringLiteral("Запись %1").arg(i), QStringLiteral("на диске %1").arg(i));
        // A name that arrives again (listed twice) replaces what it held.
        arrived.keep(QStringLiteral("Запись 1"), zv::toCp1251(QStringLiteral("снова 1")));
        const auto catalogue = OpenCatalogue(catalogueFile());
        importEntries(catalogue, QStringLiteral("Games"), base(), entryFilesIn(base()), {}, {}, &arrived);
        QCOMPARE(storedText(catalogue, QStringLiteral("Запись 0")), QStringLiteral("как пришла 0"));
        QCOMPARE(storedText(catalogue, QStringLiteral("Запись 1")), QStringLiteral("снова 1"));
        QCOMPARE(storedText(catalogue, QStringLiteral("Запись 2")), QStringLiteral("на диске 2"));
        arrived.clear();
        QVERIFY(!arrived.find(QStringLiteral("Запись 0")));
    }

    void unreadableFilesAreSkipped()
    {
        writeEntry(QStringLiteral("Есть"), QStringLiteral("текст"));
        // A pipe in its place would keep the import waiting for a writer.
        const zvtest::PipeWatch pipe(base() + QStringLiteral("/Труба"));
        QVERIFY(pipe.made());
        const auto catalogue = OpenCatalogue(catalogueFile());
        const zv::NameRows added =
            importEntries(catalogue, QStringLiteral("Games"), base(),
                          {QStringLiteral("Есть"), QStringLiteral("Нет такого"), QStringLiteral("Труба")}, {})
                .value();
        QVERIFY(!pipe.wasRead());
        QCOMPARE(added.size(), 1);
        QCOMPARE(ListNames(catalogue, QStringLiteral("Games")), QStringList{QStringLiteral("Есть")});
    }

    void cancelledImportWritesNothing_data()
    {
        QTest::addColumn<int>("setDuring"); // the file whose writing the flag is set during; 0: before
        QTest::newRow("before the first") << 0;
        QTest::newRow("while the first is written") << 1;
        QTest::newRow("while the last is written") << 3;
    }

    void cancelledImportWritesNothing()
    {
        QFETCH(int, setDuring);
        const QStringList files{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        for (const QString &name : files)
            writeEntry(name, name);
        const auto catalogue = OpenCatalogue(catalogueFile());
        std::atomic_bool cancel = setDuring == 0;
        int seen = 0;
        const auto beforeEach = [&](const QString &) {
            if (++seen == setDuring)
                cancel = true;
        };
        QVERIFY(!importEntries(catalogue, QStringLiteral("Games"), base(), files, {}, beforeEach, nullptr, &cancel));
        QCOMPARE(ListNames(catalogue, QStringLiteral("Games")), QStringList());
        // The same files, not cancelled, land.
        cancel = false;
        QCOMPARE(importEntries(catalogue, QStringLiteral("Games"), base(), files, {}, {}, nullptr, &cancel)->size(), 3);
    }

    void manyEntriesThroughOneStatement()
    {
        const auto catalogue = OpenCatalogue(catalogueFile());
        zv::Catalogue::Transaction transaction(*catalogue);
        zv::EntryAppender appender(catalogue, QStringLiteral("Games"));
        qint64 previous = 0;
        for (int i = 0; i < 500; ++i) {
            const qint64 id = appender.add(QStringLiteral("Имя %1").arg(i), QStringLiteral("Текст %1").arg(i));
            QVERIFY(id > previous);
            previous = id;
        }
        transaction.commit();
        QCOMPARE(ListNames(catalogue, QStringLiteral("Games")).size(), 500);
        QCOMPARE(storedText(catalogue, QStringLiteral("имя 499")), QStringLiteral("Текст 499"));
        // A table that is not there is refused before anything is written.
        QVERIFY_THROWS_EXCEPTION(zv::CatalogueError, zv::EntryAppender(catalogue, QStringLiteral("Nope")));
    }
};

QTEST_GUILESS_MAIN(TestEntryImport)
#include "tst_entryimport.moc"
