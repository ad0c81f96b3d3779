#include "core/history/Reversal.h"

#include "core/screenshots/ScreenshotStore.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/store/SqlStatement.h"

#include <QFileInfo>

#include <map>
#include <memory>
#include <sqlite3.h>

namespace zv::history {

namespace {

QString categoryName(const QString &table)
{
    const auto category = categoryByTable(table);
    return category ? category->displayName : table;
}

[[noreturn]] void refuse(Direction direction, const QString &what)
{
    throw ChangedSince((direction == Direction::Undo ? QStringLiteral("Отменить это изменение нельзя: ")
                                                     : QStringLiteral("Повторить это изменение нельзя: ")) +
                       what +
                       QStringLiteral(" с тех пор изменена (другой программой или более поздним изменением). "
                                      "Ничего не изменено."));
}

QString recordWords(const RecordStep &step, const RecordSide &side)
{
    return QStringLiteral("запись «") + side.name + QStringLiteral("» в разделе «") + categoryName(step.table) +
           QStringLiteral("»");
}

// The side the catalogue holds now, and the one to put in its place.
RecordSide &fromSide(RecordStep &step, Direction direction)
{
    return direction == Direction::Undo ? step.after : step.before;
}
RecordSide &toSide(RecordStep &step, Direction direction)
{
    return direction == Direction::Undo ? step.before : step.after;
}

// The statements of one pass over a change's records, each prepared once: an update's undo
// runs the same few over thousands of records.
class Statements
{
public:
    explicit Statements(sqlite3 *db)
        : m_db(db)
    {
    }

