#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace zv::search {

// One part of what the user typed: every clause must match.
struct QueryClause
{
    enum class Kind { Word, Prefix, Phrase };
    Kind kind = Kind::Word;
    // Word: one stem. Prefix: one entry, the start the index's words must have. Phrase: the
    // stems of its words in order.
    std::vector<std::string> terms;
};

struct ParsedQuery
{
    std::vector<QueryClause> clauses;
    // For the user, when part of the text was left out or nothing could be searched for.
    QString message;

    bool isEmpty() const { return clauses.empty(); }
};

// Longer queries are cut here; every word of them would be required anyway.
constexpr qsizetype kMaxQueryLength = 1000;
constexpr int kMaxClauses = 32;

// Words in any order, all required; "a phrase" in double quotes (an unclosed quote runs to the
// end); a word ending in * is a prefix. Never fails: what cannot be used is left out and said so.
ParsedQuery parseQuery(const QString &text);

// The start of an index word that a typed prefix stands for: the normal form cut to what it
// shares with its stem, so "typing*" finds "type" and "types".
std::string prefixTerm(const QString &normal);

} // namespace zv::search
