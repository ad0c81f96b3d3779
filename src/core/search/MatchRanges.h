#pragma once

#include "core/search/SearchQuery.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zv::search {

// A run of characters of a plain text; the window marks it with a text format.
struct TextRange
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextRange &) const = default;
};

struct Snippet
{
    QString text; // one line: line breaks and other control characters are shown as spaces
    QList<TextRange> ranges;
};

// Decides which words of entry texts a query matches. One search asks about the same words
// many times over, so each word's stem and answer are kept.
class QueryMatcher
{
public:
    explicit QueryMatcher(const ParsedQuery &query);

    // The words of `text` that the query's clauses match, in order; at most `most` of them.
    QList<TextRange> ranges(QStringView text, qsizetype most = -1);
    // Whether the words of the phrase follow one another in `text` (compared by their stems).
    bool containsPhrase(QStringView text, const std::vector<std::string> &stems);
    // About `width` characters of `text` around its first match, with the matches in them.
    Snippet snippet(QStringView text, qsizetype width = 160);

private:
    const std::string &stem(QStringView word);
    bool matches(QStringView word);

    // Looked up by a view into the text, so that asking about a word copies nothing.
    struct WordHash
    {
        using is_transparent = void;
        size_t operator()(std::u16string_view word) const { return std::hash<std::u16string_view>()(word); }
    };
    template <typename T> using WordMap = std::unordered_map<std::u16string, T, WordHash, std::equal_to<>>;

    std::vector<std::string> m_stems, m_prefixes;
    WordMap<std::string> m_stemOf; // its strings stay where they are as it grows
    WordMap<bool> m_matches;
};

QList<TextRange> matchRanges(QStringView text, const ParsedQuery &query);
bool containsPhrase(QStringView text, const std::vector<std::string> &stems);

// About `width` characters of `text` around its first match (its start when there is none).
Snippet makeSnippet(QStringView text, const QList<TextRange> &ranges, qsizetype width = 160);

} // namespace zv::search
