#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

namespace zv {

// "The same name ignoring letter case" is decided here and nowhere else: the main list, its
// search, the duplicate tests, the catalogue lookup and the update all use these functions.
//
// Full Unicode case folding with the default (not Turkish) rules: Ё and ё are one letter,
// ß is ss, final ς is σ, long ſ is s; İ (capital I with dot) folds to i followed by a combining
// dot, so it equals "i̇" but not plain "i", and dotless ı stays a letter of its own. Nothing
// else is folded or normalised: ё and е, Latin and Cyrillic look-alikes, accented and plain
// letters all stay different.

using FoldBuffer = QVarLengthArray<char16_t, 128>;

QString foldCase(QStringView text);
// The folded form of `text` replaces the content of `out` (no allocation for short texts).
void foldCaseInto(QStringView text, FoldBuffer &out);

bool equalsIgnoringCase(QStringView a, QStringView b);
// True when the folded `text` begins with the folded `prefix`. Folding can change lengths:
// "ß" is a prefix of "Ssangyong" and of "ßeta", while "st" is not a prefix of "ßeta".
bool startsWithIgnoringCase(QStringView text, QStringView prefix);

} // namespace zv
