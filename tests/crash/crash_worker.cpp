// Does to a catalogue what the program does, for tst_crash to kill at any moment:
//   crash_worker update <catalogue> <table> <folder>   adds the entry files of <folder> to <table>
//                                                      (the catalogue update's import, one transaction)
//   crash_worker moves <catalogue> <seed> <count>      moves <count> entries, each to another category
//   crash_worker index <catalogue>                     builds the full-text index of the catalogue
//   crash_worker index-edits <catalogue> <seed> <count> edits, adds and deletes entries of Games, the
//                                                      index following each change
//   crash_worker history <catalogue> <seed> <count>    adds, edits, deletes and moves entries of Programs
//                                                      through the catalogue session, and undoes and redoes
//                                                      them, each change recorded in the history
// Prints "ready" just before the work starts and "done writes=<n>" once all of it has landed, n being
// the writes to the database files (and their WAL files). With ZV_DIE_AFTER_WRITES=<k> in the environment the worker
// dies at once, as if killed, right after its k-th such write.
#include "core/search/SearchIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/store/EntryMove.h"
#include "core/update/EntryImport.h"

#include <QCoreApplication>
#include <QHash>
#include <QRandomGenerator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// A file system layer over SQLite's own that counts the writes to the database files themselves
// and their WAL files (not the rollback journals) and ends the process after the chosen one: a kill that lands exactly
// between two writes, which a timed SIGKILL only hits by chance.
namespace dying {

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;
long g_writes = 0;
long g_dieAfter = 0;

struct File
{
    sqlite3_file base;
    bool mainDatabase;
    sqlite3_file *real() { return reinterpret_cast<sqlite3_file *>(this + 1); }
};

File *of(sqlite3_file *file)
{
    return reinterpret_cast<File *>(file);
}

int close(sqlite3_file *f)
{
    return of(f)->real()->pMethods->xClose(of(f)->real());
}
int read(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    return of(f)->real()->pMethods->xRead(of(f)->real(), buffer, amount, offset);
}
int write(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    const int rc = of(f)->real()->pMethods->xWrite(of(f)->real(), buffer, amount, offset);
    if (of(f)->mainDatabase && ++g_writes == g_dieAfter)
        ::_exit(9);
    return rc;
}
int truncate(sqlite3_file *f, sqlite3_int64 size)
{
    return of(f)->real()->pMethods->xTruncate(of(f)->real(), size);
}
int sync(sqlite3_file *f, int flags)
{
    return of(f)->real()->pMethods->xSync(of(f)->real(), flags);
}
int fileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return of(f)->real()->pMethods->xFileSize(of(f)->real(), size);
}
int lock(sqlite3_file *f, int level)
{
    return of(f)->real()->pMethods->xLock(of(f)->real(), level);
}
int unlock(sqlite3_file *f, int level)
{
    return of(f)->real()->pMethods->xUnlock(of(f)->real(), level);
}
int checkReservedLock(sqlite3_file *f, int *out)
{
    return of(f)->real()->pMethods->xCheckReservedLock(of(f)->real(), out);
}
int fileControl(sqlite3_file *f, int op, void *arg)
{
    return of(f)->real()->pMethods->xFileControl(of(f)->real(), op, arg);
}
int sectorSize(sqlite3_file *f)
{
    return of(f)->real()->pMethods->xSectorSize(of(f)->real());
}
int deviceCharacteristics(sqlite3_file *f)
{
    return of(f)->real()->pMethods->xDeviceCharacteristics(of(f)->real());
}

int shmMap(sqlite3_file *f, int region, int size, int extend, void volatile **out)
{
    return of(f)->real()->pMethods->xShmMap(of(f)->real(), region, size, extend, out);
}
int shmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return of(f)->real()->pMethods->xShmLock(of(f)->real(), offset, n, flags);
}
void shmBarrier(sqlite3_file *f)
{
    of(f)->real()->pMethods->xShmBarrier(of(f)->real());
}
int shmUnmap(sqlite3_file *f, int deleteFlag)
{
    return of(f)->real()->pMethods->xShmUnmap(of(f)->real(), deleteFlag);
}

// Version 2: the shared memory a WAL file needs (the history's); no memory mapping.
sqlite3_io_methods methods()
{
    sqlite3_io_methods m{};
    m.iVersion = 2;
    m.xShmMap = shmMap;
    m.xShmLock = shmLock;
    m.xShmBarrier = shmBarrier;
    m.xShmUnmap = shmUnmap;
    m.xClose = close;
    m.xRead = read;
    m.xWrite = write;
    m.xTruncate = truncate;
    m.xSync = sync;
    m.xFileSize = fileSize;
    m.xLock = lock;
    m.xUnlock = unlock;
    m.xCheckReservedLock = checkReservedLock;
    m.xFileControl = fileControl;
    m.xSectorSize = sectorSize;
    m.xDeviceCharacteristics = deviceCharacteristics;
    return m;
}
const sqlite3_io_methods kMethods = methods();

int open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    File *shim = of(file);
    shim->base.pMethods = nullptr;
    shim->mainDatabase = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL)) != 0;
    const int rc = g_real->xOpen(g_real, name, shim->real(), flags, outFlags);
    if (rc == SQLITE_OK)
        shim->base.pMethods = &kMethods;
    return rc;
}

void install()
{
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.iVersion = 1;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.zName = "dying";
    g_vfs.xOpen = open;
    if (const char *after = std::getenv("ZV_DIE_AFTER_WRITES"))
        g_dieAfter = std::atol(after);
    sqlite3_vfs_register(&g_vfs, 1);
}

} // namespace dying

