#include "TempHome.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using zv::CatalogueError;

namespace {

QString catalogueIn(const zvtest::TempHome &home)
{
    const QString path = home.file(QStringLiteral("Zorvanell.dat"));
    CreateCatalogue(path);
    return path;
}

QStringList schemaOf(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid", -1, &st, nullptr);
    QStringList tables;
    while (sqlite3_step(st) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return tables;
}

} // namespace

class TestCatalogueStore : public QObject
{
    Q_OBJECT

private slots:
    void newCatalogueHasNineEmptyTablesInOrder()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        QCOMPARE(schemaOf(path), zv::tableCreationOrder());
        auto db = OpenCatalogue(path);
        for (const zv::Category &c : zv::categories())
            QVERIFY(ListNames(db, c.table).isEmpty());
        // Nothing else is left in the folder.
        QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{QStringLiteral("Zorvanell.dat")});
        QVERIFY_THROWS_EXCEPTION(CatalogueError, CreateCatalogue(path));
    }

    void tablesHoldExactlyNameAndRef()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA table_info(Games)", -1, &st, nullptr);
        QStringList columns;
        while (sqlite3_step(st) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        QCOMPARE(columns, (QStringList{QStringLiteral("Name"), QStringLiteral("Ref")}));
    }

    void lookupIgnoresCaseForCyrillicAndLatin()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        AddEntry(db, QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        AddEntry(db, QStringLiteral("Games"), QStringLiteral("Ёжик в тумане"), QStringLiteral("Лошадка"));
        QCOMPARE(FindEntry(db, QStringLiteral("Games"), QStringLiteral("DOOM")).ref, QStringLiteral("IDDQD"));
        QCOMPARE(FindEntry(db, QStringLiteral("Games"), QStringLiteral("ёЖИК В ТУМАНЕ")).ref,
                 QStringLiteral("Лошадка"));
        // ё and е stay distinct, and a prefix is not a match.
        QVERIFY(!FindEntry(db, QStringLiteral("Games"), QStringLiteral("Ежик в тумане")).found());
        QVERIFY(!FindEntry(db, QStringLiteral("Games"), QStringLiteral("Doo")).found());
        // Other tables are not searched.
        QVERIFY(!FindEntry(db, QStringLiteral("Programs"), QStringLiteral("Doom")).found());
    }

    void namesWithQuotesAreData()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        const QString tricky = QStringLiteral("Sid Meier's Pirates'); DROP TABLE Games; --");
        AddEntry(db, QStringLiteral("Games"), tricky, QStringLiteral("text"));
        AddEntry(db, QStringLiteral("Games"), QStringLiteral("Other"), QStringLiteral("other"));
        auto found = FindEntry(db, QStringLiteral("Games"), tricky.toUpper());
        QVERIFY(found.found());
        UpdateEntry(found, QStringLiteral("O'Brien"), QStringLiteral("changed"));
        auto changed = FindEntry(db, QStringLiteral("Games"), QStringLiteral("o'brien"));
        QCOMPARE(changed.ref, QStringLiteral("changed"));
        DeleteEntry(changed);
        QCOMPARE(ListNames(db, QStringLiteral("Games")), QStringList{QStringLiteral("Other")});
    }

    void duplicatesActOnTheFirstRecordOnly()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        AddEntry(db, QStringLiteral("OS"), QStringLiteral("Windows 7"), QStringLiteral("first"));
        AddEntry(db, QStringLiteral("OS"), QStringLiteral("windows 7"), QStringLiteral("second"));
        auto found = FindEntry(db, QStringLiteral("OS"), QStringLiteral("Windows 7"));
        QCOMPARE(found.matches, 2);
        QCOMPARE(found.ref, QStringLiteral("first"));
        DeleteEntry(found);
        QVERIFY(!found.found());
        // The result no longer refers to any record: a second delete or an update must not
        // touch the remaining duplicate.
        QVERIFY_THROWS_EXCEPTION(CatalogueError, DeleteEntry(found));
        QVERIFY_THROWS_EXCEPTION(CatalogueError, UpdateEntry(found, QStringLiteral("x"), QStringLiteral("y")));
        auto rest = FindEntry(db, QStringLiteral("OS"), QStringLiteral("WINDOWS 7"));
        QCOMPARE(rest.ref, QStringLiteral("second"));
        QCOMPARE(rest.matches, 1);
    }

    void recordDeletedElsewhereIsReported()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        auto first = OpenCatalogue(path);
        auto second = OpenCatalogue(path);
        AddEntry(first, QStringLiteral("Tech"), QStringLiteral("Kettle"), QStringLiteral("boils"));
        auto mine = FindEntry(first, QStringLiteral("Tech"), QStringLiteral("Kettle"));
        auto theirs = FindEntry(second, QStringLiteral("Tech"), QStringLiteral("Kettle"));
        DeleteEntry(theirs);
        QVERIFY_THROWS_EXCEPTION(CatalogueError, UpdateEntry(mine, QStringLiteral("Kettle"), QStringLiteral("x")));
        QVERIFY(ListNames(first, QStringLiteral("Tech")).isEmpty());
    }

    void saveIsSeenByAnotherConnectionAtOnce()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        auto reader = OpenCatalogue(path);
        auto writer = OpenCatalogue(path);
        AddEntry(writer, QStringLiteral("Movie"), QStringLiteral("Матрица"), QStringLiteral("Нео"));
        QCOMPARE(ListNames(reader, QStringLiteral("Movie")), QStringList{QStringLiteral("Матрица")});
        // The store's own order is the order of adding, not alphabetical.
        AddEntry(writer, QStringLiteral("Movie"), QStringLiteral("Аватар"), QString());
        QCOMPARE(ListNames(reader, QStringLiteral("Movie")),
                 (QStringList{QStringLiteral("Матрица"), QStringLiteral("Аватар")}));
    }

    void transactionIsAllOrNothing()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        {
            zv::Catalogue::Transaction transaction(*db);
            AddEntry(db, QStringLiteral("Other"), QStringLiteral("a"), QString());
            AddEntry(db, QStringLiteral("Other"), QStringLiteral("b"), QString());
        }
        QVERIFY(ListNames(db, QStringLiteral("Other")).isEmpty());
        {
            zv::Catalogue::Transaction transaction(*db);
            AddEntry(db, QStringLiteral("Other"), QStringLiteral("a"), QString());
            transaction.commit();
        }
        QCOMPARE(ListNames(db, QStringLiteral("Other")).size(), 1);
    }

    void lookupUsesTheIndex()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(
            db->handle(), "EXPLAIN QUERY PLAN SELECT rowid, Name, Ref FROM \"Games\" WHERE zv_fold(Name) = zv_fold(?1)",
            -1, &st, nullptr);
        QString plan;
        while (sqlite3_step(st) == SQLITE_ROW)
            plan += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 3)));
        sqlite3_finalize(st);
        QVERIFY2(plan.contains(QLatin1String("USING INDEX")), qPrintable(plan));
    }

    void missingTableOpensButThatCategoryReports()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(raw, "DROP TABLE Movie", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        auto db = OpenCatalogue(path);
        QVERIFY(!db->hasTable(QStringLiteral("Movie")));
        QVERIFY(db->hasTable(QStringLiteral("Games")));
        try {
            ListNames(db, QStringLiteral("Movie"));
            QFAIL("a missing table must be reported");
        } catch (const CatalogueError &e) {
            QVERIFY(e.message().contains(QStringLiteral("Фильмы")));
        }
    }

    void badFilesAreRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("пуст");
        QByteArray random;
        for (int i = 0; i < 8192; ++i)
            random.append(char((i * 7919 + 13) % 251));
        QTest::newRow("random") << random << QStringLiteral("неизвестный формат");
        QByteArray jet(4096, '\0');
        jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
        QTest::newRow("jet") << jet << QStringLiteral("Microsoft Jet");
        QTest::newRow("sqlite header only") << QByteArray("SQLite format 3\0", 16) << QStringLiteral("обрезан");
    }

    void badFilesAreRefusedAndLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        zvtest::TempHome home;
        home.write(QStringLiteral("Zorvanell.dat"), content);
        try {
            OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            QFAIL("a bad file must be refused");
        } catch (const CatalogueError &e) {
            QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
            QVERIFY(e.message().contains(home.file(QStringLiteral("Zorvanell.dat"))));
        }
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), content);
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Zorvanell.dat")});
    }

    void truncatedAndForeignCataloguesAreRefused()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        {
            auto db = OpenCatalogue(path);
            for (int i = 0; i < 300; ++i)
                AddEntry(db, QStringLiteral("Games"), QStringLiteral("Entry %1").arg(i),
                         QString(400, QLatin1Char('x')));
        }
        QByteArray whole = home.read(QStringLiteral("Zorvanell.dat"));
        const QByteArray truncated = whole.left(whole.size() / 2);
        home.write(QStringLiteral("Zorvanell.dat"), truncated);
        QVERIFY_THROWS_EXCEPTION(CatalogueError, OpenCatalogue(path));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), truncated);

        // An SQLite file of another program: no category table at all.
        QFile::remove(path);
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_exec(raw, "CREATE TABLE notes(id INTEGER, body TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        const QByteArray foreign = home.read(QStringLiteral("Zorvanell.dat"));
        QVERIFY_THROWS_EXCEPTION(CatalogueError, OpenCatalogue(path));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), foreign);
    }

    void lockedIsNotDamaged()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        zv::setCatalogueBusyTimeout(20);
        sqlite3 *holder = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &holder, SQLITE_OPEN_READWRITE, nullptr);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        try {
            OpenCatalogue(path);
            QFAIL("a locked catalogue cannot be read");
        } catch (const CatalogueError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("занят")), qPrintable(e.message()));
            QVERIFY(!e.message().contains(QStringLiteral("повреждён")));
        }
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        zv::setCatalogueBusyTimeout(5000);
        QVERIFY(OpenCatalogue(path)->hasTable(QStringLiteral("Games")));
    }

    void folderInPlaceOfTheFile()
    {
        zvtest::TempHome home;
        QDir(home.path()).mkdir(QStringLiteral("Zorvanell.dat"));
        QVERIFY(zv::catalogueFileProblem(home.file(QStringLiteral("Zorvanell.dat"))).contains(QStringLiteral("папка")));
        QVERIFY_THROWS_EXCEPTION(CatalogueError, OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat"))));
        QVERIFY(QFileInfo(home.file(QStringLiteral("Zorvanell.dat"))).isDir());
    }

    void unreadableFile()
    {
        if (geteuid() == 0)
            QSKIP("root reads files without read permission");
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        ::chmod(QFile::encodeName(path).constData(), 0);
        QVERIFY(zv::catalogueFileProblem(path).contains(QStringLiteral("нет прав")));
        ::chmod(QFile::encodeName(path).constData(), 0644);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueStore)
#include "tst_catalogue_store.moc"
