#include "core/LetterCase.h"

#include <array>
#include <memory>
#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

namespace zv {

namespace {

constexpr char16_t kNotOneUnit = 0xFFFF; // U+FFFF is a noncharacter and folds to itself

// ICU's full folding of every single UTF-16 unit, looked up instead of asked for: the list's
// search folds names at every step. Case folding maps each code point on its own, so folding
// unit by unit gives what ICU gives for the whole text, except where a unit folds to more
// than one (ß, İ, ligatures) or is half of a surrogate pair; those texts go to ICU whole.
const std::array<char16_t, 0x10000> &unitTable()
{
    static const std::unique_ptr<std::array<char16_t, 0x10000>> table = [] {
        auto t = std::make_unique<std::array<char16_t, 0x10000>>();
        for (char32_t c = 0; c < 0x10000; ++c) {
            const UChar unit = UChar(c);
            UChar folded[4];
            UErrorCode status = U_ZERO_ERROR;
            const int32_t length = u_strFoldCase(folded, 4, &unit, 1, U_FOLD_CASE_DEFAULT, &status);
            const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
            (*t)[c] = (U_SUCCESS(status) && length == 1 && !surrogate) ? folded[0] : kNotOneUnit;
        }
        return t;
    }();
    return *table;
}

void foldWithIcu(QStringView text, FoldBuffer &out)
{
    const auto *source = reinterpret_cast<const UChar *>(text.utf16());
    out.resize(text.size() * 3 + 1); // no code point folds to more than three
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(reinterpret_cast<UChar *>(out.data()), int32_t(out.size()), source,
                                         int32_t(text.size()), U_FOLD_CASE_DEFAULT, &status);
    out.resize(U_SUCCESS(status) ? length : 0);
}

} // namespace

void foldCaseInto(QStringView text, FoldBuffer &out)
{
    const auto &table = unitTable();
    out.resize(text.size());
    char16_t *to = out.data();
    for (const QChar ch : text) {
        const char16_t folded = table[ch.unicode()];
        if (folded == kNotOneUnit && ch.unicode() != kNotOneUnit) {
            foldWithIcu(text, out);
            return;
        }
        *to++ = folded;
    }
}

QString foldCase(QStringView text)
{
    FoldBuffer folded;
    foldCaseInto(text, folded);
    return QString(reinterpret_cast<const QChar *>(folded.constData()), folded.size());
}

bool equalsIgnoringCase(QStringView a, QStringView b)
{
    FoldBuffer foldedA, foldedB;
    foldCaseInto(a, foldedA);
    foldCaseInto(b, foldedB);
    return foldedA == foldedB;
}

bool startsWithIgnoringCase(QStringView text, QStringView prefix)
{
    FoldBuffer foldedText, foldedPrefix;
    foldCaseInto(text, foldedText);
    foldCaseInto(prefix, foldedPrefix);
    return foldedText.size() >= foldedPrefix.size() &&
           std::equal(foldedPrefix.cbegin(), foldedPrefix.cend(), foldedText.cbegin());
}

} // namespace zv
