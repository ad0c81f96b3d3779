#pragma once

#include "core/history/Change.h"
#include "core/history/Reversal.h"

#include <QString>

#include <optional>
#include <vector>

struct sqlite3;

namespace zv::history {

// A change as the journal window lists it, without its records.
struct ChangeSummary
{
    qint64 id = -1;
    QDateTime at;
    ChangeKind kind = ChangeKind::Added;
    ChangeState state = ChangeState::Done;
    QString table;
    QString name;
    QString target;
    int count = 0;
};

// The changes kept in the history attached to a connection (see HistoryFile.h). Writes run
// inside the caller's transaction; JointCommit.h says how a change reaches the catalogue and
// its record here together or not at all.
class Journal
{
public:
    explicit Journal(sqlite3 *db)
        : m_db(db)
    {
    }

    // Records a new change in its state (its id and time are set). A change done passes the
    // changes that were undone: after a new change they can no longer be redone.
    void append(Change &change);
    void passUndone();
    // Removes a change with its records, as if it had never been recorded.
    void forget(qint64 id);
    // The changes written ahead of a commit that was not settled, oldest first.
    std::vector<Change> waiting() const;
    // The change an undo takes back (the newest one done) and the one a redo makes again (the
    // oldest one undone since the last new change).
    std::optional<Change> nextUndo() const;
    std::optional<Change> nextRedo() const;
    std::optional<Change> load(qint64 id) const;
    // The change the next undo (or redo) takes, without its records.
    std::optional<ChangeSummary> next(Direction direction) const;
    // Whether there is one, without reading its records.
    bool hasUndo() const;
    bool hasRedo() const;
    void setState(qint64 id, ChangeState state);
    // Writes back what an undo or redo learnt: texts read from the catalogue, a record put back
    // under a new row id.
    void updateRecords(const Change &change);

    // Newest first, settled changes only; `deletedOnly` keeps the deletions (the trash), `nameFilter` the changes whose
    // entry name contains it, ignoring letter case.
    std::vector<ChangeSummary> list(bool deletedOnly = false, const QString &nameFilter = QString()) const;

    // Removes the oldest changes while the history takes more than `maxBytes` (the file plus
    // `keptPictureBytes`), keeping the newest `keepCount` and those younger than `keepDays`.
    // Returns the ids removed.
    std::vector<qint64> prune(qint64 maxBytes, qint64 keptPictureBytes, int keepCount, int keepDays,
                              const QDateTime &now);
    // The kept picture keys that some change still refers to.
    std::vector<QString> pictureKeysInUse() const;

private:
    std::optional<Change> loadWhere(const QString &condition) const;
    void loadSteps(Change &change) const;

    sqlite3 *m_db;
};

// The rule for how much history is kept: at least the last 1,000 changes and the last 90 days;
// beyond those, the oldest go first once it passes 256 MB, pictures included.
inline constexpr qint64 kHistoryMaxBytes = 256LL * 1024 * 1024;
inline constexpr int kHistoryKeepCount = 1000;
inline constexpr int kHistoryKeepDays = 90;

} // namespace zv::history
