#pragma once

#include "core/search/SearchQuery.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace zv::search {

// A run of characters of a plain text; the window marks it with a text format.
struct TextRange
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextRange &) const = default;
};

// The words of `text` that the query's clauses match, in order.
QList<TextRange> matchRanges(QStringView text, const ParsedQuery &query);

// Whether the words of the phrase follow one another in `text` (compared by their stems).
bool containsPhrase(QStringView text, const std::vector<std::string> &stems);

struct Snippet
{
    QString text; // one line: line breaks and other control characters are shown as spaces
    QList<TextRange> ranges;
};

// About `width` characters of `text` around its first match (its start when there is none).
Snippet makeSnippet(QStringView text, const QList<TextRange> &ranges, qsizetype width = 160);

} // namespace zv::search
