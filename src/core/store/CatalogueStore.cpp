#include "core/store/CatalogueStore.h"

#include "core/ProgramFolder.h"
#include "core/store/Category.h"
#include "core/store/SqlStatement.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace zv {

namespace {

int g_busyTimeoutMs = 5000;
const char kFoldFunction[] = "zv_fold";

// Unicode case folding for the name index: SQLite's own NOCASE folds Latin letters only.
void foldFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray folded = QString::fromUtf8(text, sqlite3_value_bytes(argv[0])).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

QString indexName(const QString &table)
{
    return QStringLiteral("zv_") + table + QStringLiteral("_name");
}

sqlite3 *openHandle(const QString &path, int flags)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw CatalogueError(QStringLiteral("Не удалось открыть файл каталога «") + path + QStringLiteral("»: ") +
                             detail + QLatin1Char('.'));
    }
    sqlite3_busy_timeout(db, g_busyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    sqlite3_create_function_v2(db, kFoldFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, foldFunction, nullptr,
                               nullptr, nullptr);
    return db;
}

void exec(sqlite3 *db, const QString &sql)
{
    SqlStatement statement(db, sql);
    statement.run();
}

// A table counts as a category table when it has the columns Name and Ref.
bool hasNameAndRef(sqlite3 *db, const QString &table)
{
    SqlStatement info(db, QStringLiteral("PRAGMA table_info(") + quotedName(table) + QLatin1Char(')'));
    bool name = false, ref = false;
    while (info.step()) {
        const QString column = info.text(1);
        name = name || column.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0;
        ref = ref || column.compare(QLatin1String("Ref"), Qt::CaseInsensitive) == 0;
    }
    return name && ref;
}

QString badFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Файл каталога «") + path + QStringLiteral("» не может быть открыт: ") + reason +
           QStringLiteral(".\nФайл оставлен без изменений.");
}

} // namespace

QString cataloguePath()
{
    return programFile(QStringLiteral("Zorvanell.dat"));
}

void setCatalogueBusyTimeout(int ms)
{
    g_busyTimeoutMs = ms;
}

CatalogueError::CatalogueError(const QString &message, int sqliteCode, Kind kind)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_sqliteCode(sqliteCode)
    , m_kind(kind)
{
}

Catalogue::Catalogue(QString path, sqlite3 *db)
    : m_path(std::move(path))
    , m_db(db)
{
    // SQLite's own default (a rollback journal, synced at every commit) already survives a killed
    // program; EXTRA also syncs the folder once the journal is deleted, so a commit the user was
    // told about survives a power cut right after it as well.
    sqlite3_exec(m_db, "PRAGMA synchronous = EXTRA", nullptr, nullptr, nullptr);
}

Catalogue::~Catalogue()
{
    sqlite3_close_v2(m_db);
}

bool Catalogue::hasTable(const QString &table) const
{
    return m_tables.contains(table);
}

void Catalogue::ensureNameIndexes()
{
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return;
    for (const QString &table : std::as_const(m_tables)) {
        // A file another tool made without our index still opens; the index only speeds up lookups.
        sqlite3_exec(m_db,
                     (QStringLiteral("CREATE INDEX IF NOT EXISTS ") + quotedName(indexName(table)) +
                      QStringLiteral(" ON ") + quotedName(table) + QStringLiteral("(zv_fold(Name))"))
                         .toUtf8()
                         .constData(),
                     nullptr, nullptr, nullptr);
    }
}

Catalogue::Transaction::Transaction(Catalogue &catalogue)
    : m_catalogue(catalogue)
{
    exec(m_catalogue.m_db, QStringLiteral("BEGIN IMMEDIATE"));
}

Catalogue::Transaction::~Transaction()
{
    if (!m_done)
        sqlite3_exec(m_catalogue.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Catalogue::Transaction::commit()
{
    exec(m_catalogue.m_db, QStringLiteral("COMMIT"));
    m_done = true;
}

} // namespace zv

using namespace zv;

void CreateCatalogue(const QString &path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw CatalogueError(QStringLiteral("Файл каталога «") + path + QStringLiteral("» уже существует."));
    // Built under a temporary name and renamed at the end, so a failure leaves no half-made catalogue.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    try {
        sqlite3 *db = openHandle(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        std::unique_ptr<sqlite3, int (*)(sqlite3 *)> guard(db, sqlite3_close_v2);
        exec(db, QStringLiteral("BEGIN"));
        for (const QString &table : tableCreationOrder()) {
            exec(db, QStringLiteral("CREATE TABLE ") + quotedName(table) + QStringLiteral(" (Name TEXT, Ref TEXT)"));
            exec(db, QStringLiteral("CREATE INDEX ") + quotedName(indexName(table)) + QStringLiteral(" ON ") +
                         quotedName(table) + QStringLiteral("(zv_fold(Name))"));
        }
        exec(db, QStringLiteral("COMMIT"));
    } catch (const CatalogueError &e) {
        QFile::remove(temporary);
        throw CatalogueError(QStringLiteral("Не удалось создать файл каталога «") + path + QStringLiteral("»: ") +
                             e.message());
    }
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        throw CatalogueError(QStringLiteral("Не удалось создать файл каталога «") + path +
                             QStringLiteral("»: нет прав на запись в папку."));
    }
}

