#include "core/search/MatchRanges.h"

#include "core/search/SearchWords.h"

#include <algorithm>

namespace zv::search {

namespace {

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

} // namespace

QList<TextRange> matchRanges(QStringView text, const ParsedQuery &query)
{
    std::vector<std::string> stems, prefixes;
    for (const QueryClause &clause : query.clauses) {
        auto &into = clause.kind == QueryClause::Kind::Prefix ? prefixes : stems;
        into.insert(into.end(), clause.terms.begin(), clause.terms.end());
    }
    QList<TextRange> ranges;
    if (stems.empty() && prefixes.empty())
        return ranges;
    forEachWord(text, [&](WordSpan w) {
        const QString normal = normalWord(text.mid(w.start, w.length));
        const std::string stem = stemOf(normal);
        const std::string whole = normal.toStdString();
        const bool hit = std::find(stems.begin(), stems.end(), stem) != stems.end() ||
                         std::any_of(prefixes.begin(), prefixes.end(),
                                     [&](const std::string &p) { return startsWith(stem, p) || startsWith(whole, p); });
        if (hit)
            ranges.append(TextRange{w.start, w.length});
    });
    return ranges;
}

bool containsPhrase(QStringView text, const std::vector<std::string> &stems)
{
    if (stems.empty())
        return true;
    size_t matched = 0;
    std::vector<std::string> window; // the last words seen, to restart a partial match
    bool found = false;
    forEachWord(text, [&](WordSpan w) {
        if (found)
            return;
        window.push_back(stemOf(normalWord(text.mid(w.start, w.length))));
        if (window.size() > stems.size())
            window.erase(window.begin());
        matched = window.size() == stems.size() && window == stems;
        found = matched;
    });
    return found;
}

Snippet makeSnippet(QStringView text, const QList<TextRange> &ranges, qsizetype width)
{
    qsizetype start = 0;
    if (!ranges.isEmpty() && ranges.first().start + ranges.first().length > width - width / 4) {
        start = std::max<qsizetype>(0, ranges.first().start - width / 4);
        // Begin at a word.
        while (start > 0 && start < ranges.first().start && isWordChar(text[start - 1]))
            ++start;
    }
    qsizetype end = std::min(text.size(), start + width);
    while (end < text.size() && end > start && isWordChar(text[end - 1]) && isWordChar(text[end]))
        --end;
    if (end <= start)
        end = std::min(text.size(), start + width);
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

} // namespace zv::search
