#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The starter catalogue is kept in the repository as one text file per entry,
// <folder>/<Table>/<Name>.txt, and turned into Zorvanell.dat by the build.
namespace zv::starter {

struct SourceEntry
{
    QString table;
    QString name;
    QString text;
    QString file; // where it came from, for messages
};

struct SourceReading
{
    QList<SourceEntry> entries; // by table in creation order, then by name
    QStringList errors;         // any error means no catalogue is written
    QStringList warnings;       // files left out on purpose
};

// The entry name a file name (with ".txt") stands for. The name is the file name without
// ".txt", in which "%" and two hex digits stand for one byte of the name's UTF-8; this writes
// what cannot be in a file name ("/" as %2F) and "%" itself (%25). Empty, with `why` set,
// when the file name is not a valid entry file name.
QString entryNameFromFileName(const QString &fileName, QString *why);
// The file name an entry is kept under: the inverse of entryNameFromFileName, escaping "%",
// "/", control characters and what Windows does not allow in a file name (\ : * ? " < > |).
QString fileNameForEntry(const QString &name);

// The text of an entry file: strict UTF-8, an optional byte order mark dropped, line ends
// made LF (as the program's text boxes give them), the final line break and any trailing
// blanks removed, composed characters (NFC). Empty, with `why` set, when not usable.
std::optional<QString> entryTextFromBytes(const QByteArray &bytes, QString *why);

// Reads every entry file of `folder`. A missing folder reads as an empty catalogue.
SourceReading readCatalogueSource(const QString &folder);

// Writes a new catalogue with the entries to `path`, replacing what is there only when the
// whole catalogue has been written (under a temporary name, renamed at the end).
// Throws zv::CatalogueError.
void writeCatalogue(const QList<SourceEntry> &entries, const QString &path);

} // namespace zv::starter
