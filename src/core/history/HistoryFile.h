#pragma once

#include "core/store/CatalogueStore.h"

#include <QString>

struct sqlite3;

namespace zv::history {

// The history of the catalogue `Zorvanell.dat` lives beside it: `Zorvanell.dat.history`, an
// SQLite file of its own, and the pictures it keeps in `Zorvanell.dat.history-pictures`.
QString historyPath(const QString &cataloguePath);
QString keptPicturesFolder(const QString &cataloguePath);

// The schema name the history is attached under on a catalogue connection.
inline constexpr char kSchema[] = "history";

struct Attached
{
    // Where a history that was damaged or not one was set aside, or an empty text.
    QString setAsideAs;
};

// Attaches the history of the catalogue at `cataloguePath` to the connection `db`, making it
// when missing. A history that cannot be read, or is not one, is set aside under the name
// `Zorvanell.dat.history.damaged-<date>-<time>` first: it holds the user's past, so it is
// never deleted. Throws CatalogueError when no history can be attached (a folder that cannot
// be written): the catalogue then works without one. `db` is a connection to the catalogue:
// changes a stopped program left waiting are settled by what it holds (see JointCommit.h).
Attached attachHistory(sqlite3 *db, const QString &cataloguePath);

// Attaches the history another connection has attached (and so checked or made) already, for a
// worker's connection of its own: the file is not read through once more.
void attachCheckedHistory(sqlite3 *db, const QString &cataloguePath);

// A worker's own connection to write the history through (see JointCommit.h): the catalogue with
// the history another connection has checked attached. Throws CatalogueError.
CatalogueConnection openWithCheckedHistory(const QString &cataloguePath);
// The same, null when it cannot be had: the session has said why already, and the worker writes
// without the history.
CatalogueConnection workerConnection(const QString &cataloguePath);

// True when an SQLite failure says the history file itself is damaged.
bool isDamage(int sqliteCode);

} // namespace zv::history
