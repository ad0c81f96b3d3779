#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

namespace zv {

// Whole numbers either owned or read in place from memory someone else keeps alive (a list
// file mapped into memory), so a list of a million names costs nothing until it is read.
class IntColumn
{
public:
    IntColumn() = default;
    IntColumn(std::vector<int> owned) // NOLINT: taking a vector over is the common case
        : m_own(std::move(owned))
        , m_data(m_own.data())
        , m_size(m_own.size())
    {
    }
    static IntColumn view(const std::int32_t *data, size_t size)
    {
        IntColumn column;
        column.m_data = data;
        column.m_size = size;
        return column;
    }
    IntColumn(const IntColumn &other) { *this = other; }
    IntColumn &operator=(const IntColumn &other)
    {
        if (this != &other) {
            m_own = other.m_own;
            m_data = other.m_data == other.m_own.data() ? m_own.data() : other.m_data;
            m_size = other.m_size;
        }
        return *this;
    }
    IntColumn(IntColumn &&other) noexcept { *this = std::move(other); }
    IntColumn &operator=(IntColumn &&other) noexcept
    {
        const bool owned = other.m_data == other.m_own.data();
        m_own = std::move(other.m_own);
        m_data = owned ? m_own.data() : other.m_data;
        m_size = other.m_size;
        other.m_own.clear();
        other.m_data = nullptr;
        other.m_size = 0;
        return *this;
    }

    int operator[](size_t i) const { return m_data[i]; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const int *begin() const { return m_data; }
    const int *end() const { return m_data + m_size; }

private:
    std::vector<int> m_own;
    const int *m_data = nullptr;
    size_t m_size = 0;
};

// A sorted list laid out in memory that someone else owns (a list file mapped into memory):
// the names in list order with their record ids, and the index over their case-folded forms.
struct NameColumns
{
    qsizetype count = 0;
    const qint64 *rowIds = nullptr;        // [count]
    const std::uint32_t *starts = nullptr; // [count + 1], into text
    const char16_t *text = nullptr;
    const std::int32_t *tree = nullptr; // [2 * count], as NameList::searchTree()
    std::shared_ptr<const void> keeper; // keeps the memory alive

    QStringView at(qsizetype i) const { return QStringView(text + starts[i], qsizetype(starts[i + 1] - starts[i])); }
};

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
    // Takes names already sorted, with their index, read in place; nothing is sorted or copied.
    void assignSorted(NameColumns sorted);
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
    QStringView viewAt(int position) const { return nameOf(m_order[size_t(position)]); }
    QString at(int position) const { return viewAt(position).toString(); }
    qint64 rowIdAt(int position) const { return rowIdOf(m_order[size_t(position)]); }
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
    // The index, complete: leaves [n, 2n) hold list positions in case-folded order, each inner
    // node the smallest position below it.
    const IntColumn &searchTree() const
    {
        finishIndex();
        return m_tree;
    }

    // The list's order: true when `a` sorts before `b`.
    static bool sortsBefore(QStringView a, QStringView b);

private:
    // A name's id: the mapped names come first, then those given (m_rows).
    qsizetype idCount() const { return m_base.count + m_rows.size(); }
    QStringView nameOf(int id) const { return id < m_base.count ? m_base.at(id) : m_rows.at(id - m_base.count); }
    qint64 rowIdOf(int id) const { return id < m_base.count ? m_base.rowIds[id] : m_rows.rowIdAt(id - m_base.count); }
    void finishIndex() const;
    // The range of index leaves whose folded names equal `folded`, or start with it.
    std::pair<int, int> foldedRange(const std::u16string_view folded, bool prefix) const;
    int minPosition(int from, int to) const;
    std::vector<int> merge(const NameRows &batch, std::vector<int> &order, std::vector<int> &tree) const;

    NameColumns m_base; // names read in place, ids [0, m_base.count)
    NameRows m_rows;    // every name given since, in the order given; ids from m_base.count on
    IntColumn m_order;  // the id at each list position
    std::uint64_t m_generation = 0;
    mutable std::mutex m_indexLock;
    mutable std::future<std::vector<int>> m_pendingIndex;
    // Leaves m_tree[n + k]: the list position of the k-th name in folded order; each inner
    // node the smallest position below it.
    mutable IntColumn m_tree;
};

} // namespace zv
