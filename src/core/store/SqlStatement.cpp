#include "core/store/SqlStatement.h"

#include "core/store/CatalogueStore.h"

#include <sqlite3.h>

namespace zv {

namespace {

QString reasonFor(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("на диске не осталось места");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("файл каталога занят другой программой, попробуйте ещё раз");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("файл каталога доступен только для чтения");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("файл каталога повреждён");
    case SQLITE_IOERR:
        return QStringLiteral("ошибка чтения или записи диска");
    case SQLITE_CANTOPEN:
        return QStringLiteral("файл каталога не удаётся открыть");
    case SQLITE_NOMEM:
        return QStringLiteral("не хватает памяти");
    default:
        return QStringLiteral("ошибка базы данных");
    }
}

} // namespace

void throwSqlError(sqlite3 *db, int code, const QString &what)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    throw CatalogueError(
        what + QStringLiteral(": ") + reasonFor(code) + QStringLiteral(" (") + detail + QStringLiteral(")."), code);
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

SqlStatement::SqlStatement(sqlite3 *db, const QString &sql)
    : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throwSqlError(db, rc, QStringLiteral("Ошибка каталога"));
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqlStatement::bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqlStatement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void SqlStatement::bindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwSqlError(m_db, rc, QStringLiteral("Ошибка каталога"));
}

void SqlStatement::run()
{
    while (step()) {
    }
}

void SqlStatement::reset()
{
    sqlite3_reset(m_stmt);
}

QString SqlStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

QByteArrayView SqlStatement::utf8View(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_stmt, column));
}

qint64 SqlStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

bool SqlStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

} // namespace zv
