#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// What the windows opened from the main window (editor, update manager) use of its
// entry list, category selector and counter label.
class CatalogueListView
{
public:
    virtual ~CatalogueListView() = default;

    // The display name of the category shown (the selector's text).
    virtual QString categoryDisplayName() const = 0;
    // All names of the list, in list order.
    virtual QStringList listNames() const = 0;
    virtual int listCount() const = 0;
    // True when the list holds `name`, ignoring letter case (Cyrillic included).
    virtual bool listContainsName(const QString &name) const = 0;
    // Adds a name at its sorted place.
    virtual void addListName(const QString &name) = 0;
    // The counter label lblCount.
    virtual void setCountText(const QString &text) = 0;
    // The main window itself, as the owner of dialogs.
    virtual QWidget *ownerWindow() = 0;
};