CatalogueConnection OpenCatalogue(const QString &path)
{
    return zv::openCatalogue(path);
}

CatalogueConnection zv::openCatalogue(const QString &path)
{
    const QString problem = catalogueFileProblem(path);
    if (!problem.isEmpty())
        throw CatalogueError(badFileMessage(path, problem));

    const int flags = QFileInfo(path).isWritable() ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    CatalogueConnection catalogue(new Catalogue(path, openHandle(path, flags)));
    try {
        QStringList present;
        {
            SqlStatement tables(catalogue->handle(),
                                QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
            while (tables.step())
                present << tables.text(0);
        }
        for (const QString &table : tableCreationOrder()) {
            if (present.contains(table) && hasNameAndRef(catalogue->handle(), table))
                catalogue->m_tables << table;
        }
    } catch (const CatalogueError &e) {
        // Only a file SQLite cannot read is damaged; a lock or a read error says so itself.
        const int primary = e.sqliteCode() & 0xff;
        if (primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB && primary != SQLITE_FORMAT)
            throw;
        throw CatalogueError(badFileMessage(path, QStringLiteral("файл повреждён")), e.sqliteCode());
    }
    if (catalogue->m_tables.isEmpty())
        throw CatalogueError(badFileMessage(path, QStringLiteral("в нём нет ни одного раздела каталога, "
                                                                 "похоже, это файл другой программы")));
    catalogue->ensureNameIndexes();
    return catalogue;
}

namespace {

void requireTable(const CatalogueConnection &catalogue, const QString &table)
{
    if (!catalogue->hasTable(table)) {
        const auto category = categoryByTable(table);
        const QString shown = category ? category->displayName : table;
        throw CatalogueError(QStringLiteral("В файле каталога нет раздела «") + shown + QStringLiteral("»."));
    }
}

} // namespace

QStringList ListNames(const CatalogueConnection &catalogue, const QString &table)
{
    requireTable(catalogue, table);
    QStringList names;
    SqlStatement select(catalogue->handle(), QStringLiteral("SELECT Name FROM ") + quotedName(table) +
                                                 QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
    while (select.step())
        names << select.text(0);
    return names;
}

void ListEntries(const CatalogueConnection &catalogue, const QString &table,
                 const std::function<void(const QString &name, const QString &text)> &visit)
{
    requireTable(catalogue, table);
    SqlStatement select(catalogue->handle(), QStringLiteral("SELECT Name, Ref FROM ") + quotedName(table) +
                                                 QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
    while (select.step())
        visit(select.text(0), select.text(1));
}

FindResult FindEntry(const CatalogueConnection &catalogue, const QString &table, const QString &name)
{
    requireTable(catalogue, table);
    FindResult result;
    result.catalogue = catalogue;
    result.table = table;
    SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name, Ref FROM ") + quotedName(table) +
                                                 QStringLiteral(" WHERE zv_fold(Name) = zv_fold(?1)"));
    select.bind(1, name);
    while (select.step()) {
        ++result.matches;
        const qint64 rowId = select.integer(0);
        if (result.rowId < 0 || rowId < result.rowId) {
            result.rowId = rowId;
            result.name = select.text(1);
            result.ref = select.text(2);
        }
    }
    return result;
}

qint64 AddEntry(const CatalogueConnection &catalogue, const QString &table, const QString &name, const QString &text)
{
    requireTable(catalogue, table);
    SqlStatement insert(catalogue->handle(), QStringLiteral("INSERT INTO ") + quotedName(table) +
                                                 QStringLiteral(" (Name, Ref) VALUES (?1, ?2)"));
    insert.bind(1, name);
    insert.bind(2, text);
    insert.run();
    return sqlite3_last_insert_rowid(catalogue->handle());
}

namespace {

[[noreturn]] void recordGone()
{
    throw CatalogueError(QStringLiteral("Запись не найдена: её уже нет в каталоге."), 0,
                         CatalogueError::Kind::RecordGone);
}

void requireRecord(const FindResult &result)
{
    if (!result.catalogue || !result.found())
        recordGone();
}

} // namespace

void UpdateEntry(FindResult &result, const QString &name, const QString &text)
{
    requireRecord(result);
    // The name as found must still be there: another program may have removed the record and
    // its row number may have gone to a new one since.
    SqlStatement update(result.catalogue->handle(),
                        QStringLiteral("UPDATE ") + quotedName(result.table) +
                            QStringLiteral(" SET Name = ?1, Ref = ?2 WHERE rowid = ?3 AND Name = ?4"));
    update.bind(1, name);
    update.bind(2, text);
    update.bind(3, result.rowId);
    update.bind(4, result.name);
    update.run();
    if (sqlite3_changes(result.catalogue->handle()) != 1)
        recordGone();
    result.name = name;
    result.ref = text;
}

void DeleteEntry(FindResult &result)
{
    requireRecord(result);
    SqlStatement remove(result.catalogue->handle(), QStringLiteral("DELETE FROM ") + quotedName(result.table) +
                                                        QStringLiteral(" WHERE rowid = ?1 AND Name = ?2"));
    remove.bind(1, result.rowId);
    remove.bind(2, result.name);
    remove.run();
    const bool deleted = sqlite3_changes(result.catalogue->handle()) == 1;
    result.rowId = -1;
    result.name.clear();
    result.ref.clear();
    if (!deleted)
        recordGone();
}
