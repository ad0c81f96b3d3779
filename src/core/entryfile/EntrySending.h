#pragma once

#include "core/entryfile/EntryFile.h"
#include "core/store/CatalogueStore.h"

#include <QStringList>

namespace zv::entryfile {

// The record `rowId` of `table`, named `name` with `text`, with its own pictures of `folder` (the
// naming rule's, see ownPictures), as an entry file carries it. Pictures an entry file cannot
// carry (not a picture by their bytes, named as another kind, too big) are named in `leftOut`.
Entry entryToSend(const CatalogueConnection &db, const QString &folder, const QString &table, qint64 rowId,
                  const QString &name, const QString &text, QStringList *leftOut);

// Writes `entry` as an entry file at `path`, whole or not at all; why not, in Russian, or an empty text.
QString writeEntryFile(const QString &path, const Entry &entry);

} // namespace zv::entryfile
