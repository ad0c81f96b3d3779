#pragma once

#include "core/store/NameList.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A category's sorted list as a file beside the catalogue, read by mapping it into memory. Layout:
// a header of one page (what the file is, the collation it was sorted under, the table, the
// counts, checksums, and the catalogue state it matches), then the record ids, the index tree,
// where each name starts, and the names' text, all in list order.
namespace zv::lists {

// Writes `list` as the names of `table` at catalogue state `state`, through a temporary file
// renamed at the end: a write cut short leaves the old file or none. False when it cannot.
bool writeList(const QString &path, const QString &table, const NameList &list, const QByteArray &state);

// The list of `table` in the file, when the file is whole, of this format and collation, of
// that table, and matches `state`; nothing otherwise (missing, damaged, foreign or out of date).
std::optional<NameColumns> mapList(const QString &path, const QString &table, const QByteArray &state);

// The catalogue state the file says it matches, read from its header alone; empty when none.
QByteArray stateOf(const QString &path);
// Says the file matches `state` now. Only the state is rewritten (it is outside the checksums):
// a write cut short leaves a state that matches nothing.
bool restamp(const QString &path, const QByteArray &state);

} // namespace zv::lists
