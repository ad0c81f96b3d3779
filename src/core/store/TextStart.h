#pragma once

#include <QString>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_blob;

namespace zv {

class SqlStatement;

// The name and the start of the text of a table's records, read by rowid. Only the first
// `maxBytes` of a text are read from the file, so a text of many megabytes costs what a short
// one does.
class TextStartReader
{
public:
    struct Record
    {
        QString name;
        QString text;     // at most `maxBytes` of UTF-8, never cut inside a character
        bool cut = false; // the text goes on beyond `text`
    };

    // Throws CatalogueError when the table cannot be read.
    TextStartReader(sqlite3 *db, const QString &table);
    ~TextStartReader();
    TextStartReader(const TextStartReader &) = delete;
    TextStartReader &operator=(const TextStartReader &) = delete;

    // None when the record is gone or has no name.
    std::optional<Record> read(qint64 rowId, qsizetype maxBytes);
    // Ends the read that an open text keeps going, so that writers are not kept waiting.
    void release();

private:
    sqlite3 *m_db;
    QString m_table;
    std::unique_ptr<SqlStatement> m_select;
    sqlite3_blob *m_blob = nullptr; // moved from record to record
    bool m_utf8 = true;             // the file keeps its texts as UTF-8 (SQLite's default)
};

} // namespace zv
