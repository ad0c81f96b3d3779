// The full-text query as typed (any UTF-8, control characters, stray quotes and stars, any
// length): parsing, the Xapian query made from it, and the marks and snippet over a text.
#include "FuzzTarget.h"
#include "core/search/IndexLayout.h"
#include "core/search/MatchRanges.h"
#include "core/search/SearchQuery.h"
#include "core/search/XapianHeader.h"

namespace {

void checkRanges(const QList<zv::search::TextRange> &ranges, qsizetype size)
{
    qsizetype end = 0;
    for (const auto &range : ranges) {
        ZV_FUZZ_CHECK(range.start >= end && range.length > 0 && range.start + range.length <= size);
        end = range.start + range.length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const zv::search::ParsedQuery query = zv::search::parseQuery(typed);
    ZV_FUZZ_CHECK(int(query.clauses.size()) <= zv::search::kMaxClauses);
    ZV_FUZZ_CHECK(!query.isEmpty() || !query.message.isEmpty());
    for (const auto &clause : query.clauses) {
        ZV_FUZZ_CHECK(!clause.terms.empty());
        for (const std::string &term : clause.terms)
            ZV_FUZZ_CHECK(!term.empty());
    }
    // Xapian takes every query the parser makes (an over-long word is left out, not thrown at it).
    try {
        (void)zv::search::layout::makeQuery(query, QStringLiteral("Games")).get_description();
    } catch (const Xapian::Error &) {
        ZV_FUZZ_CHECK(false);
    }
    // The typed text as an entry's text: what the query marks lies inside it, and so does the
    // snippet's part of it.
    const auto ranges = zv::search::matchRanges(typed, query);
    checkRanges(ranges, typed.size());
    const zv::search::Snippet snippet = zv::search::makeSnippet(typed, ranges, 40);
    checkRanges(snippet.ranges, snippet.text.size());
    for (QChar c : snippet.text)
        ZV_FUZZ_CHECK(c.category() != QChar::Other_Control);
    for (const auto &clause : query.clauses) {
        if (clause.kind == zv::search::QueryClause::Kind::Phrase && typed.count(QLatin1Char('"')) == 1 &&
            typed.size() <= zv::search::kMaxQueryLength)
            ZV_FUZZ_CHECK(zv::search::containsPhrase(typed, clause.terms)); // the phrase is in the text
    }
    return 0;
}
