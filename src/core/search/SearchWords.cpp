#include "core/search/SearchWords.h"

#include "core/LetterCase.h"
#include "core/search/XapianHeader.h"

namespace zv::search {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber();
}

QString normalWord(QStringView word)
{
    FoldBuffer folded;
    foldCaseInto(word, folded);
    QString normal;
    normal.reserve(folded.size());
    for (char16_t c : folded) {
        // Accents typed over a letter (уда́р) do not make another word.
        if (QChar::category(char32_t(c)) == QChar::Mark_NonSpacing)
            continue;
        normal.append(c == u'ё' ? QChar(u'е') : QChar(c));
    }
    return normal;
}

std::string stemOf(const QString &normal)
{
    // Xapian's stemmers keep state while they work: one of each per thread.
    thread_local Xapian::Stem russian("russian");
    thread_local Xapian::Stem english("english");
    bool cyrillic = false;
    for (QChar c : normal) {
        if (c.script() == QChar::Script_Cyrillic) {
            cyrillic = true;
            break;
        }
    }
    return (cyrillic ? russian : english)(normal.toStdString());
}

} // namespace zv::search
