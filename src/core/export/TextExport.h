#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The two text files the user can save: one entry, or the list of names of a category.
// Lines end with CR LF, the last one too; a signature line names the program and its site.
namespace zv::exporting {

// The line that closes both files.
QString signatureLine();

// Name, the text's lines, an empty line, the signature.
QString entryFileText(const QString &name, const QString &text);
// "Записей : n", the signature, two empty lines, the names, two empty lines, "Записей : n",
// the signature.
QString listFileText(const QStringList &names);

// Windows-1251 when every character fits; otherwise UTF-8 behind a byte-order mark, so that
// no character of the user's text is lost.
QByteArray encode(const QString &text);

// The name the save dialog proposes: `name` with the characters a file name cannot hold
// replaced by "_".
QString proposedFileName(const QString &name);

// Writes `bytes` to `path` through a temporary file that replaces the old one only when
// complete. Returns an empty text on success, otherwise why it failed, in Russian.
QString writeFile(const QString &path, const QByteArray &bytes);

} // namespace zv::exporting
