#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <map>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zv {

// The state of a catalogue file as its SQLite header tells it, without reading any entry: the
// file's identity on disk, its change counter (raised by every commit in rollback-journal mode)
// and the rest of the header and the file's size and time. Empty text when the header cannot
// vouch for the content (WAL mode, an unreadable file).
struct CatalogueState
{
    QByteArray identity;
    quint32 counter = 0;
    QByteArray text; // identity, header fields, size and time: equal texts, same content

    bool known() const { return !text.isEmpty(); }
};

// Reads the state inside a read transaction of `db` (or the one it is in).
CatalogueState readCatalogueState(sqlite3 *db, const QString &path);

// A commit this program made to a catalogue, told apart from anyone else's: the counter it found,
// the state it left, and the tables whose rows it changed. Whatever is derived from other
// tables and matched the state before still matches the state after.
struct OwnCommit
{
    quint32 counterBefore = 0;
    QByteArray stateAfter;
    QSet<QString> tables;
    // The records it changed, per table; a table missing here while in `tables` changed too many to list.
    std::map<QString, std::vector<qint64>> rows;
};

// The commit this program made to the catalogue `identity` at change counter `counter`, if any.
std::optional<OwnCommit> ownCommitAt(const QByteArray &identity, quint32 counter);

// Watches one commit of a connection: made inside its write transaction just before COMMIT,
// committed() right after it. Between the two a read of the connection's stays open, so no
// other program can commit before the state after is read.
class CommitWitness
{
public:
    CommitWitness(sqlite3 *db, const QString &path, const QSet<QString> &tables);
    ~CommitWitness();
    CommitWitness(const CommitWitness &) = delete;
    CommitWitness &operator=(const CommitWitness &) = delete;
    void committed();

private:
    sqlite3 *m_db;
    QString m_path;
    QSet<QString> m_tables;
    std::map<QString, std::vector<qint64>> m_rows;
    QByteArray m_identity;
    std::optional<quint32> m_counterBefore;
    sqlite3_stmt *m_reading = nullptr;
};

// Collects into `tables` the names of the main database's tables whose rows `db` changes, and
// the records changed, which the next CommitWitness on the connection takes.
void watchChangedTables(sqlite3 *db, QSet<QString> *tables);

} // namespace zv
