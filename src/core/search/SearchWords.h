#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <type_traits>

namespace zv::search {

// The words of a text as the search sees them: runs of letters and digits (a combining accent
// or an apostrophe between letters stays inside the word). Everything else separates words.
struct WordSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
};

// Calls `visit(WordSpan)` for each word of `text`, in order; a visit that returns false ends
// the walk (a search looking for the first match need not read a long text to its end).
template <typename Visit> void forEachWord(QStringView text, Visit &&visit);

// The form a word is compared in: letter case folded by the program's one rule, ё as е.
QString normalWord(QStringView word);
// The Snowball stem of a normal word, as UTF-8: the Russian stemmer for a word with Cyrillic
// letters, the English one otherwise. Safe to call from any thread.
std::string stemOf(const QString &normal);

bool isWordChar(QChar c);

template <typename Visit> void forEachWord(QStringView text, Visit &&visit)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && !isWordChar(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < n) {
            if (isWordChar(text[i]))
                ++i;
            else if ((text[i] == u'\'' || text[i] == u'\u2019' || text[i].category() == QChar::Mark_NonSpacing) &&
                     i > start && i + 1 < n && isWordChar(text[i + 1]))
                ++i;
            else
                break;
        }
        if (i > start) {
            if constexpr (std::is_same_v<std::invoke_result_t<Visit, WordSpan>, bool>) {
                if (!visit(WordSpan{start, i - start}))
                    return;
            } else {
                visit(WordSpan{start, i - start});
            }
        }
    }
}

} // namespace zv::search
