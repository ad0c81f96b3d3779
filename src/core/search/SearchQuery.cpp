#include "core/search/SearchQuery.h"

#include "core/search/SearchWords.h"

namespace zv::search {

std::string prefixTerm(const QString &normal)
{
    const std::string whole = normal.toStdString();
    const std::string stem = stemOf(normal);
    size_t common = 0;
    while (common < whole.size() && common < stem.size() && whole[common] == stem[common])
        ++common;
    // Never cut inside a UTF-8 sequence.
    while (common > 0 && common < whole.size() && (uchar(whole[common]) & 0xC0) == 0x80)
        --common;
    return whole.substr(0, common);
}

ParsedQuery parseQuery(const QString &typed)
{
    ParsedQuery query;
    QStringView text(typed);
    bool cut = false;
    if (text.size() > kMaxQueryLength) {
        text = text.left(kMaxQueryLength);
        cut = true;
    }
    bool loneStar = false;
    auto add = [&](QueryClause clause) {
        if (int(query.clauses.size()) >= kMaxClauses) {
            cut = true;
            return;
        }
        query.clauses.push_back(std::move(clause));
    };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == u'"') {
            qsizetype end = text.indexOf(u'"', i + 1);
            if (end < 0)
                end = n;
            QueryClause phrase;
            phrase.kind = QueryClause::Kind::Phrase;
            forEachWord(text.mid(i + 1, end - i - 1), [&](WordSpan w) {
                phrase.terms.push_back(stemOf(normalWord(text.mid(i + 1 + w.start, w.length))));
            });
            if (phrase.terms.size() == 1)
                phrase.kind = QueryClause::Kind::Word;
            if (!phrase.terms.empty())
                add(std::move(phrase));
            i = end + 1;
            continue;
        }
        if (!isWordChar(text[i])) {
            loneStar = loneStar || (text[i] == u'*' && (i == 0 || !isWordChar(text[i - 1])));
            ++i;
            continue;
        }
        // One word up to the next separator or quote; a star right after it makes a prefix.
        qsizetype end = i;
        while (end < n && text[end] != u'"' && !text[end].isSpace() && text[end] != u'*')
            ++end;
        const bool prefix = end < n && text[end] == u'*';
        const QStringView chunk = text.mid(i, end - i);
        std::vector<WordSpan> words;
        forEachWord(chunk, [&](WordSpan w) { words.push_back(w); });
        for (size_t k = 0; k < words.size(); ++k) {
            const QString normal = normalWord(chunk.mid(words[k].start, words[k].length));
            QueryClause clause;
            if (prefix && k + 1 == words.size()) {
                clause.kind = QueryClause::Kind::Prefix;
                clause.terms.push_back(prefixTerm(normal));
                if (clause.terms.front().empty())
                    continue;
            } else {
                clause.terms.push_back(stemOf(normal));
            }
            add(std::move(clause));
        }
        i = prefix ? end + 1 : end;
    }
    if (cut)
        query.message = QStringLiteral("Запрос слишком длинный: искали по первым %1 словам.").arg(query.clauses.size());
    else if (query.isEmpty())
        query.message = loneStar ? QStringLiteral("Перед звёздочкой нужно начало слова, например: пасхал*")
                                 : QStringLiteral("Введите слова, которые есть в описании записи.");
    return query;
}

} // namespace zv::search
