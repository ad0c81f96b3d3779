#pragma once

#include "core/interchange/Interchange.h"

#include <QByteArray>

// The lossless form: every entry with its category's table, name, text and the names of its
// pictures, which lie beside the file.
//   {"format": "zorvanell-entries", "version": 1, "entries": [{"category": "Games", "name": ...,
//    "text": ..., "pictures": [...]}, ...]}
namespace zv::interchange {

// The file is written in pieces, an entry at a time, so that a whole catalogue never has to be
// held in memory: the opening, each entry (`first` for the first), the closing.
QByteArray jsonOpening();
void appendJsonEntry(QByteArray &out, const Entry &entry, bool first);
QByteArray jsonClosing();

// The entries of such a file, or why it is refused (in Russian).
ReadResult entriesFromJson(const QByteArray &bytes);

} // namespace zv::interchange
