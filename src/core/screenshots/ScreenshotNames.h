#pragma once

#include <QByteArray>
#include <QString>

// Pictures belong to an entry by file name only. These rules say how an entry's name becomes
// part of a file name and which files are an entry's pictures; storing and finding both go
// through them, so the two always agree.
namespace zv::screenshots {

// The form a name (an entry's, or the word typed for a further picture) takes inside a file
// name. Most names stay as they are. A character the file system, another system's file
// system or the matching treats specially ("/", "\", ":", "*", "?", "[", "]", ";", quotes,
// "<", ">", "|", control characters), the "%" that starts such an escape, and a leading "."
// (a hidden file, or "..") become "%" and two hex digits. No two names share a form, and a
// name that begins with another begins with its form too.
QString fileNameForm(const QString &name);

// The extension of a stored copy of the file `sourceName`: its own extension, letter case
// unchanged, when it has a plain one ("JPG", "jpeg", "tiff"); otherwise one that fits the
// first bytes of the file `head` ("jpg" for a JPEG without extension). Empty when neither.
QString extensionFor(const QString &sourceName, const QByteArray &head);

// The file name of an entry's first picture: form + "." + extension.
QString firstPictureName(const QString &entry, const QString &extension);
// A further picture: form + "_" + form of the word + "." + extension.
QString furtherPictureName(const QString &entry, const QString &word, const QString &extension);

// True when `fileName` is one of the entry's pictures: it begins with the entry's form,
// ignoring letter case, so "Word" also has the pictures of "Word 2007".
bool belongsTo(const QString &fileName, const QString &entry);

} // namespace zv::screenshots
