// The sorted lists kept beside the catalogue: whatever happened to a list's file (missing,
// damaged, another catalogue's, out of date after another program's edit, cut short by a kill)
// and whatever change the program made, the list shown equals the catalogue's names sorted the
// slow way, and a file that still matches is used rather than made anew.
#include "TempHome.h"
#include "core/TextCodec.h"
#include "core/lists/ListFile.h"
#include "core/lists/SortedLists.h"
#include "core/session/CatalogueSession.h"
#include "core/store/NameCollation.h"
#include "core/store/NameListModel.h"
#include "core/store/OwnCommits.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace {

const QString kGames = QStringLiteral("Games");
const QString kOther = QStringLiteral("Other");
const QString kTech = QStringLiteral("Tech");

// Names that sort and fold in every way the list knows: letter case, ё, Latin before Cyrillic, equal names.
QStringList someNames(int count, const QString &tag)
{
    static const QStringList words = {QStringLiteral("Doom"),  QStringLiteral("doom"),   QStringLiteral("Ёлка"),
                                      QStringLiteral("елка"),  QStringLiteral("Straße"), QStringLiteral("STRASSE"),
                                      QStringLiteral("Сапёр"), QStringLiteral("zip"),    QStringLiteral("Яндекс")};
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << words.at(i % words.size()) + (i % 3 ? QStringLiteral(" %1 %2").arg(tag).arg(i / 3) : QString());
    return names;
}

void execSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// The slow reference: every name by a plain query, in record order, sorted stably with the collation.
QStringList reference(const QString &path, const QString &table)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(
        db, QByteArray("SELECT Name FROM " + table.toUtf8() + " WHERE Name IS NOT NULL ORDER BY rowid").constData(), -1,
        &select, nullptr);
    QStringList names;
    while (sqlite3_step(select) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(select, 0)));
    sqlite3_finalize(select);
    sqlite3_close(db);
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return zv::collatesBefore(a, b); });
    return names;
}

quint64 inodeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? quint64(info.st_ino) : 0;
}

void flipByte(const QString &path, qint64 at)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    if (at < 0)
        at += file.size();
    QVERIFY(file.seek(at));
    char byte = 0;
    QVERIFY(file.getChar(&byte));
    QVERIFY(file.seek(at));
    QVERIFY(file.putChar(char(byte ^ 0x10)));
}

struct Catalogue
{
    zvtest::TempHome home;
    QString path = home.file(QStringLiteral("Zorvanell.dat"));

    explicit Catalogue(const QString &tag = QStringLiteral("a"))
    {
        CreateCatalogue(path);
        const zv::CatalogueConnection db = OpenCatalogue(path);
        zv::Catalogue::Transaction transaction(*db);
        for (const QString &table : {kGames, kOther, kTech}) {
            for (const QString &name : someNames(table == kGames ? 300 : 30, tag + table))
                AddEntry(db, table, name, QStringLiteral("text of ") + name);
        }
        transaction.commit();
    }
    QString listFile(const QString &table) const
    {
        return zv::lists::SortedLists::folderOf(path) + QLatin1Char('/') + table;
    }
    // What a session started afresh shows for `table`, once the list files it writes are written.
    QStringList shown(const QString &table) const
    {
        zv::CatalogueSession session(path);
        session.showCategory(table);
        session.sortedLists().waitForWrites();
        return session.names().names();
    }
};

enum class Change { Add, Edit, Delete, Move, Update, UndoAdd, UndoDelete, UndoMove, RedoMove };

} // namespace

Q_DECLARE_METATYPE(Change)

