#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace zv::search {

// What tells, without reading the entries, that a catalogue file is the one the index was made
// from and that nobody has written it since: the file's identity on disk (another catalogue put
// in its place is another file) and, from the SQLite header, the change counter that every
// commit raises in the rollback-journal mode the program and the sqlite3 shell use, with the
// page count and the schema cookie.
struct CatalogueFingerprint
{
    QByteArray identity; // device and inode
    QByteArray state;    // empty when the header cannot vouch for the content (WAL mode)
};

// Reads the header inside a read transaction of `db`, so no writer can change the file meanwhile.
CatalogueFingerprint readFingerprint(sqlite3 *db, const QString &path);

} // namespace zv::search
