#pragma once

#include "core/store/CatalogueStore.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace zv::update {

// The downloaded entry files of `folder` (ordinary, non-hidden files, sorted by name), the
// file name being the entry's name and the Windows-1251 content its text.
QStringList entryFilesIn(const QString &folder);

// Appends the entries of `files` (names within `folder`) to `table` in one transaction: either
// all land or none. A name that `isPresent` reports (the main list holds it), or equal, ignoring
// letter case, to one added earlier in this call is skipped, so existing entries are never
// touched or doubled; so is a file that cannot be read. `beforeEach` runs before each file.
// Returns the names added with their record ids, in the order added.
// Throws CatalogueError when the store fails; the catalogue is then as it was.
NameRows importEntries(const CatalogueConnection &catalogue, const QString &table, const QString &folder,
                       const QStringList &files, const std::function<bool(const QString &)> &isPresent,
                       const std::function<void(const QString &)> &beforeEach = {});

} // namespace zv::update
