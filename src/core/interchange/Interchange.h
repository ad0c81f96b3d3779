#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// What export and import carry: entries with their category and the names of their pictures,
// and the bounds an import file is held to, so that a damaged or hostile file is refused before
// it fills the memory or the catalogue.
namespace zv::interchange {

struct Entry
{
    QString table; // the category's table name
    QString name;
    QString text;
    QStringList pictures; // file names in the pictures folder beside the file
};

using Entries = std::vector<Entry>;

// The folder beside an exported file that holds the pictures, and the files themselves.
inline const QString kPictureFolder = QStringLiteral("pictures");
inline const QString kJsonFile = QStringLiteral("catalogue.json");
inline const QString kCsvFile = QStringLiteral("catalogue.csv");

// Bounds of an import file: far above what a real catalogue holds, far below what hurts.
inline constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
inline constexpr qsizetype kMaxFieldBytes = 4 * 1024 * 1024;
inline constexpr qsizetype kMaxEntries = 500000;
inline constexpr qsizetype kMaxPicturesPerEntry = 100;
inline constexpr qint64 kMaxPictureBytes = 64LL * 1024 * 1024;

// Pictures of an entry in a CSV cell: file names never hold "|" (the naming rule writes it as
// "%7C"), so it parts them.
inline constexpr QChar kPictureSeparator = QLatin1Char('|');

// The outcome of reading an import file: the entries, or why the file is refused, in Russian.
struct ReadResult
{
    Entries entries;
    QString failure;
    QString pictureFolder; // where the pictures named by the entries lie
    bool ok() const { return failure.isEmpty(); }
};

} // namespace zv::interchange
