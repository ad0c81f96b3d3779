#pragma once

#include "core/store/NameList.h"

#include <QAbstractListModel>

#include <memory>

// The main list's names for a list view; one row per name, nothing else per row, so a
// category of a million entries costs no widget per item.
class NameListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit NameListModel(QObject *parent = nullptr);

    const zv::NameList &names() const { return *m_names; }
    // The names as they are now, for another thread to read while this list goes on changing:
    // a change made while a snapshot is held is made on a copy.
    std::shared_ptr<const zv::NameList> snapshot() const { return m_names; }

    void assign(zv::NameRows rows);
    // Names already sorted, read in place (see NameList::assign).
    void assignSorted(zv::NameColumns sorted);
    // One name at its sorted place; returns its row.
    int insert(const QString &name, qint64 rowId);
    // Names added as one batch (see NameList::Merge). The new rows are announced block by
    // block, so the selection and the scroll position stay with their names.
    void insert(zv::NameList::Merge merge);
    void removeAt(int row);
    // The rows of these record ids, in one pass; the views start afresh.
    void removeRowIds(const QList<qint64> &rowIds);

    // The name of a row as the views see it (also while added rows are being announced).
    QString nameAt(int row) const { return m_names->at(listPosition(row)); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    zv::NameList &writable();
    // The list to fill anew, never one a snapshot holds.
    zv::NameList &unshared();
    // While added rows are being announced: the position in the whole list of a row of the
    // part announced so far.
    int listPosition(int row) const;

    struct Block
    {
        int first;
        int count;
    };
    std::shared_ptr<zv::NameList> m_names;
    std::vector<Block> m_unannounced; // added blocks not yet announced, in list order
    size_t m_announced = 0;           // how many of them have been
    int m_hidden = 0;                 // rows of the blocks not yet announced
};
