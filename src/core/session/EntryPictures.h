#pragma once

#include "core/store/CatalogueStore.h"

#include <QString>
#include <QStringList>

namespace zv {

// The pictures in `folder` that are the entry's own: the naming rule gives them to its name
// and to no other record of the catalogue of the same or a longer name ("Word" does not own
// "Word 2007.jpg" while an entry "Word 2007" exists). `table` and `rowId` are the entry's record.
QStringList ownPictures(const CatalogueConnection &catalogue, const QString &folder, const QString &table, qint64 rowId,
                        const QString &name);

// The file name the picture `fileName` of the entry `from` takes once the entry is called `to`;
// an empty text when the file name does not begin with the entry's name.
QString renamedPicture(const QString &fileName, const QString &from, const QString &to);

} // namespace zv
