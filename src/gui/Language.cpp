#include "gui/Language.h"

#include "core/INI.h"
#include "core/Seam.h"
#include "core/Settings.h"

#include <algorithm>

namespace {

QList<LanguageAware *> &liveWindows()
{
    static QList<LanguageAware *> windows;
    return windows;
}

} // namespace

LanguageAware::LanguageAware(Window window)
    : m_window(window)
{
    liveWindows().append(this);
}

LanguageAware::~LanguageAware()
{
    liveWindows().removeOne(this);
}

void ApplyLanguage()
{
    QString lang = zv::readOption(zv::Option::Lang);
    if (lang != zv::kLangAlternative && !lang.isEmpty() && lang != zv::kLangBuiltIn) {
        zv::showMessage(nullptr, QStringLiteral("Invalid language. Trying to correct error."));
        zv::writeOption(zv::Option::Lang, zv::kLangBuiltIn);
    }
    lang = zv::readOption(zv::Option::Lang);
    if (lang.isEmpty() || lang == zv::kLangBuiltIn)
        return;
    if (ReadLangString(QStringLiteral("Caption"), QString()).isEmpty()) {
        zv::showMessage(nullptr, QStringLiteral("Language not found. Trying to correct error."));
        zv::writeOption(zv::Option::Lang, zv::kLangBuiltIn);
        return;
    }
    if (lang != zv::kLangAlternative)
        return;

    QList<LanguageAware *> windows = liveWindows();
    std::stable_sort(windows.begin(), windows.end(), [](const LanguageAware *a, const LanguageAware *b) {
        return a->languageWindow() < b->languageWindow();
    });
    for (LanguageAware *window : windows) {
        // A caption handler may close a window; skip the ones gone meanwhile.
        if (!liveWindows().contains(window))
            continue;
        for (const LanguageAware::Caption &caption : window->languageCaptions())
            caption.apply(ReadLangString(caption.key, QString()));
    }
}