namespace {

void select(zv::CatalogueSession &session, int row)
{
    session.selectRow(row);
    QVERIFY(session.findCurrentRecord());
}

void make(zv::CatalogueSession &session, Change change, const zvtest::TempHome &home)
{
    switch (change) {
    case Change::Add:
    case Change::UndoAdd:
        session.addEntry(QStringLiteral("Арканоид"), QStringLiteral("new"));
        break;
    case Change::Edit:
        select(session, 5);
        session.editEntry(session.selectedRowId(), session.selectedName(), session.CurrentRecord().ref,
                          QStringLiteral("aaa renamed"), QStringLiteral("edited"));
        break;
    case Change::Delete:
    case Change::UndoDelete:
        select(session, 7);
        session.deleteCurrent();
        break;
    case Change::Move:
    case Change::UndoMove:
    case Change::RedoMove:
        select(session, 3);
        session.moveCurrent(kOther, session.selectedName(), session.CurrentRecord().ref);
        break;
    case Change::Update: {
        const QString folder = home.file(QStringLiteral("served"));
        QDir().mkpath(folder);
        QStringList files;
        for (const QString &name : someNames(40, QStringLiteral("served"))) {
            const QString file = QString(name).replace(QLatin1Char(' '), QLatin1Char('_'));
            QFile entry(folder + QLatin1Char('/') + file);
            QVERIFY(entry.open(QIODevice::WriteOnly));
            entry.write(zv::toCp1251(QStringLiteral("served")));
            files << file;
        }
        zv::UpdateBatch batch = session.beginUpdateBatch();
        std::thread worker([&] { batch.run(folder, files, {}, nullptr); });
        worker.join();
        QVERIFY(batch.added() > 0);
        session.finishUpdateBatch(std::move(batch));
        break;
    }
    }
    if (change == Change::UndoAdd || change == Change::UndoDelete || change == Change::UndoMove ||
        change == Change::RedoMove)
        QCOMPARE(session.undo(), QString());
    if (change == Change::RedoMove)
        QCOMPARE(session.redo(), QString());
}

// The list writer the kill test stops: writes two lists in turn into one file until killed.
int writeUntilKilled(const QString &file)
{
    zv::NameList first, second;
    first.assign(someNames(60000, QStringLiteral("one")));
    second.assign(someNames(50000, QStringLiteral("two")));
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 0;; ++i)
        zv::lists::writeList(file, kGames, i % 2 ? second : first, i % 2 ? "two" : "one");
}

} // namespace

class TestSortedLists : public QObject
{
    Q_OBJECT

private slots:
    void aFileIsUsedOnlyWhileItMatchesTheCatalogue_data()
    {
        QTest::addColumn<QString>("happening");
        QTest::addColumn<bool>("madeAnew");
        QTest::newRow("untouched") << "" << false;
        QTest::newRow("missing") << "remove" << true;
        QTest::newRow("truncated") << "truncate" << true;
        QTest::newRow("a name's byte flipped") << "flip -1" << true;
        QTest::newRow("a record id's byte flipped") << "flip 4096" << true;
        QTest::newRow("the header's byte flipped") << "flip 10" << true;
        QTest::newRow("the state's byte flipped") << "flip 1026" << true;
        QTest::newRow("another catalogue's") << "foreign" << true;
        QTest::newRow("the category edited by the sqlite3 shell") << "shell Games" << true;
        QTest::newRow("another category edited by the sqlite3 shell") << "shell Tech" << true;
        // WAL mode: the counter says nothing, so the names are read from the catalogue every time.
        QTest::newRow("edited in WAL mode") << "wal" << false;
    }
    void aFileIsUsedOnlyWhileItMatchesTheCatalogue()
    {
        QFETCH(QString, happening);
        QFETCH(bool, madeAnew);
        const Catalogue catalogue;
        const QString file = catalogue.listFile(kGames);
        QCOMPARE(catalogue.shown(kGames), reference(catalogue.path, kGames));
        const quint64 before = inodeOf(file);
        QVERIFY(before != 0);

        const QStringList words = happening.split(QLatin1Char(' '));
        if (happening == QLatin1String("remove")) {
            QVERIFY(QFile::remove(file));
        } else if (happening == QLatin1String("truncate")) {
            QVERIFY(QFile::resize(file, QFileInfo(file).size() - 7));
        } else if (words.first() == QLatin1String("flip")) {
            flipByte(file, words.at(1).toLongLong());
        } else if (happening == QLatin1String("foreign")) {
            const Catalogue other(QStringLiteral("b"));
            other.shown(kGames);
            QVERIFY(QFile::remove(file));
            QVERIFY(QFile::copy(other.listFile(kGames), file));
        } else if (words.first() == QLatin1String("shell")) {
            execSql(catalogue.path,
                    QByteArray("INSERT INTO " + words.at(1).toUtf8() + " VALUES ('Added by hand', 'x')").constData());
            execSql(catalogue.path, "UPDATE Games SET Name = 'Renamed by hand' WHERE rowid = 2");
        } else if (happening == QLatin1String("wal")) {
            execSql(catalogue.path, "PRAGMA journal_mode = WAL; UPDATE Games SET Name = 'In WAL' WHERE rowid = 2");
        }
        const quint64 changed = inodeOf(file);
        QCOMPARE(catalogue.shown(kGames), reference(catalogue.path, kGames));
        QCOMPARE(inodeOf(file) != changed, madeAnew);
        // A file made anew is used from then on.
        const quint64 made = inodeOf(file);
        QCOMPARE(catalogue.shown(kGames), reference(catalogue.path, kGames));
        QCOMPARE(inodeOf(file), made);
    }

