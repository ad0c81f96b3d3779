#pragma once

#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace zv {

// A prepared SQLite statement that finalizes itself; errors become CatalogueError.
class SqlStatement
{
public:
    SqlStatement(sqlite3 *db, const QString &sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    void bind(int index, const QString &text);
    void bind(int index, qint64 value);
    void bindNull(int index);
    // True while there is a row; false when done.
    bool step();
    // Runs to the end.
    void run();
    // Makes the statement ready to run again; the bound values stay until bound anew.
    void reset();

    QString text(int column) const;
    // The text's UTF-8 bytes without a copy; valid until the next step.
    QByteArrayView utf8View(int column) const;
    qint64 integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// Turns an SQLite failure into a Russian message for the user; `what` says what was being done.
[[noreturn]] void throwSqlError(sqlite3 *db, int code, const QString &what);

// A table or index name quoted for SQL text.
QString quotedName(const QString &name);

} // namespace zv
