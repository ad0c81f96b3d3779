#pragma once

#include <QString>
#include <QStringList>

// The picture folder "ScreenShots" of the program folder: listing an entry's pictures,
// copying a new one in and deleting one. Names follow ScreenshotNames.h.
namespace zv::screenshots {

// The program folder's "ScreenShots", without a trailing slash.
QString folder();

// The entry's pictures in `folder`: names of files that belong to it, hidden ones too, sorted
// by name ignoring letter case. A missing folder has none.
QStringList picturesOf(const QString &folder, const QString &entry);
bool hasPictures(const QString &folder, const QString &entry);

// The name of a file in `folder` that equals `name` ignoring letter case, or an empty text.
QString existingName(const QString &folder, const QString &name);

// Copies the file `source` into `folder` (created when missing) as `name`, replacing a file of
// exactly that name and touching no other: one spelt in other letter case may be another
// entry's ("STRASSE_2.JPG" beside "Straße_2.jpg"). The copy is written under a hidden temporary
// name and renamed when complete, so a cut copy never leaves a broken picture. Returns an empty
// text on success, otherwise why it failed, in Russian.
QString copyInto(const QString &source, const QString &folder, const QString &name);

// Deletes the picture `name` of `folder`; the reason in Russian when that fails.
QString remove(const QString &folder, const QString &name);

} // namespace zv::screenshots
