#include "core/history/Journal.h"

#include "core/LetterCase.h"
#include "core/store/SqlStatement.h"

#include <sqlite3.h>

namespace zv::history {

namespace {

const QString kChangeColumns = QStringLiteral("id, at, kind, state, category, name, target, count");

void bindSide(SqlStatement &statement, int first, const RecordSide &side)
{
    if (!side.exists()) {
        for (int i = 0; i < 4; ++i)
            statement.bindNull(first + i);
        return;
    }
    statement.bind(first, side.rowId);
    statement.bind(first + 1, side.name);
    if (side.hasText)
        statement.bind(first + 2, side.text);
    else
        statement.bindNull(first + 2);
    statement.bind(first + 3, side.textHash);
}

RecordSide readSide(const SqlStatement &statement, int first)
{
    RecordSide side;
    if (statement.isNull(first))
        return side;
    side.rowId = statement.integer(first);
    side.name = statement.text(first + 1);
    side.hasText = !statement.isNull(first + 2);
    if (side.hasText)
        side.text = statement.text(first + 2);
    side.textHash = statement.integer(first + 3);
    return side;
}

ChangeSummary readSummary(const SqlStatement &statement)
{
    ChangeSummary summary;
    summary.id = statement.integer(0);
    summary.at = QDateTime::fromMSecsSinceEpoch(statement.integer(1));
    summary.kind = ChangeKind(statement.integer(2));
    summary.state = ChangeState(statement.integer(3));
    summary.table = statement.text(4);
    summary.name = statement.text(5);
    summary.target = statement.text(6);
    summary.count = int(statement.integer(7));
    return summary;
}

qint64 sideBytes(const RecordSide &side)
{
    return side.exists() ? 16 + side.name.size() * 2 + (side.hasText ? side.text.size() * 2 : 0) : 0;
}

} // namespace

void Journal::append(Change &change)
{
    change.at = QDateTime::currentDateTimeUtc();
    qint64 bytes = 0;
    for (const RecordStep &step : change.records)
        bytes += sideBytes(step.before) + sideBytes(step.after);
    // A change written ahead of the catalogue's commit passes them once it is settled as done.
    if (change.state == ChangeState::Done)
        passUndone();
    {
        SqlStatement insert(m_db, QStringLiteral("INSERT INTO history.changes (at, kind, state, category, name, "
                                                 "target, count, bytes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"));
        insert.bind(1, change.at.toMSecsSinceEpoch());
        insert.bind(2, qint64(change.kind));
        insert.bind(3, qint64(change.state));
        insert.bind(4, change.table);
        insert.bind(5, change.name);
        insert.bind(6, change.target);
        insert.bind(7, qint64(change.count));
        insert.bind(8, bytes);
        insert.run();
    }
    change.id = sqlite3_last_insert_rowid(m_db);
    SqlStatement record(m_db,
                        QStringLiteral("INSERT INTO history.records (change, category, before_row, "
                                       "before_name, before_text, before_hash, after_row, after_name, "
                                       "after_text, after_hash) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"));
    record.bind(1, change.id);
    for (const RecordStep &step : change.records) {
        record.reset();
        record.bind(2, step.table);
        bindSide(record, 3, step.before);
        bindSide(record, 7, step.after);
        record.run();
    }
    if (change.pictures.empty())
        return;
    SqlStatement picture(m_db, QStringLiteral("INSERT INTO history.pictures (change, file, before, after) "
                                              "VALUES (?1, ?2, ?3, ?4)"));
    picture.bind(1, change.id);
    for (const PictureStep &step : change.pictures) {
        picture.reset();
        picture.bind(2, step.fileName);
        picture.bind(3, step.before);
        picture.bind(4, step.after);
        picture.run();
    }
}

std::optional<Change> Journal::loadWhere(const QString &condition) const
{
    SqlStatement select(m_db, QStringLiteral("SELECT ") + kChangeColumns + QStringLiteral(" FROM history.changes ") +
                                  condition + QStringLiteral(" LIMIT 1"));
    if (!select.step())
        return std::nullopt;
    const ChangeSummary summary = readSummary(select);
    Change change;
    change.id = summary.id;
    change.at = summary.at;
    change.kind = summary.kind;
    change.state = summary.state;
    change.table = summary.table;
    change.name = summary.name;
    change.target = summary.target;
    change.count = summary.count;
    loadSteps(change);
    return change;
}

void Journal::loadSteps(Change &change) const
{
    SqlStatement records(m_db, QStringLiteral("SELECT category, before_row, before_name, before_text, before_hash, "
                                              "after_row, after_name, after_text, after_hash, id "
                                              "FROM history.records WHERE change = ?1 ORDER BY id"));
    records.bind(1, change.id);
    while (records.step())
        change.records.push_back({records.text(0), readSide(records, 1), readSide(records, 5)});
    SqlStatement pictures(m_db, QStringLiteral("SELECT file, before, after FROM history.pictures "
                                               "WHERE change = ?1 ORDER BY id"));
    pictures.bind(1, change.id);
    while (pictures.step())
        change.pictures.push_back({pictures.text(0), pictures.text(1), pictures.text(2)});
}

std::optional<Change> Journal::nextUndo() const
{
    return loadWhere(QStringLiteral("WHERE state = %1 ORDER BY id DESC").arg(int(ChangeState::Done)));
}

std::optional<Change> Journal::nextRedo() const
{
    return loadWhere(QStringLiteral("WHERE state = %1 ORDER BY id").arg(int(ChangeState::Undone)));
}

std::optional<ChangeSummary> Journal::next(Direction direction) const
{
    SqlStatement select(m_db,
                        QStringLiteral("SELECT ") + kChangeColumns +
                            (direction == Direction::Undo
                                 ? QStringLiteral(" FROM history.changes WHERE state = %1 ORDER BY id DESC")
                                 : QStringLiteral(" FROM history.changes WHERE state = %1 ORDER BY id"))
                                .arg(int(direction == Direction::Undo ? ChangeState::Done : ChangeState::Undone)) +
                            QStringLiteral(" LIMIT 1"));
    if (!select.step())
        return std::nullopt;
    return readSummary(select);
}

bool Journal::hasUndo() const
{
    SqlStatement select(
        m_db, QStringLiteral("SELECT 1 FROM history.changes WHERE state = %1 LIMIT 1").arg(int(ChangeState::Done)));
    return select.step();
}

bool Journal::hasRedo() const
{
    SqlStatement select(
        m_db, QStringLiteral("SELECT 1 FROM history.changes WHERE state = %1 LIMIT 1").arg(int(ChangeState::Undone)));
    return select.step();
}

std::optional<Change> Journal::load(qint64 id) const
{
    return loadWhere(QStringLiteral("WHERE id = %1").arg(id));
}

void Journal::setState(qint64 id, ChangeState state)
{
    SqlStatement update(m_db, QStringLiteral("UPDATE history.changes SET state = ?1 WHERE id = ?2"));
    update.bind(1, qint64(state));
    update.bind(2, id);
    update.run();
}

void Journal::passUndone()
{
    SqlStatement(m_db, QStringLiteral("UPDATE history.changes SET state = %1 WHERE state = %2")
                           .arg(int(ChangeState::Passed))
                           .arg(int(ChangeState::Undone)))
        .run();
}

void Journal::forget(qint64 id)
{
    for (const char *table : {"records", "pictures"}) {
        SqlStatement remove(m_db, QStringLiteral("DELETE FROM history.") + QLatin1String(table) +
                                      QStringLiteral(" WHERE change = ?1"));
        remove.bind(1, id);
        remove.run();
    }
    SqlStatement remove(m_db, QStringLiteral("DELETE FROM history.changes WHERE id = ?1"));
    remove.bind(1, id);
    remove.run();
}

std::vector<Change> Journal::waiting() const
{
    std::vector<Change> changes;
    SqlStatement select(
        m_db,
        QStringLiteral("SELECT id FROM history.changes WHERE state >= %1 ORDER BY id").arg(int(ChangeState::Waiting)));
    while (select.step()) {
        if (std::optional<Change> change = load(select.integer(0)))
            changes.push_back(std::move(*change));
    }
    return changes;
}

void Journal::updateRecords(const Change &change)
{
    // The records of a change are written anew in their order; their ids keep that order.
    SqlStatement ids(m_db, QStringLiteral("SELECT id FROM history.records WHERE change = ?1 ORDER BY id"));
    ids.bind(1, change.id);
    SqlStatement update(m_db, QStringLiteral("UPDATE history.records SET before_row = ?2, before_name = ?3, "
                                             "before_text = ?4, before_hash = ?5, after_row = ?6, after_name = ?7, "
                                             "after_text = ?8, after_hash = ?9 WHERE id = ?1"));
    std::vector<qint64> recordIds;
    while (ids.step())
        recordIds.push_back(ids.integer(0));
    for (size_t i = 0; i < recordIds.size() && i < change.records.size(); ++i) {
        update.reset();
        update.bind(1, recordIds[i]);
        bindSide(update, 2, change.records[i].before);
        bindSide(update, 6, change.records[i].after);
        update.run();
    }
}

std::vector<ChangeSummary> Journal::list(bool deletedOnly, const QString &nameFilter) const
{
    QString sql = QStringLiteral("SELECT ") + kChangeColumns + QStringLiteral(" FROM history.changes");
    // A change still waiting for the catalogue's commit is not one yet.
    sql += QStringLiteral(" WHERE state < %1").arg(int(ChangeState::Waiting));
    if (deletedOnly)
        sql += QStringLiteral(" AND kind = %1").arg(int(ChangeKind::Deleted));
    sql += QStringLiteral(" ORDER BY id DESC");
    SqlStatement select(m_db, sql);
    std::vector<ChangeSummary> changes;
    // Letter case is ours to fold (SQLite's LIKE folds Latin letters only).
    const QString folded = foldCase(nameFilter);
    while (select.step()) {
        ChangeSummary summary = readSummary(select);
        if (!folded.isEmpty() && !foldCase(summary.name).contains(folded))
            continue;
        changes.push_back(std::move(summary));
    }
    return changes;
}

std::vector<qint64> Journal::prune(qint64 maxBytes, qint64 keptPictureBytes, int keepCount, int keepDays,
                                   const QDateTime &now)
{
    auto fileBytes = [this] {
        auto number = [this](const char *pragma) {
            SqlStatement statement(m_db, QStringLiteral("PRAGMA history.") + QLatin1String(pragma));
            return statement.step() ? statement.integer(0) : 0;
        };
        return (number("page_count") - number("freelist_count")) * number("page_size");
    };
    qint64 total = fileBytes() + keptPictureBytes;
    std::vector<qint64> removed;
    if (total <= maxBytes)
        return removed;
    // Candidates: older than the days kept and not among the newest changes kept.
    SqlStatement oldest(m_db, QStringLiteral("SELECT id, bytes FROM history.changes WHERE at < ?1 AND id NOT IN "
                                             "(SELECT id FROM history.changes ORDER BY id DESC LIMIT ?2) ORDER BY id"));
    oldest.bind(1, now.addDays(-keepDays).toMSecsSinceEpoch());
    oldest.bind(2, qint64(keepCount));
    while (total > maxBytes && oldest.step()) {
        removed.push_back(oldest.integer(0));
        total -= oldest.integer(1);
    }
    for (const qint64 id : removed)
        forget(id);
    return removed;
}

std::vector<QString> Journal::pictureKeysInUse() const
{
    SqlStatement select(m_db, QStringLiteral("SELECT before FROM history.pictures WHERE before != '' UNION "
                                             "SELECT after FROM history.pictures WHERE after != ''"));
    std::vector<QString> keys;
    while (select.step())
        keys.push_back(select.text(0));
    return keys;
}

} // namespace zv::history
