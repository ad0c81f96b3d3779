#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The entry file: one entry of the catalogue with its own pictures in one file that a user can
// mail or carry to whoever runs the update server. A gzip-compressed tar archive holding
// `manifest.json` (kind, format, category table, name, text, the pictures' file names) and each
// picture under its file name, nothing else.
namespace zv::entryfile {

inline constexpr char kExtension[] = "zvegg";

// What an entry file may hold at most: checked against the archive's headers before anything is
// unpacked, and counted again while unpacking.
inline constexpr qint64 kMaxFileBytes = 64 << 20;
inline constexpr qint64 kMaxUnpackedBytes = 64 << 20;
inline constexpr qint64 kMaxManifestBytes = 4 << 20;
inline constexpr int kMaxPictures = 32;

struct Picture
{
    QString fileName;
    QByteArray bytes;
};

struct Entry
{
    QString table;
    QString name;
    QString text;
    std::vector<Picture> pictures;
};

// Why `fileName` with `bytes` cannot travel as a picture of the entry `entry` (it is not a plain
// file name, not the entry's by the naming rule, not a picture, or its extension is another
// kind's), in English; an empty text when it can.
QString pictureProblem(const QString &entry, const QString &fileName, const QByteArray &bytes);

// The file's bytes; empty when the entry cannot be written (a picture it holds is refused by
// pictureProblem, or it is too big).
QByteArray entryFileBytes(const Entry &entry);

// The entry of an entry file, or nothing with `why` (English) set: anything but a well-formed
// file is refused (links, folders, devices, absolute names, "..", members beyond the limits, a
// second manifest, pictures that are not pictures or not the entry's).
std::optional<Entry> readEntryFile(const QByteArray &bytes, QString *why);
// The same for the file at `path`, which must be a regular file within kMaxFileBytes.
std::optional<Entry> loadEntryFile(const QString &path, QString *why);

} // namespace zv::entryfile
