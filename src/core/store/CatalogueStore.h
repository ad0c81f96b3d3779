#pragma once

#include "core/store/NameList.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

struct sqlite3;

namespace zv {

// A store failure, with a message for the user in Russian.
class CatalogueError : public std::runtime_error
{
public:
    // RecordGone: the record to change or delete is no longer in its table (another program
    // removed or renamed it meanwhile); the windows then reload the category.
    // TextChanged: another program changed the record's text since it was read; storedText()
    // is what it holds now, and nothing was written.
    // NameTaken: another entry of the category already has the name (ignoring letter case).
    enum class Kind { Failure, RecordGone, TextChanged, NameTaken };

    explicit CatalogueError(const QString &message, int sqliteCode = 0, Kind kind = Kind::Failure,
                            const QString &storedText = QString());
    QString message() const { return m_message; }
    const QString &storedText() const { return m_storedText; }
    // The SQLite result code behind it, or 0.
    int sqliteCode() const { return m_sqliteCode; }
    Kind kind() const { return m_kind; }

private:
    QString m_message;
    int m_sqliteCode = 0;
    Kind m_kind = Kind::Failure;
    QString m_storedText;
};

// One connection to the catalogue file. Every save is committed at once, so the next read
// through any other connection sees it.
class Catalogue
{
public:
    ~Catalogue();
    Catalogue(const Catalogue &) = delete;
    Catalogue &operator=(const Catalogue &) = delete;

    const QString &path() const { return m_path; }
    bool hasTable(const QString &table) const;
    sqlite3 *handle() const { return m_db; }

    // Groups several saves into one: either all of them land or none. Begun inside another
    // transaction, it is a part of that one: its commit keeps the part, and only the outer
    // commit writes.
    class Transaction
    {
    public:
        explicit Transaction(Catalogue &catalogue);
        ~Transaction(); // rolls back unless committed
        void commit();

    private:
        Catalogue &m_catalogue;
        bool m_nested;
        bool m_done = false;
    };

private:
    friend std::shared_ptr<Catalogue> openCatalogue(const QString &path);
    Catalogue(QString path, sqlite3 *db);
    void migrateLegacyIndexes();

    QString m_path;
    sqlite3 *m_db = nullptr;
    QStringList m_tables;          // the category tables this file has
    QSet<QString> m_changedTables; // whose rows the open transaction changed
};

using CatalogueConnection = std::shared_ptr<Catalogue>;
CatalogueConnection openCatalogue(const QString &path);

// The outcome of a lookup by name: the first matching record of the table, if any.
// Update and delete act on exactly that record; after a delete it refers to none.
struct FindResult
{
    CatalogueConnection catalogue;
    QString table;
    qint64 rowId = -1;
    QString name;
    QString ref;
    int matches = 0; // how many records carry the name

    bool found() const { return rowId >= 0; }
};

class SqlStatement;

// Appends entries to one table through one prepared statement: an update adds thousands.
class EntryAppender
{
public:
    // Throws CatalogueError when the table is missing.
    EntryAppender(const CatalogueConnection &catalogue, const QString &table);
    ~EntryAppender();
    EntryAppender(const EntryAppender &) = delete;
    EntryAppender &operator=(const EntryAppender &) = delete;

    // Returns the new record's id.
    qint64 add(const QString &name, const QString &text);

private:
    CatalogueConnection m_catalogue;
    std::unique_ptr<SqlStatement> m_insert;
};

// Throws CatalogueError when the found record is gone (RecordGone) or its stored text is no
// longer `result.ref` (TextChanged, with the stored text).
void requireUnchangedText(const FindResult &result);

// The catalogue file of the program folder, Zorvanell.dat.
QString cataloguePath();

// How long a connection waits for another program's lock before giving up (5 s by default).
void setCatalogueBusyTimeout(int ms);

// Why `path` cannot be opened as a catalogue, or an empty text when it can be tried.
// Looks at the file only; never changes it.
QString catalogueFileProblem(const QString &path);

} // namespace zv

// Creates a new catalogue with the nine empty category tables; fails on an existing file.
void CreateCatalogue(const QString &path);
// Opens an existing catalogue; throws zv::CatalogueError when the file is not one.
zv::CatalogueConnection OpenCatalogue(const QString &path);
// All names of the table in the store's own order (records without a name are left out).
QStringList ListNames(const zv::CatalogueConnection &catalogue, const QString &table);
// The same names with their record ids, for the main list.
zv::NameRows ListNameRows(const zv::CatalogueConnection &catalogue, const QString &table);
// Calls `visit` with name and text of every entry of the table, in the store's own order
// (records without a name are left out); one entry at a time is held in memory.
void ListEntries(const zv::CatalogueConnection &catalogue, const QString &table,
                 const std::function<void(const QString &name, const QString &text)> &visit);
// How many named entries the table holds.
qint64 CountEntries(const zv::CatalogueConnection &catalogue, const QString &table);
// The same with each record's id.
void ListEntryRows(const zv::CatalogueConnection &catalogue, const QString &table,
                   const std::function<void(qint64 rowId, const QString &name, const QString &text)> &visit);
// The first record (in the store's order) whose name equals `name` ignoring letter case
// (core/LetterCase.h); the name is data, never part of the query text. This reads the whole
// table; the windows use the form below.
zv::FindResult FindEntry(const zv::CatalogueConnection &catalogue, const QString &table, const QString &name);
// The record `rowId` of the table, as the main list holds it, while it still carries `name`
// (ignoring letter case). When it no longer does (another program changed the file), the record
// of that name is taken if it is the only one; with none or several nothing is found, so that a
// change never lands on a record other than the one the user selected.
zv::FindResult FindRecord(const zv::CatalogueConnection &catalogue, const QString &table, qint64 rowId,
                          const QString &name);
namespace zv {
// A record of some category table, by name.
struct NamedRecord
{
    QString table;
    qint64 rowId = -1;
    QString name;
};
} // namespace zv
// Every record of every category table whose name begins with `prefix` ignoring letter case.
// Reads every table: for the rare question of whose pictures a file is.
std::vector<zv::NamedRecord> RecordsNamedFrom(const zv::CatalogueConnection &catalogue, const QString &prefix);
// Appends an entry and saves it; returns its record id.
qint64 AddEntry(const zv::CatalogueConnection &catalogue, const QString &table, const QString &name,
                const QString &text);
// Replaces name and text of the found record; throws when there is none or it has gone, and
// (TextChanged) when its stored text is no longer `result.ref`, the text the change was made from.
void UpdateEntry(zv::FindResult &result, const QString &name, const QString &text);
// Deletes the found record; afterwards `result` refers to no record.
void DeleteEntry(zv::FindResult &result);
