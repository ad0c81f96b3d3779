#include "core/search/IndexLayout.h"

#include "core/search/SearchWords.h"
#include "core/search/XapianHeader.h"

#include <string>

namespace zv::search::layout {

namespace {

// Xapian refuses terms over 245 bytes; nobody searches for such a word.
constexpr size_t kMaxTermBytes = 200;

Xapian::Query wordQuery(const std::string &stem)
{
    return Xapian::Query(Xapian::Query::OP_OR, Xapian::Query(stem),
                         Xapian::Query(Xapian::Query::OP_SCALE_WEIGHT, Xapian::Query(kNamePrefix + stem), kNameWeight));
}

Xapian::Query prefixQuery(const std::string &start)
{
    auto wildcard = [](const std::string &term) {
        return Xapian::Query(Xapian::Query::OP_WILDCARD, term, kPrefixExpansion,
                             Xapian::Query::WILDCARD_LIMIT_MOST_FREQUENT);
    };
    return Xapian::Query(Xapian::Query::OP_OR, wildcard(start),
                         Xapian::Query(Xapian::Query::OP_SCALE_WEIGHT, wildcard(kNamePrefix + start), kNameWeight));
}

} // namespace

std::string idTerm(const QString &table, qint64 rowId)
{
    std::string term = "Q"; // built by appending: GCC 12 warns falsely about "Q" + std::string
    term += table.toStdString();
    term += ':';
    term += std::to_string(rowId);
    return term;
}

std::string tableTerm(const QString &table)
{
    std::string term = "T";
    term += table.toStdString();
    return term;
}

quint64 recordHash(QByteArrayView name, QByteArrayView text)
{
    quint64 hash = 14695981039346656037ull;
    auto mix = [&hash](QByteArrayView bytes) {
        for (char c : bytes)
            hash = (hash ^ uchar(c)) * 1099511628211ull;
    };
    mix(name);
    mix(QByteArrayView("\0", 1));
    mix(text);
    return hash;
}

Xapian::Document makeDocument(const QString &table, qint64 rowId, const QString &name, const QString &text,
                              quint64 hash)
{
    Xapian::Document document;
    document.add_boolean_term(idTerm(table, rowId));
    document.add_boolean_term(tableTerm(table));
    auto addWords = [&document](const QString &from, const char *prefix) {
        forEachWord(from, [&](WordSpan w) {
            const std::string stem = stemOf(normalWord(QStringView(from).mid(w.start, w.length)));
            if (!stem.empty() && stem.size() <= kMaxTermBytes)
                document.add_term(prefix + stem);
        });
    };
    addWords(name, kNamePrefix);
    addWords(text, "");
    document.add_value(kHashSlot, std::string(reinterpret_cast<const char *>(&hash), sizeof hash));
    document.add_value(kRowIdSlot, Xapian::sortable_serialise(double(rowId)));
    document.set_data(table.toStdString());
    return document;
}

Xapian::Query makeQuery(const ParsedQuery &query, const QString &table)
{
    std::vector<Xapian::Query> parts;
    for (const QueryClause &clause : query.clauses) {
        for (const std::string &term : clause.terms) {
            if (term.size() > kMaxTermBytes)
                continue;
            parts.push_back(clause.kind == QueryClause::Kind::Prefix ? prefixQuery(term) : wordQuery(term));
        }
    }
    Xapian::Query all(Xapian::Query::OP_AND, parts.begin(), parts.end());
    if (table.isEmpty())
        return all;
    return Xapian::Query(Xapian::Query::OP_FILTER, all, Xapian::Query(tableTerm(table)));
}

} // namespace zv::search::layout
