#include "core/history/JointCommit.h"

#include "core/history/Journal.h"
#include "core/history/LateSync.h"
#include "core/store/SqlStatement.h"

#include <algorithm>
#include <functional>
#include <sqlite3.h>

namespace zv::history {

namespace {

// One history write at a time in this process: a thread that reads what to undo next must not
// find a change committed to the catalogue but not yet settled in the history.
std::mutex g_historyLock;

// The sides a change put into the catalogue are recognised there by their hashes; their texts
// were kept only until the commit had landed.
void dropTextsPutIn(sqlite3 *db, qint64 id, Direction direction)
{
    SqlStatement drop(db, direction == Direction::Undo
                              ? QStringLiteral("UPDATE history.records SET before_text = NULL "
                                               "WHERE change = ?1 AND before_text IS NOT NULL")
                              : QStringLiteral("UPDATE history.records SET after_text = NULL "
                                               "WHERE change = ?1 AND after_text IS NOT NULL"));
    drop.bind(1, id);
    drop.run();
}

ChangeState waitingFor(Direction direction)
{
    return direction == Direction::Undo ? ChangeState::UndoWaiting : ChangeState::RedoWaiting;
}

ChangeState settledAs(Direction direction)
{
    return direction == Direction::Undo ? ChangeState::Undone : ChangeState::Done;
}

ChangeState leftAs(Direction direction)
{
    return direction == Direction::Undo ? ChangeState::Done : ChangeState::Undone;
}

// Writes the settled state of a change after the catalogue's commit. A failure here leaves the
// change waiting, which the next opening settles: the catalogue's change stands either way.
void settle(sqlite3 *db, const std::function<void(Journal &)> &write)
{
    try {
        HistoryTransaction settling(db, false);
        Journal journal(db);
        write(journal);
        settling.commit();
    } catch (const CatalogueError &) {
    }
}

void exec(sqlite3 *db, const char *sql)
{
    SqlStatement(db, QString::fromLatin1(sql)).run();
}

} // namespace

HistoryTransaction::HistoryTransaction(sqlite3 *db, bool synced)
    : m_db(db)
    , m_synced(synced)
{
    if (synced)
        exec(db, "PRAGMA history.synchronous = FULL");
    // Deferred: only the history is written, and the catalogue's write lock is another
    // connection's meanwhile.
    exec(db, "BEGIN");
}

HistoryTransaction::~HistoryTransaction()
{
    if (!m_done)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (m_synced)
        sqlite3_exec(m_db, "PRAGMA history.synchronous = NORMAL", nullptr, nullptr, nullptr);
}

void HistoryTransaction::commit()
{
    exec(m_db, "COMMIT");
    m_done = true;
}

JointCommit::JointCommit(sqlite3 *history)
    : m_lock(g_historyLock, std::defer_lock)
    , m_history(history)
{
    if (m_history)
        m_lock.lock();
}

void JointCommit::commitNew(Catalogue::Transaction &catalogue, Change &change)
{
    if (!m_history) {
        catalogue.commit();
        return;
    }
    change.state = ChangeState::Waiting;
    {
        HistoryTransaction ahead(m_history, false);
        Journal(m_history).append(change);
        ahead.commit();
    }
    try {
        catalogue.commit();
    } catch (const CatalogueError &) {
        settle(m_history, [&](Journal &journal) { journal.forget(change.id); });
        syncSoon(m_history);
        throw;
    }
    change.state = ChangeState::Done;
    settle(m_history, [&](Journal &journal) {
        journal.passUndone();
        journal.setState(change.id, ChangeState::Done);
        if (std::any_of(change.records.cbegin(), change.records.cend(),
                        [](const RecordStep &step) { return step.after.hasText; }))
            dropTextsPutIn(m_history, change.id, Direction::Redo);
    });
    syncSoon(m_history);
}

void JointCommit::commitStep(Catalogue::Transaction &catalogue, Change &change, Direction direction)
{
    if (!m_history) {
        catalogue.commit();
        return;
    }
    {
        HistoryTransaction ahead(m_history, false);
        Journal journal(m_history);
        journal.updateRecords(change);
        journal.setState(change.id, waitingFor(direction));
        ahead.commit();
    }
    try {
        catalogue.commit();
    } catch (const CatalogueError &) {
        settle(m_history, [&](Journal &journal) { journal.setState(change.id, leftAs(direction)); });
        syncSoon(m_history);
        throw;
    }
    change.state = settledAs(direction);
    settle(m_history, [&](Journal &journal) {
        journal.setState(change.id, settledAs(direction));
        dropTextsPutIn(m_history, change.id, direction);
    });
    syncSoon(m_history);
}

void settleWaiting(sqlite3 *db)
{
    for (const Change &change : Journal(db).waiting()) {
        HistoryTransaction settling(db, true);
        Journal journal(db);
        if (change.state == ChangeState::Waiting) {
            if (holds(db, change, Direction::Redo)) {
                journal.passUndone();
                journal.setState(change.id, ChangeState::Done);
                dropTextsPutIn(db, change.id, Direction::Redo);
            } else {
                journal.forget(change.id);
            }
        } else {
            const Direction direction = change.state == ChangeState::UndoWaiting ? Direction::Undo : Direction::Redo;
            if (holds(db, change, direction)) {
                journal.setState(change.id, settledAs(direction));
                dropTextsPutIn(db, change.id, direction);
            } else {
                journal.setState(change.id, leftAs(direction));
            }
        }
        settling.commit();
    }
}

} // namespace zv::history
