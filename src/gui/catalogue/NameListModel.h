#pragma once

#include "core/store/NameList.h"

#include <QAbstractListModel>

// The main list's names for a list view; one row per name, nothing else per row, so a
// category of a million entries costs no widget per item.
class NameListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    const zv::NameList &names() const { return m_names; }
    void assign(QStringList names);
    int insert(const QString &name);
    void removeAt(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    zv::NameList m_names;
};