    SqlStatement &operator()(const QString &sql)
    {
        std::unique_ptr<SqlStatement> &statement = m_prepared[sql];
        if (statement)
            statement->reset();
        else
            statement = std::make_unique<SqlStatement>(m_db, sql);
        return *statement;
    }

private:
    sqlite3 *m_db;
    std::map<QString, std::unique_ptr<SqlStatement>> m_prepared;
};

bool rowIsFree(Statements &statements, const QString &table, qint64 rowId)
{
    SqlStatement &select = statements(QStringLiteral("SELECT 1 FROM ") + table + QStringLiteral(" WHERE rowid = ?1"));
    select.bind(1, rowId);
    return !select.step();
}

QString contentOf(const QString &key)
{
    return key.section(QLatin1Char('.'), 0, 0);
}

} // namespace

std::vector<TableEffect> applyRecords(sqlite3 *db, Change &change, Direction direction)
{
    const auto tableOf = [db](const QString &table) {
        // Only the nine category tables are ever named in SQL text, whatever the history says.
        if (!categoryByTable(table))
            throw CatalogueError(QStringLiteral("В журнале изменений неизвестный раздел: ") + table);
        return quotedName(table);
    };
    Statements statements(db);
    // First every record is checked, so that a refusal writes nothing.
    for (RecordStep &step : change.records) {
        RecordSide &from = fromSide(step, direction);
        const RecordSide &to = toSide(step, direction);
        if (to.exists() && !to.hasText)
            throw CatalogueError(QStringLiteral("В журнале изменений нет текста записи «") + to.name +
                                 QStringLiteral("»."));
        if (!from.exists())
            continue;
        SqlStatement &select = statements(QStringLiteral("SELECT Name, Ref FROM ") + tableOf(step.table) +
                                          QStringLiteral(" WHERE rowid = ?1"));
        select.bind(1, from.rowId);
        if (!select.step() || select.isNull(0) || select.text(0) != from.name)
            refuse(direction, recordWords(step, from));
        const QString text = select.text(1);
        select.reset();
        if (textHash(text) != from.textHash || (from.hasText && text != from.text))
            refuse(direction, recordWords(step, from));
        // What is replaced now is kept, for the way back.
        from.text = text;
        from.hasText = true;
    }

    std::vector<TableEffect> effects;
    auto effectFor = [&effects](const QString &table) -> TableEffect & {
        for (TableEffect &effect : effects)
            if (effect.table == table)
                return effect;
        effects.push_back({table, {}, {}, {}});
        return effects.back();
    };
    const qsizetype count = qsizetype(change.records.size());
    for (qsizetype n = 0; n < count; ++n) {
        // An undo takes the records back in the opposite order: a move's new record goes first.
        RecordStep &step = change.records[size_t(direction == Direction::Undo ? count - 1 - n : n)];
        RecordSide &from = fromSide(step, direction);
        RecordSide &to = toSide(step, direction);
        const QString table = tableOf(step.table);
        TableEffect &effect = effectFor(step.table);
        if (from.exists() && to.exists()) {
            SqlStatement &update = statements(QStringLiteral("UPDATE ") + table +
                                              QStringLiteral(" SET Name = ?1, Ref = ?2 WHERE rowid = ?3"));
            update.bind(1, to.name);
            update.bind(2, to.text);
            update.bind(3, from.rowId);
            update.run();
            to.rowId = from.rowId;
            effect.removed << from.rowId;
            effect.carried.emplace_back(from.rowId, from.rowId);
        } else if (from.exists()) {
            SqlStatement &remove =
                statements(QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE rowid = ?1"));
            remove.bind(1, from.rowId);
            remove.run();
            effect.removed << from.rowId;
        } else if (to.exists()) {
            // Back under its own row id where that is free, so the list and the index know it again.
            const bool sameRow = rowIsFree(statements, table, to.rowId);
            SqlStatement &insert = statements(QStringLiteral("INSERT INTO ") + table +
                                              (sameRow ? QStringLiteral(" (rowid, Name, Ref) VALUES (?3, ?1, ?2)")
                                                       : QStringLiteral(" (Name, Ref) VALUES (?1, ?2)")));
            insert.bind(1, to.name);
            insert.bind(2, to.text);
            if (sameRow)
                insert.bind(3, to.rowId);
            insert.run();
            const qint64 earlier = to.rowId;
            to.rowId = sqlite3_last_insert_rowid(db);
            effect.carried.emplace_back(earlier, to.rowId);
        }
        if (to.exists())
            effect.present.emplace_back(to.rowId, to.name);
    }
    return effects;
}

bool holds(sqlite3 *db, const Change &change, Direction direction)
{
    for (const RecordStep &step : change.records) {
        const RecordSide &to = direction == Direction::Undo ? step.before : step.after;
        const RecordSide &from = direction == Direction::Undo ? step.after : step.before;
        if (!categoryByTable(step.table))
            return false;
        const RecordSide &side = to.exists() ? to : from;
        if (!side.exists())
            continue;
        SqlStatement select(db, QStringLiteral("SELECT Name, Ref FROM ") + quotedName(step.table) +
                                    QStringLiteral(" WHERE rowid = ?1"));
        select.bind(1, side.rowId);
        const bool there = select.step() && !select.isNull(0) && select.text(0) == side.name &&
                           textHash(select.text(1)) == side.textHash;
        // What the change left is there; what it removed is not.
        if (there != to.exists())
            return false;
    }
    return true;
}

std::vector<RecordMove> recordMoves(const Change &change, const std::vector<TableEffect> &effects)
{
    std::vector<RecordMove> moves;
    const auto nameOf = [](const TableEffect &effect, qint64 rowId) {
        for (const auto &[id, name] : effect.present)
            if (id == rowId)
                return name;
        return QString();
    };
    // A move taken back or made again leaves one category and lands in the other: the entry is
    // where it landed, whatever row id it had there before.
    if (change.kind == ChangeKind::Moved) {
        const TableEffect *left = nullptr;
        const TableEffect *landed = nullptr;
        for (const TableEffect &effect : effects)
            (effect.carried.empty() ? left : landed) = &effect;
        if (left && landed && !left->removed.isEmpty()) {
            const qint64 to = landed->carried.front().second;
            moves.push_back({left->table, left->removed.front(), landed->table, to, nameOf(*landed, to)});
        }
        return moves;
    }
    for (const TableEffect &effect : effects)
        for (const auto &[from, to] : effect.carried)
            moves.push_back({effect.table, from, effect.table, to, nameOf(effect, to)});
    return moves;
}

void checkPictures(const Change &change, Direction direction, const QString &folder)
{
    for (const PictureStep &step : change.pictures) {
        const QString &expected = direction == Direction::Undo ? step.after : step.before;
        const QString path = folder + QLatin1Char('/') + step.fileName;
        const bool present = QFileInfo::exists(path);
        const bool same =
            expected.isEmpty() ? !present : present && contentOf(KeptPictures::keyOf(path)) == contentOf(expected);
        if (!same)
            refuse(direction, QStringLiteral("картинка «") + step.fileName + QStringLiteral("»"));
    }
}

QString applyPictures(const Change &change, Direction direction, const QString &folder, const KeptPictures &kept)
{
    QStringList failures;
    // Files that go first, so that a picture renamed in letter case only is not removed after it was written.
    for (const PictureStep &step : change.pictures) {
        const QString &wanted = direction == Direction::Undo ? step.before : step.after;
        if (wanted.isEmpty() && QFileInfo::exists(folder + QLatin1Char('/') + step.fileName)) {
            const QString failure = screenshots::remove(folder, step.fileName);
            if (!failure.isEmpty())
                failures << failure;
        }
    }
    for (const PictureStep &step : change.pictures) {
        const QString &wanted = direction == Direction::Undo ? step.before : step.after;
        if (wanted.isEmpty())
            continue;
        const QString failure = kept.restore(wanted, folder, step.fileName);
        if (!failure.isEmpty())
            failures << failure;
    }
    return failures.join(QLatin1Char('\n'));
}

} // namespace zv::history
