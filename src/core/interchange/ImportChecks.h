#pragma once

#include "core/interchange/Interchange.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

// What an import file must be before anything of it is written: every rule is checked here, so
// the JSON and CSV readers refuse the same things with the same words.
namespace zv::interchange {

// True when `bytes` are well-formed UTF-8 (a byte-order mark allowed).
bool isUtf8(QByteArrayView bytes);
// The refusal of a file with more than kMaxEntries entries.
QString tooManyEntries();

// The table of a category given by its display name ("Игры") or its table name ("Games").
std::optional<QString> tableOfCategory(const QString &category);

// Why `entry` (its name, text, pictures' names) cannot be imported, or an empty text.
QString entryProblem(const Entry &entry);

// Why the picture `fileName` of the entry `entryName` cannot be taken in as a picture name, or
// an empty text: it must be a plain file name of that entry, never a path, a link or a device.
QString pictureNameProblem(const QString &fileName, const QString &entryName);

// Why the file `path` cannot be taken in as a picture (not there, a link, too big, not an
// image), or an empty text.
QString pictureFileProblem(const QString &path);

// Checks every entry of `result` and its pictures in `folder`, and that no entry comes twice;
// sets its failure to the first problem found.
void checkEntries(ReadResult &result, const QString &folder);

} // namespace zv::interchange
