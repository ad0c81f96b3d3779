#pragma once

#include <QString>

class QPrinter;

namespace zv {

// Prints an entry on `printer` as set up by the print dialog: the name in bold Courier 12 pt,
// then the text in the same font, long lines wrapped at the page width, a new page where one
// is full. Only the pages of a range chosen in the dialog are printed. False when the printer
// could not be started or failed.
bool printEntry(QPrinter *printer, const QString &name, const QString &text);

} // namespace zv
