#include "core/store/CatalogueStore.h"

#include "core/LetterCase.h"
#include "core/ProgramFolder.h"
#include "core/store/Category.h"
#include "core/store/OwnCommits.h"
#include "core/store/SqlStatement.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace zv {

namespace {

int g_busyTimeoutMs = 5000;

// Earlier versions kept an index over zv_fold(Name), a function only this program defines.
// Until such an index is dropped, writing the table recomputes its keys, so they must come
// out exactly as that version made them (Qt's simple case folding), or SQLite finds the
// index damaged; nothing else uses this.
const char kLegacyFoldFunction[] = "zv_fold";

void legacyFoldFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray folded = QString::fromUtf8(text, sqlite3_value_bytes(argv[0])).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
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

CatalogueError::CatalogueError(const QString &message, int sqliteCode, Kind kind, const QString &storedText)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_sqliteCode(sqliteCode)
    , m_kind(kind)
    , m_storedText(storedText)
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
    watchChangedTables(m_db, &m_changedTables);
}

Catalogue::~Catalogue()
{
    sqlite3_close_v2(m_db);
}

bool Catalogue::hasTable(const QString &table) const
{
    return m_tables.contains(table);
}

void Catalogue::migrateLegacyIndexes()
{
    QStringList legacy;
    {
        SqlStatement indexes(m_db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                                  "sql LIKE '%zv\\_fold(%' ESCAPE '\\'"));
        while (indexes.step())
            legacy << indexes.text(0);
    }
    if (legacy.isEmpty())
        return;
    // The function the old indexes call is known to this connection, so that the file stays
    // usable here even when it cannot be changed now (read-only, or busy with another program).
    sqlite3_create_function_v2(m_db, kLegacyFoldFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               legacyFoldFunction, nullptr, nullptr, nullptr);
    if (sqlite3_db_readonly(m_db, "main") == 1)
        return;
    // The indexes only sped up lookups; the rows are untouched. All go in one transaction; when
    // that fails, the next opening tries again.
    try {
        Transaction transaction(*this);
        for (const QString &index : std::as_const(legacy))
            exec(m_db, QStringLiteral("DROP INDEX ") + quotedName(index));
        transaction.commit();
    } catch (const CatalogueError &) {
    }
}

Catalogue::Transaction::Transaction(Catalogue &catalogue)
    : m_catalogue(catalogue)
    , m_nested(sqlite3_get_autocommit(catalogue.m_db) == 0)
{
    // Inside a caller's transaction a savepoint takes back this part alone; only the caller's commit writes.
    exec(m_catalogue.m_db, m_nested ? QStringLiteral("SAVEPOINT zv_part") : QStringLiteral("BEGIN IMMEDIATE"));
    if (!m_nested)
        m_catalogue.m_changedTables.clear();
}

