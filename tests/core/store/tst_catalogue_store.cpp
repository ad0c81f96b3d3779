#include "TempHome.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
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

QStringList schemaSql(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL", -1, &st, nullptr);
    QStringList sql;
    while (sqlite3_step(st) == SQLITE_ROW)
        sql << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sql;
}

// The sqlite3 command-line shell on `path`: its exit code, with what it printed in `output`.
int sqliteShell(const QString &path, const QString &sql, QString *output = nullptr)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStandardPaths::findExecutable(QStringLiteral("sqlite3")), {QStringLiteral("-bail"), path, sql});
    if (!shell.waitForFinished(30000))
        return -1;
    if (output)
        *output = QString::fromUtf8(shell.readAll());
    return shell.exitCode();
}

// What the earlier versions folded with: Qt's simple case folding.
void oldFold(sqlite3_context *context, int, sqlite3_value **argv)
{
    const QByteArray folded =
        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]))
            .toCaseFolded()
            .toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// A catalogue as earlier versions made it: an index over zv_fold(Name) on every table.
void makeLegacyCatalogue(const QString &path, const QStringList &games)
{
    CreateCatalogue(path);
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_create_function_v2(db, "zv_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, oldFold, nullptr, nullptr,
                               nullptr);
    for (const QString &table : zv::tableCreationOrder()) {
        const QByteArray sql =
            "CREATE INDEX \"zv_" + table.toUtf8() + "_name\" ON \"" + table.toUtf8() + "\"(zv_fold(Name))";
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Games (Name, Ref) VALUES (?1, ?2)", -1, &insert, nullptr);
    for (const QString &name : games) {
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(insert, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

bool mentionsFold(const QStringList &sql)
{
    return std::any_of(sql.begin(), sql.end(), [](const QString &s) { return s.contains(QLatin1String("zv_fold")); });
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

    void nameRowsAreTheNamesWithTheirRecordIds()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        // Bytes no program of ours writes, as another tool may: a byte order mark, broken UTF-8,
        // an empty name and a record without one.
        for (const char *sql :
             {"INSERT INTO Games VALUES (CAST(X'EFBBBF426F6D' AS TEXT), 'bom')",
              "INSERT INTO Games VALUES (CAST(X'FF61C3' AS TEXT), 'broken')", "INSERT INTO Games VALUES ('', 'empty')",
              "INSERT INTO Games VALUES (NULL, 'none')", "INSERT INTO Games VALUES ('Ёжик', 'ok')"})
            QCOMPARE(sqlite3_exec(db->handle(), sql, nullptr, nullptr, nullptr), SQLITE_OK);
        const zv::NameRows rows = ListNameRows(db, QStringLiteral("Games"));
        const QStringList names = ListNames(db, QStringLiteral("Games"));
        QCOMPARE(rows.size(), names.size());
        QCOMPARE(names.size(), 4);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows.at(i).toString(), names.at(i));
            QCOMPARE(FindRecord(db, QStringLiteral("Games"), rows.rowIdAt(i), names.at(i)).rowId, rows.rowIdAt(i));
        }
        QCOMPARE(rows.at(0).toString(), QStringLiteral("Bom"));
        QCOMPARE(rows.at(1).toString(), QStringLiteral("\uFFFDa\uFFFD"));
        QCOMPARE(rows.rowIdAt(3), 5);
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

    void lookupFoldsCaseFully()
    {
        zvtest::TempHome home;
        auto db = OpenCatalogue(catalogueIn(home));
        const QStringList names{QStringLiteral("Straße"), QStringLiteral("ΛΟΓΟΣ"), QStringLiteral("ſtar"),
                                QStringLiteral("İstanbul"), QStringLiteral("Pop")};
        for (const QString &name : names)
            AddEntry(db, QStringLiteral("Games"), name, name);
        auto refOf = [&](const QString &name) { return FindEntry(db, QStringLiteral("Games"), name).ref; };
        QCOMPARE(refOf(QStringLiteral("STRASSE")), QStringLiteral("Straße"));
        QCOMPARE(refOf(QStringLiteral("λογος")), QStringLiteral("ΛΟΓΟΣ"));
        QCOMPARE(refOf(QStringLiteral("STAR")), QStringLiteral("ſtar"));
        QCOMPARE(refOf(QStringLiteral("i\u0307stanbul")), QStringLiteral("İstanbul"));
        QCOMPARE(refOf(QStringLiteral("istanbul")), QString());
        QCOMPARE(refOf(QStringLiteral("Рор")), QString()); // Cyrillic look-alike
    }

    void lookupThroughTheListReadsOnlyItsRecords()
    {
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        auto db = OpenCatalogue(path);
        const qint64 first = AddEntry(db, QStringLiteral("OS"), QStringLiteral("Windows 7"), QStringLiteral("first"));
        const qint64 second = AddEntry(db, QStringLiteral("OS"), QStringLiteral("windows 7"), QStringLiteral("second"));
        for (int i = 0; i < 50; ++i)
            AddEntry(db, QStringLiteral("OS"), QStringLiteral("Other %1").arg(i), QString());

        // Every statement the lookup runs goes straight to its records, never through the table.
        QStringList statements;
        sqlite3_trace_v2(
            db->handle(), SQLITE_TRACE_STMT,
            [](unsigned, void *context, void *statement, void *) {
                static_cast<QStringList *>(context)->append(
                    QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt *>(statement))));
                return 0;
            },
            &statements);
        // The record asked for, not the first of its name.
        auto found = FindRecord(db, QStringLiteral("OS"), second, QStringLiteral("WINDOWS 7"));
        sqlite3_trace_v2(db->handle(), 0, nullptr, nullptr);
        QCOMPARE(found.ref, QStringLiteral("second"));
        QVERIFY(!statements.isEmpty());
        for (const QString &sql : std::as_const(statements)) {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db->handle(), (QStringLiteral("EXPLAIN QUERY PLAN ") + sql).toUtf8().constData(), -1,
                               &st, nullptr);
            QString plan;
            while (sqlite3_step(st) == SQLITE_ROW)
                plan += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 3)));
            sqlite3_finalize(st);
            QVERIFY2(plan.contains(QLatin1String("INTEGER PRIMARY KEY")) && !plan.contains(QLatin1String("SCAN")),
                     qPrintable(sql + QStringLiteral(": ") + plan));
        }

        // Another program renamed the second: of two records left of the name, neither is taken
        // for it; once one is left, that one is.
        auto other = OpenCatalogue(path);
        auto renamed = FindRecord(other, QStringLiteral("OS"), second, QStringLiteral("Windows 7"));
        UpdateEntry(renamed, QStringLiteral("Vista"), QStringLiteral("renamed"));
        AddEntry(other, QStringLiteral("OS"), QStringLiteral("WINDOWS 7"), QStringLiteral("third"));
        found = FindRecord(db, QStringLiteral("OS"), second, QStringLiteral("Windows 7"));
        QVERIFY(!found.found());
        QCOMPARE(found.matches, 2);
        auto theirs = FindRecord(other, QStringLiteral("OS"), first, QStringLiteral("Windows 7"));
        DeleteEntry(theirs);
        QCOMPARE(FindRecord(db, QStringLiteral("OS"), second, QStringLiteral("Windows 7")).ref,
                 QStringLiteral("third"));
        QVERIFY(!FindRecord(db, QStringLiteral("OS"), -1, QStringLiteral("Windows 8")).found());
    }

    void otherToolsEditANewCatalogue()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 shell is not installed (Debian package sqlite3)");
        zvtest::TempHome home;
        const QString path = catalogueIn(home);
        QVERIFY(!mentionsFold(schemaSql(path)));
        QString output;
        QCOMPARE(sqliteShell(path,
                             QStringLiteral("INSERT INTO Games (Name, Ref) VALUES ('Doom', 'IDDQD');"
                                            "UPDATE Games SET Name = 'Doom II';"),
                             &output),
                 0);
        QCOMPARE(FindEntry(OpenCatalogue(path), QStringLiteral("Games"), QStringLiteral("doom ii")).ref,
                 QStringLiteral("IDDQD"));
    }

    void oldIndexesAreDroppedSoOtherToolsCanEdit()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 shell is not installed (Debian package sqlite3)");
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        QStringList games{QStringLiteral("Doom"), QStringLiteral("Straße"), QStringLiteral("ΛΟΓΟΣ")};
        for (int i = 0; i < 500; ++i)
            games << QStringLiteral("Игра %1").arg(i);
        makeLegacyCatalogue(path, games);
        // What users met: any other tool fails to change the file.
        QString output;
        QVERIFY(sqliteShell(path, QStringLiteral("INSERT INTO Games (Name, Ref) VALUES ('x', 'y');"), &output) != 0);
        QVERIFY2(output.contains(QLatin1String("zv_fold")), qPrintable(output));

        auto db = OpenCatalogue(path);
        QVERIFY(!mentionsFold(schemaSql(path)));
        QCOMPARE(schemaOf(path), zv::tableCreationOrder());
        QCOMPARE(ListNames(db, QStringLiteral("Games")), games);
        QCOMPARE(FindEntry(db, QStringLiteral("Games"), QStringLiteral("STRASSE")).ref, QStringLiteral("Straße"));

        QCOMPARE(sqliteShell(path,
                             QStringLiteral("INSERT INTO Games (Name, Ref) VALUES ('Quake', 'text');"
                                            "UPDATE Games SET Name = 'Doom II' WHERE Name = 'Doom';"
                                            "DELETE FROM Games WHERE Name = 'Straße';"
                                            "PRAGMA integrity_check;"),
                             &output),
                 0);
        QCOMPARE(output.trimmed(), QStringLiteral("ok"));
        const QStringList names = ListNames(db, QStringLiteral("Games"));
        QCOMPARE(names.size(), games.size());
        QVERIFY(names.contains(QStringLiteral("Doom II")) && names.contains(QStringLiteral("Quake")));
        QVERIFY(!names.contains(QStringLiteral("Straße")));
        QCOMPARE(FindEntry(db, QStringLiteral("Games"), QStringLiteral("QUAKE")).ref, QStringLiteral("text"));
    }

    void oldIndexesOfABusyFileStayUsableUntilTheNextOpening()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        makeLegacyCatalogue(path, {QStringLiteral("Straße"), QStringLiteral("Doom")});
        sqlite3 *holder = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &holder, SQLITE_OPEN_READWRITE, nullptr);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        zv::setCatalogueBusyTimeout(20);
        auto db = OpenCatalogue(path);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        zv::setCatalogueBusyTimeout(5000);
        QVERIFY(mentionsFold(schemaSql(path)));
        // This connection still writes through the old index, keeping it sound.
        AddEntry(db, QStringLiteral("Games"), QStringLiteral("STRASSE"), QStringLiteral("new"));
        auto doom = FindEntry(db, QStringLiteral("Games"), QStringLiteral("Doom"));
        UpdateEntry(doom, QStringLiteral("Doom II"), QStringLiteral("changed"));
        auto sharp = FindEntry(db, QStringLiteral("Games"), QStringLiteral("Straße"));
        DeleteEntry(sharp);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db->handle(), "PRAGMA integrity_check", -1, &st, nullptr);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))), QStringLiteral("ok"));
        sqlite3_finalize(st);
        db.reset();
        auto reopened = OpenCatalogue(path);
        QVERIFY(!mentionsFold(schemaSql(path)));
        QCOMPARE(ListNames(reopened, QStringLiteral("Games")),
                 (QStringList{QStringLiteral("Doom II"), QStringLiteral("STRASSE")}));
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
