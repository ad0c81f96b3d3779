#pragma once

#include "core/history/Change.h"
#include "core/history/KeptPictures.h"

#include <QList>
#include <QString>

#include <stdexcept>
#include <vector>

struct sqlite3;

namespace zv::history {

enum class Direction { Undo, Redo };

// What an undo or redo did to one category table.
struct TableEffect
{
    QString table;
    QList<qint64> removed;                           // records no longer there
    std::vector<std::pair<qint64, QString>> present; // records there now, with their names
    // Records changed in place or put back: the row id each had before (when it was last there) and now.
    std::vector<std::pair<qint64, qint64>> carried;
};

// An entry that an undo or redo put at another place, or renamed where it is.
struct RecordMove
{
    QString fromTable;
    qint64 fromRowId = -1;
    QString toTable;
    qint64 toRowId = -1;
    QString name;
};

// The entries `effects` of `change` carried: a move's record taken from one category and put
// into the other, and every record changed in place or put back under its own or a new row id.
std::vector<RecordMove> recordMoves(const Change &change, const std::vector<TableEffect> &effects);

// The catalogue no longer holds what the change left (or, for a redo, what it found): another
// program, or a later change, changed it since. Nothing was written.
class ChangedSince : public std::runtime_error
{
public:
    explicit ChangedSince(const QString &message)
        : std::runtime_error("changed since")
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Puts back the records of `change` in the direction given, inside the caller's transaction
// on `db` (the catalogue, with the history attached): every record is checked first, then
// written. Sides learnt on the way (a text read from the catalogue, a record put back under a
// new row id) are written into `change`; the texts of the sides put in stay in it too, until
// the commit has landed. Throws ChangedSince, or CatalogueError.
std::vector<TableEffect> applyRecords(sqlite3 *db, Change &change, Direction direction);

// True when the catalogue (the main database of `db`) holds what `change` leaves when it is made
// in `direction`: every record it puts there, none it takes away.
bool holds(sqlite3 *db, const Change &change, Direction direction);

// The same check for the change's pictures in `folder`: throws ChangedSince when a picture is
// not what the change left (or found).
void checkPictures(const Change &change, Direction direction, const QString &folder);
// Puts the change's pictures back in `folder`; returns what failed, in Russian, or an empty text.
QString applyPictures(const Change &change, Direction direction, const QString &folder, const KeptPictures &kept);

} // namespace zv::history
