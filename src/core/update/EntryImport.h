#pragma once

#include "core/store/CatalogueStore.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

namespace zv::update {

// The downloaded entry files of `folder` (ordinary, non-hidden files, sorted by name), the
// file name being the entry's name and the Windows-1251 content its text.
QStringList entryFilesIn(const QString &folder);

// Texts of entry files taken as each arrives, while the others still download, so that adding
// them needs no second trip to the disk. Keeps at most `budget` characters; files beyond that,
// and those never kept, are read when added.
class ArrivedTexts
{
public:
    explicit ArrivedTexts(qsizetype budget = 32 << 20)
        : m_budget(budget)
    {
    }
    // The complete file `name` holds `bytes` (Windows-1251); a name that arrives again replaces
    // what it held.
    void keep(const QString &name, const QByteArray &bytes);
    const QString *find(const QString &name) const;
    void clear();

private:
    QHash<QString, QString> m_texts;
    qsizetype m_size = 0;
    qsizetype m_budget;
};

// Appends the entries of `files` (names within `folder`) to `table` in one transaction: either
// all land or none. A name that `isPresent` reports (the main list holds it), or equal, ignoring
// letter case, to one added earlier in this call is skipped, so existing entries are never
// touched or doubled; so is a file that cannot be read. `beforeEach` runs before each file.
// The text of a file that `arrived` holds is taken from there. `cancel`, looked at before each
// file and before the end, may be set from another thread.
// Returns the names added with their record ids, in the order added, or nothing when cancelled
// (nothing is written then). Throws CatalogueError when the store fails; the catalogue is then as it was.
// `added`, when given, hears of each entry added, with its text, before the commit.
std::optional<NameRows>
importEntries(const CatalogueConnection &catalogue, const QString &table, const QString &folder,
              const QStringList &files, const std::function<bool(const QString &)> &isPresent,
              const std::function<void(const QString &)> &beforeEach = {}, const ArrivedTexts *arrived = nullptr,
              const std::atomic_bool *cancel = nullptr,
              const std::function<void(qint64 rowId, const QString &name, const QString &text)> &added = {});

} // namespace zv::update
