#include "core/store/NameCollation.h"

#include <memory>
#include <unicode/uchar.h>
#include <unicode/ucol.h>

namespace zv {

namespace {

struct CollatorCloser
{
    void operator()(UCollator *c) const { ucol_close(c); }
};

// ICU's root collation at secondary strength: letter case is ignored, accents are not.
// Each thread sorts with a copy of its own, so the list can be merged on a second thread.
UCollator *collator()
{
    static const std::unique_ptr<UCollator, CollatorCloser> shared = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator *c = ucol_open("", &status);
        ucol_setStrength(c, UCOL_SECONDARY);
        return std::unique_ptr<UCollator, CollatorCloser>(c);
    }();
    thread_local const std::unique_ptr<UCollator, CollatorCloser> own = [] {
        UErrorCode status = U_ZERO_ERROR;
        return std::unique_ptr<UCollator, CollatorCloser>(ucol_clone(shared.get(), &status));
    }();
    return own.get();
}

} // namespace

bool collatesBefore(QStringView a, QStringView b)
{
    return ucol_strcoll(collator(), reinterpret_cast<const UChar *>(a.utf16()), int32_t(a.size()),
                        reinterpret_cast<const UChar *>(b.utf16()), int32_t(b.size())) == UCOL_LESS;
}

void appendCollationKey(QStringView text, std::vector<std::uint8_t> &out)
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

QByteArray collationVersion()
{
    UVersionInfo collatorVersion{};
    ucol_getVersion(collator(), collatorVersion);
    UVersionInfo unicodeVersion{};
    u_getUnicodeVersion(unicodeVersion);
    char text[U_MAX_VERSION_STRING_LENGTH * 2 + 1] = {};
    u_versionToString(collatorVersion, text);
    QByteArray version("root/secondary/");
    version.append(text).append('/');
    u_versionToString(unicodeVersion, text);
    return version.append(text);
}

} // namespace zv
