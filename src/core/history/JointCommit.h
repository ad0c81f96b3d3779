#pragma once

#include "core/history/Change.h"
#include "core/history/Reversal.h"
#include "core/store/CatalogueStore.h"

#include <mutex>

struct sqlite3;

namespace zv::history {

// A change to the catalogue and its record in the history land together or not at all, the
// history being written through a connection of its own (in WAL mode):
//   1. the catalogue's transaction is written but not committed;
//   2. the record is committed to the history, marked as waiting;
//   3. the catalogue commits (synced, as ever);
//   4. the mark is settled, and the history synced a moment later on another thread (syncSoon).
// A record found waiting at the next opening is settled by what the catalogue holds (see
// settleWaiting). A stopped or killed program loses nothing: a commit in WAL mode is the
// system's the moment it returns. A power cut within that moment may take the newest records
// (never the catalogue's changes) with it: those changes then cannot be undone, and an undo
// whose own record went is refused, since the catalogue no longer holds what its change left.
// A sync of the record ahead of the catalogue's commit would close that gap at two fifths of a
// change's time; one commit over both files, at twice it (SQLite syncs a commit of two files
// three times over).
//
// Made before the catalogue's transaction begins: it holds this process's history lock from
// then on, so that no other thread of it reads the history between the commit and the settling.
class JointCommit
{
public:
    // `history`: the connection the history is attached to, or null when none is kept (the
    // catalogue's transaction is then only committed).
    explicit JointCommit(sqlite3 *history);

    // Commits `catalogue` with `change` recorded as a new change done.
    void commitNew(Catalogue::Transaction &catalogue, Change &change);
    // Commits `catalogue` with `change` (read from the history, its records as applyRecords left
    // them) undone or made again.
    void commitStep(Catalogue::Transaction &catalogue, Change &change, Direction direction);

private:
    std::unique_lock<std::mutex> m_lock;
    sqlite3 *m_history;
};

// Settles the changes a stopped program left waiting in the history attached to `db` as
// "history", by what the catalogue (the main database of `db`) holds now.
void settleWaiting(sqlite3 *db);

// A transaction on the history alone, on a connection whose main database is the catalogue
// (which it neither locks nor writes). `synced`: its commit reaches the disk before it returns.
class HistoryTransaction
{
public:
    HistoryTransaction(sqlite3 *db, bool synced);
    ~HistoryTransaction(); // rolls back unless committed
    void commit();

private:
    sqlite3 *m_db;
    bool m_synced;
    bool m_done = false;
};

} // namespace zv::history