    void theProgramsOwnChangesKeepEveryListTrue_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("otherKept"); // the move's target is touched, the rest not
        QTest::newRow("add") << Change::Add << true;
        QTest::newRow("edit") << Change::Edit << true;
        QTest::newRow("delete") << Change::Delete << true;
        QTest::newRow("move") << Change::Move << false;
        QTest::newRow("update") << Change::Update << true;
        QTest::newRow("undo of an add") << Change::UndoAdd << true;
        QTest::newRow("undo of a delete") << Change::UndoDelete << true;
        QTest::newRow("undo of a move") << Change::UndoMove << false;
        QTest::newRow("redo of a move") << Change::RedoMove << false;
    }
    void theProgramsOwnChangesKeepEveryListTrue()
    {
        QFETCH(Change, change);
        QFETCH(bool, otherKept);
        const Catalogue catalogue;
        catalogue.shown(kOther);
        catalogue.shown(kTech);
        const quint64 other = inodeOf(catalogue.listFile(kOther));
        const quint64 tech = inodeOf(catalogue.listFile(kTech));
        {
            zv::CatalogueSession session(catalogue.path);
            session.showCategory(kGames);
            make(session, change, catalogue.home);
            const QString changed = session.CurrentTable();
            QCOMPARE(session.names().names(), reference(catalogue.path, changed));
            // Shown again before the files have followed: its file and the changes since.
            session.showCategory(kTech);
            session.showCategory(changed);
            QCOMPARE(session.names().names(), reference(catalogue.path, changed));
            QTest::qWait(1); // the files follow once the change is done
            session.sortedLists().waitForWrites();
        }
        const QByteArray now = zv::readCatalogueState(OpenCatalogue(catalogue.path)->handle(), catalogue.path).text;
        for (const QString &table : {kGames, kOther, kTech}) {
            // Every file matches the catalogue now, and is used as it is.
            QVERIFY(zv::lists::mapList(catalogue.listFile(table), table, now));
            const quint64 inode = inodeOf(catalogue.listFile(table));
            QCOMPARE(catalogue.shown(table), reference(catalogue.path, table));
            QCOMPARE(inodeOf(catalogue.listFile(table)), inode);
        }
        // An untouched category's file was restamped, not made anew.
        QCOMPARE(inodeOf(catalogue.listFile(kTech)), tech);
        QCOMPARE(inodeOf(catalogue.listFile(kOther)) == other, otherKept);
    }

    void aWriteKilledLeavesTheOldFileOrNone()
    {
        const zvtest::TempHome home;
        const QString folder = zv::lists::SortedLists::folderOf(home.file(QStringLiteral("Zorvanell.dat")));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/Games");
        zv::NameList one, two;
        one.assign(someNames(60000, QStringLiteral("one")));
        two.assign(someNames(50000, QStringLiteral("two")));
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        int whole = 0;
        for (int kill = 0; kill < 12; ++kill) {
            QProcess writer;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("ZV_LIST_WRITER"), file);
            writer.setProcessEnvironment(environment);
            writer.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer.waitForReadyRead(60000));
            QTest::qSleep(int(random.bounded(400)));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(60000));
            // Whichever file is in place is whole; a torn one is never taken.
            for (const auto &[state, list] : {std::pair{"one", &one}, std::pair{"two", &two}}) {
                zv::NameList mapped;
                if (std::optional<zv::NameColumns> columns = zv::lists::mapList(file, kGames, state)) {
                    mapped.assignSorted(std::move(*columns));
                    QCOMPARE(mapped.names(), list->names());
                    QCOMPARE(mapped.firstWithPrefix(QStringLiteral("ЁЛК")),
                             list->firstWithPrefix(QStringLiteral("ЁЛК")));
                    ++whole;
                }
            }
        }
        QVERIFY(whole > 0);
        // The temporary files the kills left are cleared away.
        zv::lists::SortedLists lists(home.file(QStringLiteral("Zorvanell.dat")));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Games")});
    }
};

int main(int argc, char *argv[])
{
    if (const QByteArray file = qgetenv("ZV_LIST_WRITER"); !file.isEmpty())
        return writeUntilKilled(QString::fromLocal8Bit(file));
    QCoreApplication app(argc, argv);
    TestSortedLists test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sorted_lists.moc"
