#pragma once

#include <QString>

namespace zv {

// Letter case is compared in one place: names, list tests, search and update all use these.
// Unicode case folding, so Cyrillic and Latin letters both match; nothing else is folded
// (ё and е stay distinct).
QString foldCase(const QString &text);
bool equalsIgnoringCase(const QString &a, const QString &b);
bool startsWithIgnoringCase(const QString &text, const QString &prefix);

} // namespace zv
