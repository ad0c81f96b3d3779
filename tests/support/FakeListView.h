#pragma once

#include "gui/catalogue/CatalogueListView.h"

#include <QStringList>

namespace zvtest {

// The main window's list as the update manager sees it: a sorted name list and a counter text.
class FakeListView : public CatalogueListView
{
public:
    explicit FakeListView(QString displayName = QStringLiteral("Игры"), QStringList names = {});

    QString categoryDisplayName() const override { return m_displayName; }
    QStringList listNames() const override { return m_names; }
    int listCount() const override { return int(m_names.size()); }
    bool listContainsName(const QString &name) const override;
    void addListName(const QString &name) override;
    void setCountText(const QString &text) override { countText = text; }
    QWidget *ownerWindow() override { return nullptr; }

    QString countText;

private:
    QString m_displayName;
    QStringList m_names;
};

} // namespace zvtest
