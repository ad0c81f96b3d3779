#pragma once

#include "core/history/Journal.h"

#include <QAbstractTableModel>

#include <vector>

// What the journal says a change did: "удалена", "перенесена в «Игры»", "обновление: 500
// записей", with "(отменено)" when it was taken back.
QString changeWhat(const zv::history::ChangeSummary &change);

// The journal's list: one row per change, newest first, with when (local time), what, category
// and entry name. The texts are made as the view asks for them, so ten thousand changes cost
// no more to show than the rows on screen.
class JournalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { When, What, Category, Entry, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setChanges(std::vector<zv::history::ChangeSummary> changes);
    const zv::history::ChangeSummary &change(int row) const { return m_changes[std::size_t(row)]; }
    // The row of the change `id`, or -1.
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<zv::history::ChangeSummary> m_changes;
};
