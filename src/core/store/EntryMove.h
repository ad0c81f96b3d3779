#pragma once

#include "core/store/CatalogueStore.h"

namespace zv {

// Moves the found record to `targetTable`, stored there as `name` with `text`. The delete and
// the add land together or not at all, so a failure (or the program ending in between) never
// loses the entry nor doubles it. Throws CatalogueError, of kind RecordGone when the record is no
// longer there, of kind TextChanged when another program changed its text since `record` was
// read and `text` is not that text as read (a `text` equal to it moves the stored text instead);
// the catalogue is then as it was. Returns the new record's id.
qint64 moveEntry(FindResult &record, const QString &targetTable, const QString &name, const QString &text);

} // namespace zv
