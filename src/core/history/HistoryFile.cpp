#include "core/history/HistoryFile.h"

#include "core/history/JointCommit.h"
#include "core/store/CatalogueStore.h"
#include "core/store/SqlStatement.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace zv::history {

namespace {

// "ZVHJ": tells our history from any other SQLite file put in its place.
constexpr qint64 kApplicationId = 0x5A56484A;
constexpr qint64 kFormat = 1;

void exec(sqlite3 *db, const QString &sql)
{
    SqlStatement(db, sql).run();
}

qint64 pragmaNumber(sqlite3 *db, const char *pragma)
{
    SqlStatement statement(db, QStringLiteral("PRAGMA history.") + QLatin1String(pragma));
    return statement.step() ? statement.integer(0) : 0;
}

void attach(sqlite3 *db, const QString &path)
{
    // The catalogue's connection may not create files, and an attached file takes its flags: an
    // empty file is an empty SQLite database.
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw CatalogueError(QStringLiteral("Не удалось создать журнал изменений «") + path +
                                 QStringLiteral("»: ") + file.errorString());
    }
    SqlStatement statement(db, QStringLiteral("ATTACH DATABASE ?1 AS history"));
    statement.bind(1, path);
    statement.run();
    // Written ahead of the catalogue's commits and synced a moment later (see JointCommit.h).
    sqlite3_exec(db, "PRAGMA history.journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA history.synchronous = NORMAL", nullptr, nullptr, nullptr);
}

void detach(sqlite3 *db)
{
    sqlite3_exec(db, "DETACH DATABASE history", nullptr, nullptr, nullptr);
}

// Empty: made anew here. Ours: usable. Otherwise it is not ours to write into.
enum class Found { Empty, Ours, Foreign };

Found inspect(sqlite3 *db)
{
    const qint64 id = pragmaNumber(db, "application_id");
    SqlStatement tables(db, QStringLiteral("SELECT count(*) FROM history.sqlite_master"));
    const qint64 objects = tables.step() ? tables.integer(0) : 0;
    if (id == 0 && objects == 0)
        return Found::Empty;
    if (id != kApplicationId)
        return Found::Foreign;
    SqlStatement format(db, QStringLiteral("SELECT value FROM history.meta WHERE key = 'format'"));
    if (!format.step() || format.text(0).toLongLong() != kFormat)
        return Found::Foreign;
    // The first page can be sound while the rest is not.
    SqlStatement check(db, QStringLiteral("PRAGMA history.quick_check(1)"));
    return check.step() && check.text(0) == QLatin1String("ok") ? Found::Ours : Found::Foreign;
}

void create(sqlite3 *db)
{
    // Pages freed by pruning go back to the file system a few at a time.
    exec(db, QStringLiteral("PRAGMA history.auto_vacuum = INCREMENTAL"));
    exec(db, QStringLiteral("PRAGMA history.application_id = %1").arg(kApplicationId));
    exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        exec(db, QStringLiteral("CREATE TABLE history.meta (key TEXT PRIMARY KEY, value TEXT)"));
        exec(db, QStringLiteral("INSERT INTO history.meta VALUES ('format', '%1')").arg(kFormat));
        exec(db, QStringLiteral("CREATE TABLE history.changes (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                "at INTEGER NOT NULL, kind INTEGER NOT NULL, state INTEGER NOT NULL, "
                                "category TEXT NOT NULL, name TEXT NOT NULL, target TEXT, "
                                "count INTEGER NOT NULL, bytes INTEGER NOT NULL)"));
        exec(db, QStringLiteral("CREATE INDEX history.changes_state ON changes (state, id)"));
        exec(db, QStringLiteral("CREATE TABLE history.records (id INTEGER PRIMARY KEY, change INTEGER NOT NULL, "
                                "category TEXT NOT NULL, "
                                "before_row INTEGER, before_name TEXT, before_text TEXT, before_hash INTEGER, "
                                "after_row INTEGER, after_name TEXT, after_text TEXT, after_hash INTEGER)"));
        exec(db, QStringLiteral("CREATE INDEX history.records_change ON records (change)"));
        exec(db, QStringLiteral("CREATE TABLE history.pictures (id INTEGER PRIMARY KEY, change INTEGER NOT NULL, "
                                "file TEXT NOT NULL, before TEXT NOT NULL, after TEXT NOT NULL)"));
        exec(db, QStringLiteral("CREATE INDEX history.pictures_change ON pictures (change)"));
        exec(db, QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

QString setAside(const QString &path)
{
    const QString stem =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside))
        throw CatalogueError(QStringLiteral("Журнал изменений «") + path +
                             QStringLiteral("» повреждён, и его не удалось отложить в сторону."));
    // SQLite's journals of the damaged file belong to it: a new file beside them would take them in.
    for (const QLatin1String suffix : {QLatin1String("-journal"), QLatin1String("-wal"), QLatin1String("-shm")}) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, aside + suffix);
    }
    return aside;
}

} // namespace

QString historyPath(const QString &cataloguePath)
{
    return cataloguePath + QStringLiteral(".history");
}

QString keptPicturesFolder(const QString &cataloguePath)
{
    return cataloguePath + QStringLiteral(".history-pictures");
}

void attachCheckedHistory(sqlite3 *db, const QString &cataloguePath)
{
    attach(db, historyPath(cataloguePath));
}

CatalogueConnection openWithCheckedHistory(const QString &cataloguePath)
{
    const CatalogueConnection db = OpenCatalogue(cataloguePath);
    attachCheckedHistory(db->handle(), cataloguePath);
    return db;
}

CatalogueConnection workerConnection(const QString &cataloguePath)
{
    try {
        return openWithCheckedHistory(cataloguePath);
    } catch (const CatalogueError &) {
        return nullptr;
    }
}

bool isDamage(int sqliteCode)
{
    const int primary = sqliteCode & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

Attached attachHistory(sqlite3 *db, const QString &cataloguePath)
{
    const QString path = historyPath(cataloguePath);
    Attached result;
    const QFileInfo info(path);
    // A link, a folder or a device in its place is not ours to open, let alone write.
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        result.setAsideAs = setAside(path);
    Found found = Found::Foreign;
    bool attached = false;
    try {
        // Either may find a file that is no database: SQLite reads its header on attaching.
        attach(db, path);
        attached = true;
        found = inspect(db);
    } catch (const CatalogueError &error) {
        if (!isDamage(error.sqliteCode())) {
            if (attached)
                detach(db);
            throw;
        }
    }
    if (found == Found::Foreign) {
        detach(db);
        result.setAsideAs = setAside(path);
        attach(db, path);
        found = Found::Empty;
    }
    try {
        if (found == Found::Empty)
            create(db);
        // A program stopped between the history's commit and the catalogue's left its change waiting.
        settleWaiting(db);
    } catch (...) {
        detach(db);
        throw;
    }
    return result;
}

} // namespace zv::history
