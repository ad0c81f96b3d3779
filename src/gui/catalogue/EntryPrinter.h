#pragma once

#include <QString>

class QPrinter;

namespace zv {

// How many pages the entry takes on `printer` as it is set up now.
int entryPageCount(QPrinter *printer, const QString &name, const QString &text);

enum class PrintOutcome { Printed, NoPageChosen, Failed };

// Prints an entry on `printer` as set up by the print dialog: the name in bold Courier 12 pt,
// then the text in the same font, long lines wrapped at the page width, a new page where one
// is full. Only the pages of a range chosen in the dialog are printed, and a range past the
// entry's end prints nothing. The copies chosen are printed here where the printer does not
// make them itself (a PDF file), collated when the dialog says so. Failed when the printer
// could not be started or failed.
PrintOutcome printEntry(QPrinter *printer, const QString &name, const QString &text);

} // namespace zv
