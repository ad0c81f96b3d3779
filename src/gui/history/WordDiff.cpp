#include "gui/history/WordDiff.h"

#include <QHash>

#include <dtl/dtl.hpp>

namespace {

// Beyond this many differing words on a side, the middle is shown as replaced as a whole: the
// comparison's time grows with both lengths times the differences, and such texts differ
// throughout anyway.
constexpr std::size_t kMaxComparedWords = 20000;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark();
}

void append(std::vector<DiffPiece> &pieces, DiffPiece::Kind kind, const QString &text)
{
    if (!pieces.empty() && pieces.back().kind == kind)
        pieces.back().text += text;
    else
        pieces.push_back({kind, text});
}

} // namespace

std::vector<QString> diffWords(const QString &text)
{
    std::vector<QString> words;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i + 1;
        if (isWordCharacter(text[i])) {
            while (end < text.size() && isWordCharacter(text[end]))
                ++end;
        } else if (text[i].isSpace()) {
            while (end < text.size() && text[end].isSpace())
                ++end;
        } else if (text[i].isHighSurrogate() && end < text.size() && text[end].isLowSurrogate()) {
            ++end;
        }
        words.push_back(text.mid(i, end - i));
        i = end;
    }
    return words;
}

std::vector<DiffPiece> wordDiff(const QString &before, const QString &after)
{
    const std::vector<QString> a = diffWords(before);
    const std::vector<QString> b = diffWords(after);
    // The common beginning and end need no comparison; most edits touch a few words.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;

    std::vector<DiffPiece> pieces;
    for (std::size_t i = 0; i < head; ++i)
        append(pieces, DiffPiece::Same, a[i]);
    const std::size_t aEnd = a.size() - tail;
    const std::size_t bEnd = b.size() - tail;
    if (head == aEnd || head == bEnd || aEnd - head > kMaxComparedWords || bEnd - head > kMaxComparedWords) {
        for (std::size_t i = head; i < aEnd; ++i)
            append(pieces, DiffPiece::Removed, a[i]);
        for (std::size_t i = head; i < bEnd; ++i)
            append(pieces, DiffPiece::Added, b[i]);
    } else {
        // Compared as numbers, one per distinct word.
        QHash<QString, int> numbers;
        auto numbered = [&numbers](const std::vector<QString> &words, std::size_t from, std::size_t to) {
            std::vector<int> sequence;
            sequence.reserve(to - from);
            for (std::size_t i = from; i < to; ++i) {
                auto known = numbers.constFind(words[i]);
                if (known == numbers.constEnd())
                    known = numbers.insert(words[i], int(numbers.size()));
                sequence.push_back(known.value());
            }
            return sequence;
        };
        dtl::Diff<int> diff(numbered(a, head, aEnd), numbered(b, head, bEnd));
        diff.onHuge();
        diff.compose();
        // The script lists both texts in order; it is followed with a position in each.
        std::size_t ai = head;
        std::size_t bi = head;
        for (const auto &step : diff.getSes().getSequence()) {
            if (step.second.type == dtl::SES_ADD) {
                append(pieces, DiffPiece::Added, b[bi++]);
            } else if (step.second.type == dtl::SES_DELETE) {
                append(pieces, DiffPiece::Removed, a[ai++]);
            } else {
                append(pieces, DiffPiece::Same, a[ai++]);
                ++bi;
            }
        }
    }
    for (std::size_t i = aEnd; i < a.size(); ++i)
        append(pieces, DiffPiece::Same, a[i]);

    // A lone space kept between two changes splits one replaced phrase into patches; it is
    // shown as part of the change instead.
    std::vector<DiffPiece> joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const bool between = i > 0 && i + 1 < pieces.size() && pieces[i - 1].kind != DiffPiece::Same &&
                             pieces[i + 1].kind != DiffPiece::Same;
        if (pieces[i].kind == DiffPiece::Same && between && pieces[i].text.trimmed().isEmpty()) {
            append(joined, DiffPiece::Removed, pieces[i].text);
            append(joined, DiffPiece::Added, pieces[i].text);
        } else {
            append(joined, pieces[i].kind, pieces[i].text);
        }
    }
    return joined;
}
