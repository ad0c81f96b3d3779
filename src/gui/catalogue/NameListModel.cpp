#include "gui/catalogue/NameListModel.h"

void NameListModel::assign(QStringList names)
{
    beginResetModel();
    m_names.assign(std::move(names));
    endResetModel();
}

int NameListModel::insert(const QString &name)
{
    // Rows are announced before they change, so the position is found first.
    const auto &list = m_names.names();
    const int row = int(std::upper_bound(list.cbegin(), list.cend(), name, &zv::NameList::sortsBefore) - list.cbegin());
    beginInsertRows({}, row, row);
    m_names.insert(name);
    endInsertRows();
    return row;
}

void NameListModel::removeAt(int row)
{
    if (row < 0 || row >= m_names.size())
        return;
    beginRemoveRows({}, row, row);
    m_names.removeAt(row);
    endRemoveRows();
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_names.size();
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_names.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_names.at(index.row());
    return {};
}
