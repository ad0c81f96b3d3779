#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <future>
#include <mutex>
#include <vector>

namespace zv {

// Names with their record ids, the text of all names in one block: a million names of twenty
// characters take about 50 MB here, where separate strings take well over twice that.
class NameRows
{
public:
    NameRows() = default;
    // Record ids unknown (-1).
    explicit NameRows(const QStringList &names);

    void reserve(qsizetype names, qsizetype units);
    void append(QStringView name, qint64 rowId = -1);
    // The same from UTF-8, decoded straight into the block as QString::fromUtf8 decodes
    // (a leading byte order mark dropped, broken bytes replaced).
    void appendUtf8(QByteArrayView name, qint64 rowId = -1);
    void append(const NameRows &other);

    qsizetype size() const { return qsizetype(m_rowId.size()); }
    bool isEmpty() const { return m_rowId.empty(); }
    QStringView at(qsizetype i) const
    {
        return QStringView(m_text.data() + m_start[size_t(i)], qsizetype(m_start[size_t(i) + 1] - m_start[size_t(i)]));
    }
    qint64 rowIdAt(qsizetype i) const { return m_rowId[size_t(i)]; }

private:
    std::vector<char16_t> m_text;
    std::vector<std::uint32_t> m_start{0}; // name i is m_text[m_start[i], m_start[i + 1])
    std::vector<qint64> m_rowId;
};

// The names of the main list, kept in alphabetical order ignoring letter case, with Latin
// before Cyrillic (the root Unicode collation), each with the record id it was loaded with,
// plus an index over the names' case-folded forms (see LetterCase.h) that finds the first name
// in list order starting with a typed text, and the records of a name, without walking the list.
//
// The index is built beside the list after assign() and completed on first use. Const members
// may be called from several threads at once while nothing changes the list.
class NameList
{
public:
    NameList() = default;
    ~NameList();
    // A copy of the names and their index; the original is only read (its index is completed).
    NameList(const NameList &other);
    NameList &operator=(const NameList &) = delete;

    // Takes the names in the store's order; names that compare equal keep that order.
    void assign(NameRows rows);
    void assign(const QStringList &names) { assign(NameRows(names)); }
    void clear() { assign(NameRows()); }

    // Names added as one batch: sorted among themselves and merged into the list in one pass,
    // the index rebuilt once. prepareInsert() does all the work without changing the list, so
    // it can run on another thread; apply() then puts the result in place at once.
    class Merge
    {
    public:
        // The list positions of the added names after apply(), ascending.
        const std::vector<int> &positions() const { return m_positions; }
        // The names added, with their record ids, in the order given.
        const NameRows &batch() const { return m_batch; }

    private:
        friend class NameList;
        NameRows m_batch;
        std::vector<int> m_order;
        std::vector<int> m_tree;
        std::vector<int> m_positions;
        std::uint64_t m_generation = 0;
    };
    Merge prepareInsert(NameRows batch) const;
    // Returns the list positions of the added names, ascending. A list changed since the
    // merge was prepared is merged again.
    std::vector<int> apply(Merge merge);
    // One name at its sorted place, after the names equal to it; returns that position.
    int insert(QStringView name, qint64 rowId = -1);
    void removeAt(int position);
    // Several at once, in one pass over the list: `positions` ascending, each once.
    void removeAt(const std::vector<int> &positions);

    int size() const { return int(m_order.size()); }
    bool isEmpty() const { return m_order.empty(); }
    QStringView viewAt(int position) const { return m_rows.at(m_order[size_t(position)]); }
    QString at(int position) const { return viewAt(position).toString(); }
    qint64 rowIdAt(int position) const { return m_rows.rowIdAt(m_order[size_t(position)]); }
    // All names in list order (a copy: costly for a large list).
    QStringList names() const;

    // First position, in list order, whose name starts with `prefix` ignoring letter case;
    // -1 when none does. An empty prefix gives the first position of a non-empty list.
    int firstWithPrefix(QStringView prefix) const;
    // True when some name equals `name` ignoring letter case.
    bool containsIgnoringCase(QStringView name) const;
    // The record ids of the names equal to `name` ignoring letter case, ascending.
    std::vector<qint64> rowIdsOf(QStringView name) const;
    // Completes the index now, e.g. before handing the list to another thread to read.
    void waitForIndex() const { finishIndex(); }

    // The list's order: true when `a` sorts before `b`.
    static bool sortsBefore(QStringView a, QStringView b);

private:
    void finishIndex() const;
    // The range of index leaves whose folded names equal `folded`, or start with it.
    std::pair<int, int> foldedRange(const std::u16string_view folded, bool prefix) const;
    int minPosition(int from, int to) const;
    std::vector<int> merge(const NameRows &batch, std::vector<int> &order, std::vector<int> &tree) const;

    NameRows m_rows;          // every name given, in the order given; a name's index here is its id
    std::vector<int> m_order; // the id at each list position
    std::uint64_t m_generation = 0;
    mutable std::mutex m_indexLock;
    mutable std::future<std::vector<int>> m_pendingIndex;
    // Leaves m_tree[n + k]: the list position of the k-th name in folded order; each inner
    // node the smallest position below it.
    mutable std::vector<int> m_tree;
};

} // namespace zv
