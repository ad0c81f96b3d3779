#include "core/search/MatchRanges.h"

#include "core/search/SearchWords.h"

#include <algorithm>

namespace zv::search {

namespace {

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

// Where a snippet of about `width` characters begins and ends: at the text's start, or a few
// words before the first match when that lies further on, so that the match is in sight even
// where a list shows only the snippet's first half; never inside a word.
std::pair<qsizetype, qsizetype> snippetWindow(QStringView text, const TextRange *first, qsizetype width)
{
    qsizetype start = 0;
    const qsizetype lead = width / 5;
    if (first && first->start > lead) {
        start = first->start - lead;
        while (start > 0 && start < first->start && isWordChar(text[start - 1]))
            ++start;
    }
    qsizetype end = std::min(text.size(), start + width);
    while (end < text.size() && end > start && isWordChar(text[end - 1]) && isWordChar(text[end]))
        --end;
    if (end <= start)
        end = std::min(text.size(), start + width);
    // Never between the halves of a surrogate pair.
    if (end < text.size() && end > start && text[end].isLowSurrogate())
        --end;
    return {start, end};
}

Snippet cutSnippet(QStringView text, qsizetype start, qsizetype end, const QList<TextRange> &ranges)
{
    Snippet snippet;
    const bool cutFront = start > 0;
    if (cutFront)
        snippet.text += QChar(u'…');
    for (qsizetype i = start; i < end; ++i) {
        const QChar c = text[i];
        snippet.text += (c.category() == QChar::Other_Control || c == u'\u2028' || c == u'\u2029') ? QChar(u' ') : c;
    }
    if (end < text.size())
        snippet.text += QChar(u'…');
    const qsizetype shift = (cutFront ? 1 : 0) - start;
    for (const TextRange &r : ranges) {
        if (r.start >= start && r.start + r.length <= end)
            snippet.ranges.append(TextRange{r.start + shift, r.length});
    }
    return snippet;
}

} // namespace

QueryMatcher::QueryMatcher(const ParsedQuery &query)
{
    for (const QueryClause &clause : query.clauses) {
        auto &into = clause.kind == QueryClause::Kind::Prefix ? m_prefixes : m_stems;
        into.insert(into.end(), clause.terms.begin(), clause.terms.end());
    }
}

namespace {

std::u16string_view viewOf(QStringView word)
{
    return {word.utf16(), size_t(word.size())};
}

} // namespace

const std::string &QueryMatcher::stem(QStringView word)
{
    auto found = m_stemOf.find(viewOf(word));
    if (found == m_stemOf.end())
        found = m_stemOf.emplace(std::u16string(viewOf(word)), stemOf(normalWord(word))).first;
    return found->second;
}

bool QueryMatcher::matches(QStringView word)
{
    if (const auto found = m_matches.find(viewOf(word)); found != m_matches.end())
        return found->second;
    const std::string &wordStem = stem(word);
    const std::string whole = normalWord(word).toStdString();
    const bool hit = std::find(m_stems.begin(), m_stems.end(), wordStem) != m_stems.end() ||
                     std::any_of(m_prefixes.begin(), m_prefixes.end(),
                                 [&](const std::string &p) { return startsWith(wordStem, p) || startsWith(whole, p); });
    m_matches.emplace(std::u16string(viewOf(word)), hit);
    return hit;
}

QList<TextRange> QueryMatcher::ranges(QStringView text, qsizetype most)
{
    QList<TextRange> found;
    if (m_stems.empty() && m_prefixes.empty())
        return found;
    forEachWord(text, [&](WordSpan w) {
        if (matches(text.mid(w.start, w.length)))
            found.append(TextRange{w.start, w.length});
        return most < 0 || found.size() < most;
    });
    return found;
}

bool QueryMatcher::containsPhrase(QStringView text, const std::vector<std::string> &stems)
{
    if (stems.empty())
        return true;
    std::vector<const std::string *> window; // the last words' stems, kept by the cache
    bool found = false;
    forEachWord(text, [&](WordSpan w) {
        window.push_back(&stem(text.mid(w.start, w.length)));
        if (window.size() > stems.size())
            window.erase(window.begin());
        found = window.size() == stems.size() &&
                std::equal(window.begin(), window.end(), stems.begin(),
                           [](const std::string *a, const std::string &b) { return *a == b; });
        return !found;
    });
    return found;
}

Snippet QueryMatcher::snippet(QStringView text, qsizetype width)
{
    // Only the words up to the first match and those of the snippet are looked at.
    const QList<TextRange> first = ranges(text, 1);
    const auto [start, end] = snippetWindow(text, first.isEmpty() ? nullptr : &first.first(), width);
    QList<TextRange> inside = ranges(text.mid(start, end - start));
    for (TextRange &range : inside)
        range.start += start;
    return cutSnippet(text, start, end, inside);
}

QList<TextRange> matchRanges(QStringView text, const ParsedQuery &query)
{
    return QueryMatcher(query).ranges(text);
}

bool containsPhrase(QStringView text, const std::vector<std::string> &stems)
{
    return QueryMatcher(ParsedQuery()).containsPhrase(text, stems);
}

Snippet makeSnippet(QStringView text, const QList<TextRange> &ranges, qsizetype width)
{
    const auto [start, end] = snippetWindow(text, ranges.isEmpty() ? nullptr : &ranges.first(), width);
    return cutSnippet(text, start, end, ranges);
}

} // namespace zv::search
