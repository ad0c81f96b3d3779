#pragma once

#include <QString>

#include <vector>

// The difference between two texts word by word, for the journal's "Было" and "Стало" panes.
// Words are runs of letters and digits; a run of white space and each other character are
// pieces of their own, so that punctuation and line breaks are compared too.
struct DiffPiece
{
    enum Kind { Same, Removed, Added };
    Kind kind = Same;
    QString text;

    bool operator==(const DiffPiece &) const = default;
};

// The pieces of both texts in reading order: the kept ones once, the removed ones where they
// stood in `before`, the added ones where they stand in `after`. Neighbours of one kind are
// joined. Joining the Same and Removed pieces gives `before` back; Same and Added, `after`.
std::vector<DiffPiece> wordDiff(const QString &before, const QString &after);

// The words of `text` as wordDiff compares them.
std::vector<QString> diffWords(const QString &text);
