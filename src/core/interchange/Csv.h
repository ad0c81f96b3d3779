#pragma once

#include "core/interchange/Interchange.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// CSV as RFC 4180 writes it and spreadsheet programs read it: UTF-8 with a byte-order mark,
// fields in quotes when they need them, rows ended by CR LF. Columns: category, name, text,
// pictures.
namespace zv::interchange {

// The first bytes of the file: the byte-order mark and the header row.
QByteArray csvHeader();
// Appends one row of `fields` to `out`.
void appendCsvRow(QByteArray &out, const QStringList &fields);
// One entry's row; the category is shown by its display name.
void appendCsvEntry(QByteArray &out, const Entry &entry);
// The same with the category's display name at hand, in UTF-8: a million rows look it up once.
void appendCsvEntry(QByteArray &out, const Entry &entry, QByteArrayView category);

// Parses CSV bytes into rows of fields (quotes, CR LF or LF, a byte-order mark or none).
// Refuses, with the reason in Russian, what is not well-formed UTF-8 CSV or exceeds the bounds.
struct CsvRows
{
    std::vector<QStringList> rows;
    QString failure;
};
CsvRows parseCsv(const QByteArray &bytes, qsizetype maxRows = kMaxEntries + 1);

// The entries of a CSV file this program or a spreadsheet wrote: a header row, then one entry
// a row; the category by its display name or table name.
ReadResult entriesFromCsv(const QByteArray &bytes);

} // namespace zv::interchange
