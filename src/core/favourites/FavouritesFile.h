#pragma once

#include <QString>

#include <vector>

// The favourites of the catalogue `Zorvanell.dat` live beside it in `Zorvanell.dat.favourites`:
// a small JSON file that names its kind, its format, the catalogue it belongs to and the version
// that wrote it, then one mark per entry. Never inside the catalogue, which stays plain SQLite.
namespace zv::favourites {

// One entry marked: its record, and its name then, which tells the record from another that took
// the same row id after it was deleted (or from one another program renamed).
struct Mark
{
    QString table;
    qint64 rowId = -1;
    QString name;
};

QString favouritesPath(const QString &cataloguePath);

struct Loaded
{
    std::vector<Mark> marks;
    // Where a damaged or foreign file was set aside, or an empty text.
    QString setAsideAs;
};

// The marks of the catalogue at `cataloguePath`; none when there is no file yet. A file that is
// not one, is damaged, belongs to another catalogue or is of a format not known here holds the
// user's marks all the same: it is set aside under `<name>.damaged-<date>-<time>`, never deleted,
// and the catalogue goes on without marks.
Loaded loadFavourites(const QString &cataloguePath);

// The marks as the file holds them (its whole content), and back: nothing when the bytes are not
// a favourites file of `catalogueName` (the catalogue's file name).
QByteArray favouritesBytes(const std::vector<Mark> &marks, const QString &catalogueName);
bool parseFavourites(const QByteArray &bytes, const QString &catalogueName, std::vector<Mark> &marks);

// Writes the file whole or not at all; the reason in Russian when it could not be written.
QString saveFavourites(const QString &cataloguePath, const std::vector<Mark> &marks);

} // namespace zv::favourites
