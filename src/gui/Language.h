#pragma once

#include <QList>
#include <QString>

#include <functional>

// A window that has captions in the alternative caption set joins by deriving from
// LanguageAware: it lists its keys and how each caption is set, and ApplyLanguage
// reaches it while it exists.
class LanguageAware
{
public:
    // Window order of the caption table: the main window first, then the others in this order.
    enum class Window { Main, SmallTool, About, AddNewField, EditItem, Options, SelectScreenShot, Update };

    struct Caption
    {
        QString key;
        std::function<void(const QString &)> apply;
    };

    explicit LanguageAware(Window window);
    virtual ~LanguageAware();
    LanguageAware(const LanguageAware &) = delete;
    LanguageAware &operator=(const LanguageAware &) = delete;

    Window languageWindow() const { return m_window; }
    virtual QList<Caption> languageCaptions() = 0;

private:
    Window m_window;
};

// Checks and repairs the Lang setting and, when the alternative set is chosen, puts its
// texts from Language.ini into every window that exists now.
void ApplyLanguage();

namespace zv {
inline const QString kLangBuiltIn = QStringLiteral("Русский");
inline const QString kLangAlternative = QStringLiteral("падонак");
} // namespace zv
