#include "core/LetterCase.h"

namespace zv {

QString foldCase(const QString &text)
{
    return text.toCaseFolded();
}

bool equalsIgnoringCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool startsWithIgnoringCase(const QString &text, const QString &prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace zv
