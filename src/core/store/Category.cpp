#include "core/store/Category.h"

namespace zv {

const QList<Category> &categories()
{
    static const QList<Category> list = {
        {QStringLiteral("Бытовая техника"), QStringLiteral("Tech"), QStringLiteral("mnuTech")},
        {QStringLiteral("Веб-сайты"), QStringLiteral("WebSites"), QStringLiteral("mnuWebSites")},
        {QStringLiteral("Игры"), QStringLiteral("Games"), QStringLiteral("mnuGames")},
        {QStringLiteral("Мобильные игры"), QStringLiteral("MobileGames"), QStringLiteral("mnuMobileGames")},
        {QStringLiteral("Мобильные телефоны"), QStringLiteral("MobilePhones"), QStringLiteral("mnuMobilePhones")},
        {QStringLiteral("Операционные системы"), QStringLiteral("OS"), QStringLiteral("mnuOS")},
        {QStringLiteral("Программы"), QStringLiteral("Programs"), QStringLiteral("mnuSoft")},
        {QStringLiteral("Разное"), QStringLiteral("Other"), QStringLiteral("mnuOther")},
        {QStringLiteral("Фильмы"), QStringLiteral("Movie"), QStringLiteral("mnuMovie")},
    };
    return list;
}

const QStringList &tableCreationOrder()
{
    static const QStringList order = {
        QStringLiteral("Games"),    QStringLiteral("MobileGames"), QStringLiteral("MobilePhones"),
        QStringLiteral("OS"),       QStringLiteral("Programs"),    QStringLiteral("Tech"),
        QStringLiteral("WebSites"), QStringLiteral("Movie"),       QStringLiteral("Other")};
    return order;
}

std::optional<Category> categoryByDisplayName(const QString &displayName)
{
    for (const Category &c : categories()) {
        if (c.displayName == displayName)
            return c;
    }
    return std::nullopt;
}

std::optional<Category> categoryByTable(const QString &table)
{
    for (const Category &c : categories()) {
        if (c.table == table)
            return c;
    }
    return std::nullopt;
}

} // namespace zv
