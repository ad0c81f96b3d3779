#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zv {

// One of the nine fixed categories: the name the user sees, its table in the catalogue
// and the main window's move-to menu item that targets it.
struct Category
{
    QString displayName;
    QString table;
    QString moveMenuItem;
};

// In the order of the category selector (alphabetical by display name).
const QList<Category> &categories();
// Table names in the order a new catalogue creates them.
const QStringList &tableCreationOrder();
// Exact comparison, letter case included.
std::optional<Category> categoryByDisplayName(const QString &displayName);
std::optional<Category> categoryByTable(const QString &table);

} // namespace zv
