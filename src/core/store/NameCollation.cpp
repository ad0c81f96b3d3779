#include "core/store/NameCollation.h"

#include <memory>
#include <unicode/ucol.h>

namespace zv {

namespace {

struct CollatorCloser
{
    void operator()(UCollator *c) const { ucol_close(c); }
};

// ICU's root collation at secondary strength: letter case is ignored, accents are not.
UCollator *collator()
{
    static const std::unique_ptr<UCollator, CollatorCloser> instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator *c = ucol_open("", &status);
        ucol_setStrength(c, UCOL_SECONDARY);
        return std::unique_ptr<UCollator, CollatorCloser>(c);
    }();
    return instance.get();
}

} // namespace

bool collatesBefore(const QString &a, const QString &b)
{
    return ucol_strcoll(collator(), reinterpret_cast<const UChar *>(a.utf16()), int32_t(a.size()),
                        reinterpret_cast<const UChar *>(b.utf16()), int32_t(b.size())) == UCOL_LESS;
}

void appendCollationKey(const QString &text, std::vector<std::uint8_t> &out)
{
    const auto *chars = reinterpret_cast<const UChar *>(text.utf16());
    const size_t start = out.size();
    out.resize(start + 64);
    int32_t needed = ucol_getSortKey(collator(), chars, int32_t(text.size()), out.data() + start, 64);
    if (needed > 64) {
        out.resize(start + size_t(needed));
        needed = ucol_getSortKey(collator(), chars, int32_t(text.size()), out.data() + start, needed);
    }
    out.resize(start + size_t(needed));
}

} // namespace zv
