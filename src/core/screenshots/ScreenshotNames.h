#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Pictures belong to an entry by file name only. These rules say how an entry's name becomes
// part of a file name and which files are an entry's pictures; storing and finding both go
// through them, so the two always agree.
namespace zv::screenshots {

// The form a name (an entry's, or the word typed for a further picture) takes inside a file
// name: what a Linux or Windows file name cannot hold ("/", "\\", ":", "*", "?", quotes, "<",
// ">", "|", control characters) becomes "%" and two hex digits; everything else stays, so
// "100% Orange Juice" and ".kkrieger" keep their names, as older installations stored them.
// A name that begins with another begins with its form too. A form is never a file name alone:
// an extension always follows.
QString fileNameForm(const QString &name);
// The form earlier versions of this program wrote: also "%", "[", "]", ";" and a leading "."
// became "%XX".
QString earlierFileNameForm(const QString &name);

// A kind of picture a screenshot may be: what the user calls it and its extensions, the usual one first.
struct PictureKind
{
    QString name;
    QStringList extensions;
};
// Every kind a screenshot is recognised as (extensionFor), which is what may be added to an entry.
QList<PictureKind> pictureKinds();
// The extensions of the picture kind the first bytes `head` show, the usual one first; none
// when they show no kind known here.
QStringList extensionsOfContent(const QByteArray &head);

// The extension of a stored copy of the file `sourceName` whose first bytes are `head`: its
// own, letter case unchanged, when it is a plain one that fits what the bytes show ("JPG",
// "jpeg", "tiff"); the usual one of that kind when they show a known kind and the name does not
// fit it ("jpg" for a JPEG named "shot" or "shot.txt"); its own plain one when the bytes show no
// kind known here. Empty when there is none of these.
QString extensionFor(const QString &sourceName, const QByteArray &head);

// The file name of an entry's first picture: form + "." + extension.
QString firstPictureName(const QString &entry, const QString &extension);
// A further picture: form + "_" + form of the word + "." + extension.
QString furtherPictureName(const QString &entry, const QString &word, const QString &extension);

// What the names of an entry's pictures begin with: its form, and the earlier form when that
// differs. None for an empty name, which would own every picture.
QStringList pictureForms(const QString &entry);
// True when `fileName` begins with one of `forms`, ignoring letter case.
bool beginsWithOneOf(const QString &fileName, const QStringList &forms);
// True when `fileName` is one of the entry's pictures: it begins with one of the entry's forms,
// ignoring letter case, so "Word" also has the pictures of "Word 2007".
bool belongsTo(const QString &fileName, const QString &entry);

} // namespace zv::screenshots
