#pragma once

#include "core/interchange/Interchange.h"
#include "core/store/CatalogueStore.h"
#include "core/store/NameList.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace zv::interchange {

// Reads the JSON or CSV file `path` (by its extension) with the pictures beside it, and checks
// all of it: the entries, or why nothing of it can be imported.
ReadResult readImportFile(const QString &path);

// How an entry of the file stands to the catalogue: not there, there with the same text, there
// with another text.
enum class Match { New, Same, Differs };
// For an entry that differs: keep the catalogue's, take the file's, or keep both (the file's
// under another name).
enum class Choice { KeepMine, TakeTheirs, KeepBoth };

struct PlannedEntry
{
    Entry theirs;
    Match match = Match::New;
    qint64 mineRowId = -1;
    QString mineName;
    QString mineText;
    Choice choice = Choice::KeepMine;
    // Of KeepBoth: the name the file's entry takes (see freeName).
    QString bothName;
};

struct ImportPlan
{
    QString pictureFolder;
    std::vector<PlannedEntry> entries;
    int count(Match match) const;
};

// The names of the category the main list shows (a copy another thread may read), so that
// they are not read from the catalogue again.
struct ShownNames
{
    QString table;
    std::shared_ptr<const NameList> names;
};

// Compares the entries read with the catalogue (names ignoring letter case); every entry that
// differs is set to KeepMine until the user chooses.
ImportPlan planImport(const CatalogueConnection &catalogue, ReadResult read, const ShownNames &shown = {});

// "Name (2)", "Name (3)"...: the first that `taken` does not hold.
QString freeName(const QString &name, const std::function<bool(const QString &)> &taken);

} // namespace zv::interchange