Catalogue::Transaction::~Transaction()
{
    if (m_done)
        return;
    if (m_nested)
        sqlite3_exec(m_catalogue.m_db, "ROLLBACK TO zv_part; RELEASE zv_part", nullptr, nullptr, nullptr);
    else
        sqlite3_exec(m_catalogue.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Catalogue::Transaction::commit()
{
    if (m_nested) {
        exec(m_catalogue.m_db, QStringLiteral("RELEASE zv_part"));
    } else {
        // What derives from the catalogue (the sorted lists) learns which tables this commit changed.
        CommitWitness witness(m_catalogue.m_db, m_catalogue.m_path, m_catalogue.m_changedTables);
        exec(m_catalogue.m_db, QStringLiteral("COMMIT"));
        witness.committed();
    }
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
        for (const QString &table : tableCreationOrder())
            exec(db, QStringLiteral("CREATE TABLE ") + quotedName(table) + QStringLiteral(" (Name TEXT, Ref TEXT)"));
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
    catalogue->migrateLegacyIndexes();
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
    ListEntryRows(catalogue, table, [&](qint64, const QString &name, const QString &text) { visit(name, text); });
}

qint64 CountEntries(const CatalogueConnection &catalogue, const QString &table)
{
    requireTable(catalogue, table);
    SqlStatement count(catalogue->handle(), QStringLiteral("SELECT COUNT(*) FROM ") + quotedName(table) +
                                                QStringLiteral(" WHERE Name IS NOT NULL"));
    return count.step() ? count.integer(0) : 0;
}

void ListEntryRows(const CatalogueConnection &catalogue, const QString &table,
                   const std::function<void(qint64 rowId, const QString &name, const QString &text)> &visit)
{
    requireTable(catalogue, table);
    SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name, Ref FROM ") + quotedName(table) +
                                                 QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
    while (select.step())
        visit(select.integer(0), select.text(1), select.text(2));
}

NameRows ListNameRows(const CatalogueConnection &catalogue, const QString &table)
{
    requireTable(catalogue, table);
    NameRows rows;
    SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name FROM ") + quotedName(table) +
                                                 QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
    while (select.step())
        rows.appendUtf8(select.utf8View(1), select.integer(0));
    return rows;
}

namespace {

// Reads the record with `rowId` into `result` when it still carries the name (ignoring case).
bool readIfNamed(FindResult &result, qint64 rowId, const QString &name)
{
    SqlStatement select(result.catalogue->handle(), QStringLiteral("SELECT Name, Ref FROM ") +
                                                        quotedName(result.table) + QStringLiteral(" WHERE rowid = ?1"));
    select.bind(1, rowId);
    if (!select.step() || select.isNull(0) || !equalsIgnoringCase(select.text(0), name))
        return false;
    result.rowId = rowId;
    result.name = select.text(0);
    result.ref = select.text(1);
    return true;
}

} // namespace

FindResult FindEntry(const CatalogueConnection &catalogue, const QString &table, const QString &name)
{
    requireTable(catalogue, table);
    FindResult result;
    result.catalogue = catalogue;
    result.table = table;
    FoldBuffer wanted, folded;
    foldCaseInto(name, wanted);
    qint64 first = -1;
    {
        SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name FROM ") + quotedName(table) +
                                                     QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
        while (select.step()) {
            foldCaseInto(select.text(1), folded);
            if (folded != wanted)
                continue;
            ++result.matches;
            if (first < 0)
                first = select.integer(0);
        }
    }
    if (first >= 0)
        readIfNamed(result, first, name);
    return result;
}

FindResult FindRecord(const CatalogueConnection &catalogue, const QString &table, qint64 rowId, const QString &name)
{
    requireTable(catalogue, table);
    FindResult result;
    result.catalogue = catalogue;
    result.table = table;
    if (rowId >= 0 && readIfNamed(result, rowId, name)) {
        result.matches = 1;
        return result;
    }
    // The list is older than the file (another program changed it): only a name that leaves no
    // doubt which record is meant may stand for the one selected.
    FindResult byName = FindEntry(catalogue, table, name);
    if (byName.matches == 1)
        return byName;
    result.matches = byName.matches;
    return result;
}

std::vector<NamedRecord> RecordsNamedFrom(const CatalogueConnection &catalogue, const QString &prefix)
{
    std::vector<NamedRecord> records;
    for (const QString &table : tableCreationOrder()) {
        if (!catalogue->hasTable(table))
            continue;
        SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name FROM ") + quotedName(table) +
                                                     QStringLiteral(" WHERE Name IS NOT NULL"));
        while (select.step()) {
            const QString name = select.text(1);
            if (startsWithIgnoringCase(name, prefix))
                records.push_back({table, select.integer(0), name});
        }
    }
    return records;
}

namespace zv {

EntryAppender::EntryAppender(const CatalogueConnection &catalogue, const QString &table)
    : m_catalogue(catalogue)
{
    requireTable(catalogue, table);
    m_insert = std::make_unique<SqlStatement>(catalogue->handle(), QStringLiteral("INSERT INTO ") + quotedName(table) +
                                                                       QStringLiteral(" (Name, Ref) VALUES (?1, ?2)"));
}

EntryAppender::~EntryAppender() = default;

qint64 EntryAppender::add(const QString &name, const QString &text)
{
    // Reset before as well: an insert that failed may have left the statement unfinished.
    m_insert->reset();
    m_insert->bind(1, name);
    m_insert->bind(2, text);
    m_insert->run();
    const qint64 id = sqlite3_last_insert_rowid(m_catalogue->handle());
    m_insert->reset();
    return id;
}

} // namespace zv

qint64 AddEntry(const CatalogueConnection &catalogue, const QString &table, const QString &name, const QString &text)
{
    return zv::EntryAppender(catalogue, table).add(name, text);
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

namespace zv {

void requireUnchangedText(const FindResult &result)
{
    requireRecord(result);
    SqlStatement select(result.catalogue->handle(), QStringLiteral("SELECT Ref FROM ") + quotedName(result.table) +
                                                        QStringLiteral(" WHERE rowid = ?1 AND Name = ?2"));
    select.bind(1, result.rowId);
    select.bind(2, result.name);
    if (!select.step())
        recordGone();
    const QString stored = select.text(0);
    if (stored != result.ref)
        throw CatalogueError(QStringLiteral("Текст записи ") + result.name +
                                 QStringLiteral(" изменён другой программой после того, как его прочли."),
                             0, CatalogueError::Kind::TextChanged, stored);
}

} // namespace zv

void UpdateEntry(FindResult &result, const QString &name, const QString &text)
{
    requireRecord(result);
    zv::Catalogue::Transaction transaction(*result.catalogue);
    zv::requireUnchangedText(result);
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
    transaction.commit();
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
