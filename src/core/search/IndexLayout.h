#pragma once

// How entries are laid out in the Xapian index.
#include "core/search/SearchQuery.h"
#include "core/search/XapianHeader.h"

#include <QByteArrayView>
#include <QString>

#include <string>

namespace zv::search::layout {

// Bumped whenever terms or values change meaning: an index of another format is made anew.
inline constexpr char kFormat[] = "1";
inline constexpr char kFormatKey[] = "zv-format";
inline constexpr char kCatalogueKey[] = "zv-catalogue"; // identity of the catalogue file
inline constexpr char kFingerprintKey[] = "zv-state";   // catalogue state the index matches
inline constexpr Xapian::valueno kHashSlot = 0;         // hash of name and text
inline constexpr Xapian::valueno kRowIdSlot = 1;        // the record's rowid, sortable_serialise

// Words of the text are plain stems; words of the name carry this prefix, so that a match in
// the name can weigh more. Stems are folded to lower case, so they never begin with these.
inline constexpr char kNamePrefix[] = "N";
inline constexpr double kNameWeight = 4.0;
inline constexpr unsigned kPrefixExpansion = 200;

std::string idTerm(const QString &table, qint64 rowId);
std::string tableTerm(const QString &table);

// 64-bit FNV-1a of the record's UTF-8 name and text: tells a changed record without its words.
quint64 recordHash(QByteArrayView name, QByteArrayView text);

Xapian::Document makeDocument(const QString &table, qint64 rowId, const QString &name, const QString &text,
                              quint64 hash);

// The query for the parsed clauses (phrases as all their words; the caller checks the order).
Xapian::Query makeQuery(const ParsedQuery &query, const QString &table);

} // namespace zv::search::layout
