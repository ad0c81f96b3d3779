#pragma once

#include <QString>
#include <QStringList>

namespace zv::entryfile {

struct AddResult
{
    bool ok = false;
    QString error;       // why nothing was written
    QStringList reports; // entries left out or already there, and why
    int added = 0;
};

// Adds the entries of the entry files `files` to the catalogue at `cataloguePath`, their pictures
// into the `ScreenShots` folder beside it, as one transaction: the next publish serves them. A
// file that is not a well-formed entry file, or whose entry's name the publisher would leave out,
// stops it all before anything is written. An entry whose name the category holds already is
// reported and left out (skipped as already there when the text is the same), and so is one
// whose picture would take a file name the folder or another entry has. Pictures are written
// under temporary names first and get their own once the catalogue has committed.
AddResult addEntryFiles(const QString &cataloguePath, const QStringList &files);

} // namespace zv::entryfile
