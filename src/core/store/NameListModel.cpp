#include "core/store/NameListModel.h"

#include <QSet>

NameListModel::NameListModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_names(std::make_shared<zv::NameList>())
{
}

zv::NameList &NameListModel::writable()
{
    if (m_names.use_count() > 1)
        m_names = std::make_shared<zv::NameList>(*m_names);
    return *m_names;
}

void NameListModel::assign(zv::NameRows rows)
{
    beginResetModel();
    unshared().assign(std::move(rows));
    endResetModel();
}

void NameListModel::assignSorted(zv::NameColumns sorted)
{
    beginResetModel();
    unshared().assignSorted(std::move(sorted));
    endResetModel();
}

zv::NameList &NameListModel::unshared()
{
    // A snapshot someone holds keeps the old names; the new ones never touch it.
    if (m_names.use_count() > 1)
        m_names = std::make_shared<zv::NameList>();
    return *m_names;
}

int NameListModel::insert(const QString &name, qint64 rowId)
{
    zv::NameRows one;
    one.append(name, rowId);
    zv::NameList::Merge merge = m_names->prepareInsert(std::move(one));
    const int row = merge.positions().front();
    insert(std::move(merge));
    return row;
}

void NameListModel::insert(zv::NameList::Merge merge)
{
    const std::vector<int> positions = writable().apply(std::move(merge));
    m_unannounced.clear();
    for (const int p : positions) {
        if (!m_unannounced.empty() && m_unannounced.back().first + m_unannounced.back().count == p)
            ++m_unannounced.back().count;
        else
            m_unannounced.push_back({p, 1});
    }
    m_hidden = int(positions.size());
    // The list holds every name already; the rows are shown to the views in list order, each
    // block at the place it has once those before it are shown.
    for (m_announced = 0; m_announced < m_unannounced.size();) {
        const Block block = m_unannounced[m_announced];
        beginInsertRows({}, block.first, block.first + block.count - 1);
        ++m_announced;
        m_hidden -= block.count;
        endInsertRows();
    }
    m_unannounced.clear();
    m_announced = 0;
}

void NameListModel::removeAt(int row)
{
    if (row < 0 || row >= m_names->size())
        return;
    beginRemoveRows({}, row, row);
    writable().removeAt(row);
    endRemoveRows();
}

void NameListModel::removeRowIds(const QList<qint64> &rowIds)
{
    const QSet<qint64> removed(rowIds.begin(), rowIds.end());
    std::vector<int> positions;
    for (int p = 0; p < m_names->size(); ++p) {
        if (removed.contains(m_names->rowIdAt(p)))
            positions.push_back(p);
    }
    if (positions.empty())
        return;
    beginResetModel();
    writable().removeAt(positions);
    endResetModel();
}

int NameListModel::listPosition(int row) const
{
    int position = row;
    for (size_t b = m_announced; b < m_unannounced.size() && m_unannounced[b].first <= position; ++b)
        position += m_unannounced[b].count;
    return position;
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_names->size() - m_hidden;
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return nameAt(index.row());
    return {};
}