void done()
{
    std::printf("done writes=%ld\n", dying::g_writes);
    std::fflush(stdout);
}

int update(const QString &path, const QString &table, const QString &folder)
{
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    const QStringList files = zv::update::entryFilesIn(folder);
    // The names present, as the main list holds them and tests them.
    zv::NameList present;
    present.assign(ListNameRows(catalogue, table));
    present.waitForIndex();
    say("ready");
    zv::update::importEntries(catalogue, table, folder, files,
                              [&](const QString &name) { return present.containsIgnoringCase(name); });
    done();
    return 0;
}

int moves(const QString &path, quint32 seed, int count)
{
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    const QStringList tables = zv::tableCreationOrder();
    QHash<QString, QString> tableOf;
    QStringList names;
    for (const QString &table : tables) {
        for (const QString &name : ListNames(catalogue, table)) {
            tableOf.insert(name, table);
            names << name;
        }
    }
    if (names.isEmpty())
        return 2;
    QRandomGenerator random(seed);
    say("ready");
    for (int i = 0; i < count; ++i) {
        const QString name = names.at(random.bounded(int(names.size())));
        const QString from = tableOf.value(name);
        QString to = from;
        while (to == from)
            to = tables.at(random.bounded(int(tables.size())));
        // As the main window does: the record the selection found, moved with its text.
        zv::FindResult record = FindEntry(catalogue, from, name);
        zv::moveEntry(record, to, record.name, record.ref);
        tableOf.insert(name, to);
    }
    done();
    return 0;
}

int index(const QString &path)
{
    say("ready");
    zv::search::SearchIndex index(path);
    if (!index.waitForIdle(600000) || index.state() != zv::search::SearchIndex::State::Ready)
        return 3;
    done();
    return 0;
}

// Texts of the entries the index tests: one marker word of ten, counted back after a kill.
QString markedText(QRandomGenerator &random)
{
    return QStringLiteral("Текст с меткой метка%1, и ещё слова для объёма: секрет, уровень, код.")
        .arg(random.bounded(10));
}

int indexEdits(const QString &path, quint32 seed, int count)
{
    const QString table = QStringLiteral("Games");
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    zv::search::SearchIndex index(path);
    if (!index.waitForIdle(600000))
        return 3;
    QRandomGenerator random(seed);
    say("ready");
    for (int i = 0; i < count; ++i) {
        const QStringList names = ListNames(catalogue, table);
        const int kind = random.bounded(3);
        if (kind == 0 || names.isEmpty()) {
            const QString name = QStringLiteral("Новая %1 %2").arg(seed).arg(i);
            index.entriesChanged(table, {AddEntry(catalogue, table, name, markedText(random))});
            continue;
        }
        zv::FindResult record = FindEntry(catalogue, table, names.at(random.bounded(int(names.size()))));
        const qint64 rowId = record.rowId;
        if (kind == 1) {
            UpdateEntry(record, record.name, markedText(random));
            index.entriesChanged(table, {rowId});
        } else {
            DeleteEntry(record);
            index.entriesRemoved(table, {rowId});
        }
    }
    index.waitForIdle(600000);
    done();
    return 0;
}

int historyChanges(const QString &path, quint32 seed, int count)
{
    const QString table = QStringLiteral("Programs");
    zv::CatalogueSession session(path);
    session.showCategory(table);
    if (!session.historyOn())
        return 4;
    QRandomGenerator random(seed);
    say("ready");
    for (int i = 0; i < count; ++i) {
        if (session.CurrentTable() != table)
            session.showCategory(table);
        const int kind = random.bounded(6);
        try {
            if (kind == 0 || session.count() == 0) {
                session.addEntry(QStringLiteral("Новая %1 %2").arg(seed).arg(i), markedText(random));
                continue;
            }
            if (kind >= 4) {
                if (kind == 4)
                    session.undo();
                else
                    session.redo();
                continue;
            }
            session.selectRow(random.bounded(session.count()));
            if (!session.findCurrentRecord())
                continue;
            const zv::FindResult record = session.CurrentRecord();
            if (kind == 1)
                session.editEntry(record.rowId, record.name, record.ref, record.name, markedText(random));
            else if (kind == 2)
                session.deleteCurrent();
            else
                session.moveCurrent(QStringLiteral("Other"), record.name, record.ref);
        } catch (const zv::history::ChangedSince &) {
            // Cannot happen without another program; the test finds out from the files.
            return 5;
        }
    }
    done();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    dying::install();
    try {
        if (args.size() == 5 && args.at(1) == QLatin1String("update"))
            return update(args.at(2), args.at(3), args.at(4));
        if (args.size() == 5 && args.at(1) == QLatin1String("moves"))
            return moves(args.at(2), args.at(3).toUInt(), args.at(4).toInt());
        if (args.size() == 3 && args.at(1) == QLatin1String("index"))
            return index(args.at(2));
        if (args.size() == 5 && args.at(1) == QLatin1String("index-edits"))
            return indexEdits(args.at(2), args.at(3).toUInt(), args.at(4).toInt());
        if (args.size() == 5 && args.at(1) == QLatin1String("history"))
            return historyChanges(args.at(2), args.at(3).toUInt(), args.at(4).toInt());
    } catch (const zv::CatalogueError &error) {
        std::fprintf(stderr, "crash_worker: %s\n", qPrintable(error.message()));
        return 1;
    }
    std::fprintf(stderr,
                 "usage: crash_worker update <catalogue> <table> <folder> | moves <catalogue> <seed> <count> | "
                 "index <catalogue> | index-edits <catalogue> <seed> <count> | history <catalogue> <seed> <count>\n");
    return 2;
}
