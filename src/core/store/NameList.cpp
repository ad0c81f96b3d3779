#include "core/store/NameList.h"

#include "core/LetterCase.h"
#include "core/store/NameCollation.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string_view>

namespace zv {

namespace {

// Below this many names a second thread costs more than it saves.
constexpr int kParallelFrom = 20000;

// Sorting a million names is dominated by the comparisons; each entry carries the first
// sixteen bytes of what it is sorted by, so most comparisons never look further.
struct SortEntry
{
    std::uint64_t head[2];
    int index;

    bool headLess(const SortEntry &other) const
    {
        return head[0] != other.head[0] ? head[0] < other.head[0] : head[1] < other.head[1];
    }
    bool headEqual(const SortEntry &other) const { return head[0] == other.head[0] && head[1] == other.head[1]; }
};

// The first sixteen bytes of a zero-ended key, big-endian, padded with zeros (which sort first).
void setHeadOfKey(SortEntry &entry, const std::uint8_t *key)
{
    bool ended = false;
    for (int part = 0; part < 2; ++part) {
        std::uint64_t head = 0;
        for (int i = 0; i < 8; ++i) {
            const std::uint8_t byte = ended ? 0 : key[part * 8 + i];
            ended = ended || byte == 0;
            head = (head << 8) | byte;
        }
        entry.head[part] = head;
    }
}

// The first eight UTF-16 units of a text, padded with zeros.
void setHeadOfText(SortEntry &entry, std::u16string_view text)
{
    for (int part = 0; part < 2; ++part) {
        std::uint64_t head = 0;
        for (size_t i = size_t(part) * 4; i < size_t(part) * 4 + 4; ++i)
            head = (head << 16) | (i < text.size() ? text[i] : 0);
        entry.head[part] = head;
    }
}

std::u16string_view viewOf(const FoldBuffer &folded)
{
    return std::u16string_view(folded.constData(), size_t(folded.size()));
}

// Indexes 0..n-1 of the names `at` gives, in collation order; equal names keep their order.
// Each entry holds the first sixteen bytes of its name's collation key; only the rest of the
// key is kept beside, for the entries whose heads are equal.
template <typename At> std::vector<int> collationOrder(int n, const At &at)
{
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> tails;
    tails.reserve(size_t(n) * 16);
    std::vector<std::uint32_t> offsets(size_t(n) + 1); // where each tail starts
    std::vector<SortEntry> entries(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        key.clear();
        appendCollationKey(at(i), key); // ends in a zero
        setHeadOfKey(entries[size_t(i)], key.data());
        entries[size_t(i)].index = i;
        offsets[size_t(i)] = std::uint32_t(tails.size());
        // A key that ended within the head leaves an empty tail: equal heads then mean equal keys.
        const size_t headLength = std::min<size_t>(16, key.size() - 1);
        tails.insert(tails.end(), key.begin() + std::ptrdiff_t(headLength), key.end());
        if (tails.size() > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many names for one list");
    }
    offsets[size_t(n)] = std::uint32_t(tails.size());
    std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
        if (!a.headEqual(b))
            return a.headLess(b);
        const int c = std::strcmp(reinterpret_cast<const char *>(tails.data() + offsets[size_t(a.index)]),
                                  reinterpret_cast<const char *>(tails.data() + offsets[size_t(b.index)]));
        return c != 0 ? c < 0 : a.index < b.index;
    });
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = entries[size_t(i)].index;
    return order;
}

// The search tree over `leaves`: leaves at [n, 2n), each inner node the smaller of its two.
std::vector<int> treeOver(const std::vector<int> &leaves)
{
    const size_t n = leaves.size();
    std::vector<int> tree(2 * n, 0);
    std::copy(leaves.begin(), leaves.end(), tree.begin() + std::ptrdiff_t(n));
    for (size_t i = n; i-- > 1;)
        tree[i] = std::min(tree[2 * i], tree[2 * i + 1]);
    return tree;
}

// The indexes 0..n-1 of the names `at` gives, in folded order. The names are grouped by their
// first folded unit and each group is sorted on its own, so the folded copies of only one group
// are held at a time.
template <typename At> std::vector<int> foldedOrder(int n, const At &at)
{
    FoldBuffer folded;
    std::vector<char16_t> first(static_cast<size_t>(n));
    std::vector<int> groupStart(0x10001, 0);
    for (int p = 0; p < n; ++p) {
        foldCaseInto(at(p), folded);
        // An empty name sorts first: it shares a group with names folding to U+0000 and the
        // sort inside the group puts it first.
        first[size_t(p)] = folded.isEmpty() ? 0 : folded[0];
        ++groupStart[size_t(first[size_t(p)]) + 1];
    }
    for (size_t g = 1; g < groupStart.size(); ++g)
        groupStart[g] += groupStart[g - 1];
    std::vector<int> leaves(static_cast<size_t>(n));
    {
        std::vector<int> fill(groupStart.begin(), groupStart.end() - 1);
        for (int p = 0; p < n; ++p)
            leaves[size_t(fill[first[size_t(p)]]++)] = p;
    }
    first = {};
    std::vector<char16_t> text;
    std::vector<size_t> offsets;
    std::vector<SortEntry> entries;
    for (size_t g = 0; g + 1 < groupStart.size(); ++g) {
        const int from = groupStart[g], to = groupStart[g + 1];
        if (to - from < 2)
            continue;
        text.clear();
        offsets.assign(1, 0);
        entries.resize(size_t(to - from));
        for (int k = from; k < to; ++k) {
            foldCaseInto(at(leaves[size_t(k)]), folded);
            text.insert(text.end(), folded.cbegin(), folded.cend());
            offsets.push_back(text.size());
        }
        auto foldedAt = [&](int i) {
            return std::u16string_view(text.data() + offsets[size_t(i)], offsets[size_t(i) + 1] - offsets[size_t(i)]);
        };
        for (int i = 0; i < to - from; ++i) {
            setHeadOfText(entries[size_t(i)], foldedAt(i));
            entries[size_t(i)].index = i;
        }
        std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
            if (!a.headEqual(b))
                return a.headLess(b);
            const int c = foldedAt(a.index).compare(foldedAt(b.index));
            return c != 0 ? c < 0 : a.index < b.index;
        });
        std::vector<int> sorted(size_t(to - from));
        for (int i = 0; i < to - from; ++i)
            sorted[size_t(i)] = leaves[size_t(from + entries[size_t(i)].index)];
        std::copy(sorted.begin(), sorted.end(), leaves.begin() + from);
    }
    return leaves;
}

} // namespace

NameRows::NameRows(const QStringList &names)
{
    qsizetype units = 0;
    for (const QString &name : names)
        units += name.size();
    reserve(names.size(), units);
    for (const QString &name : names)
        append(name);
}

void NameRows::reserve(qsizetype names, qsizetype units)
{
    m_text.reserve(size_t(units));
    m_start.reserve(size_t(names) + 1);
    m_rowId.reserve(size_t(names));
}

void NameRows::append(QStringView name, qint64 rowId)
{
    if (m_text.size() + size_t(name.size()) > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many names for one list");
    m_text.insert(m_text.end(), name.utf16(), name.utf16() + name.size());
    m_start.push_back(std::uint32_t(m_text.size()));
    m_rowId.push_back(rowId);
}

void NameRows::appendUtf8(QByteArrayView name, qint64 rowId)
{
    // As QString::fromUtf8, which leaves out a byte order mark at the start.
    if (name.startsWith("\xEF\xBB\xBF"))
        name = name.sliced(3);
    const size_t start = m_text.size();
    if (start + size_t(name.size()) > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many names for one list");
    // A UTF-8 byte never makes more than one UTF-16 unit.
    m_text.resize(start + size_t(name.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    auto *begin = reinterpret_cast<QChar *>(m_text.data() + start);
    const QChar *end = decoder.appendToBuffer(begin, name);
    m_text.resize(start + size_t(end - begin));
    m_start.push_back(std::uint32_t(m_text.size()));
    m_rowId.push_back(rowId);
}

void NameRows::append(const NameRows &other)
{
    m_text.reserve(m_text.size() + other.m_text.size());
    m_start.reserve(m_start.size() + other.m_rowId.size());
    m_rowId.reserve(m_rowId.size() + other.m_rowId.size());
    for (qsizetype i = 0; i < other.size(); ++i)
        append(other.at(i), other.rowIdAt(i));
}

bool NameList::sortsBefore(QStringView a, QStringView b)
{
    return collatesBefore(a, b);
}

NameList::~NameList()
{
    finishIndex();
}

NameList::NameList(const NameList &other)
{
    other.finishIndex();
    m_base = other.m_base;
    m_rows = other.m_rows;
    m_order = other.m_order;
    m_generation = other.m_generation;
    m_tree = other.m_tree;
}

void NameList::assign(NameRows rows)
{
    finishIndex();
    const int n = int(rows.size());
    m_base = {};
    m_rows = std::move(rows);
    m_tree = {};
    ++m_generation;
    // The search index does not hold up the list: a large list builds it on a second thread
    // while this one sorts, and the first search or change waits for it. It is built over the
    // names' ids, which become list positions once both are done.
    auto build = [this, n] { return foldedOrder(n, [this](int id) { return nameOf(id); }); };
    {
        std::lock_guard lock(m_indexLock);
        m_pendingIndex = std::async(n >= kParallelFrom ? std::launch::async : std::launch::deferred, build);
    }
    m_order = collationOrder(n, [this](int id) { return nameOf(id); });
}

void NameList::assignSorted(NameColumns sorted)
{
    finishIndex();
    m_rows = NameRows();
    std::vector<int> order(static_cast<size_t>(sorted.count));
    std::iota(order.begin(), order.end(), 0);
    m_order = std::move(order);
    m_tree = IntColumn::view(sorted.tree, size_t(sorted.count) * 2);
    m_base = std::move(sorted);
    ++m_generation;
}

void NameList::finishIndex() const
{
    std::lock_guard lock(m_indexLock);
    if (!m_pendingIndex.valid())
        return;
    std::vector<int> leaves = m_pendingIndex.get();
    std::vector<int> positionOf(static_cast<size_t>(idCount()));
    for (size_t p = 0; p < m_order.size(); ++p)
        positionOf[size_t(m_order[p])] = int(p);
    for (int &leaf : leaves)
        leaf = positionOf[size_t(leaf)];
    m_tree = treeOver(leaves);
}

QStringList NameList::names() const
{
    QStringList all;
    all.reserve(size());
    for (int p = 0; p < size(); ++p)
        all << at(p);
    return all;
}

std::vector<int> NameList::merge(const NameRows &batch, std::vector<int> &order, std::vector<int> &tree) const
{
    finishIndex();
    const int n = size();
    const int k = int(batch.size());
    const int firstId = int(idCount());

    // Where each added name goes: after the names it equals, as if added one by one in order.
    const std::vector<int> sorted = collationOrder(k, [&](int i) { return batch.at(i); });
    std::vector<int> before(static_cast<size_t>(k)); // the old position each one is put in front of
    int from = 0;
    for (int j = 0; j < k; ++j) {
        const QStringView name = batch.at(sorted[size_t(j)]);
        int lo = from, hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (collatesBefore(name, viewAt(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        before[size_t(j)] = from = lo;
    }

    order.assign(size_t(n + k), 0);
    std::vector<int> newPosition(static_cast<size_t>(n)); // of each old position
    std::vector<int> added(static_cast<size_t>(k));       // new position of each batch name
    std::vector<int> positions;
    positions.reserve(size_t(k));
    for (int p = 0, j = 0, out = 0; p <= n; ++p) {
        for (; j < k && before[size_t(j)] == p; ++j, ++out) {
            order[size_t(out)] = firstId + sorted[size_t(j)];
            added[size_t(sorted[size_t(j)])] = out;
            positions.push_back(out);
        }
        if (p < n) {
            order[size_t(out)] = m_order[size_t(p)];
            newPosition[size_t(p)] = out++;
        }
    }

    // The index: the added names' folded forms sorted and merged among the old leaves.
    std::vector<FoldBuffer> folded(static_cast<size_t>(k));
    std::vector<int> byFold(static_cast<size_t>(k));
    for (int i = 0; i < k; ++i) {
        foldCaseInto(batch.at(i), folded[size_t(i)]);
        byFold[size_t(i)] = i;
    }
    std::sort(byFold.begin(), byFold.end(),
              [&](int a, int b) { return viewOf(folded[size_t(a)]) < viewOf(folded[size_t(b)]); });
    std::vector<int> leaves;
    leaves.reserve(size_t(n + k));
    FoldBuffer probe;
    int leaf = 0;
    for (const int i : byFold) {
        const std::u16string_view key = viewOf(folded[size_t(i)]);
        int lo = leaf, hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            foldCaseInto(viewAt(m_tree[size_t(n + mid)]), probe);
            if (key < viewOf(probe))
                hi = mid;
            else
                lo = mid + 1;
        }
        for (; leaf < lo; ++leaf)
            leaves.push_back(newPosition[size_t(m_tree[size_t(n + leaf)])]);
        leaves.push_back(added[size_t(i)]);
    }
    for (; leaf < n; ++leaf)
        leaves.push_back(newPosition[size_t(m_tree[size_t(n + leaf)])]);
    tree = treeOver(leaves);
    return positions;
}

NameList::Merge NameList::prepareInsert(NameRows batch) const
{
    Merge merge;
    merge.m_positions = this->merge(batch, merge.m_order, merge.m_tree);
    merge.m_batch = std::move(batch);
    merge.m_generation = m_generation;
    return merge;
}

std::vector<int> NameList::apply(Merge merge)
{
    finishIndex();
    if (merge.m_generation != m_generation)
        merge.m_positions = this->merge(merge.m_batch, merge.m_order, merge.m_tree);
    m_rows.append(merge.m_batch);
    m_order = std::move(merge.m_order);
    m_tree = std::move(merge.m_tree);
    ++m_generation;
    return std::move(merge.m_positions);
}

int NameList::insert(QStringView name, qint64 rowId)
{
    NameRows one;
    one.append(name, rowId);
    return apply(prepareInsert(std::move(one))).front();
}

void NameList::removeAt(int position)
{
    if (position >= 0 && position < size())
        removeAt(std::vector<int>{position});
}

void NameList::removeAt(const std::vector<int> &positions)
{
    finishIndex();
    const int n = size();
    if (positions.empty())
        return;
    // The names' texts stay in m_rows until the next assign(); only the list forgets them.
    std::vector<int> newPosition(size_t(n), 0);
    for (const int p : positions)
        newPosition[size_t(p)] = -1;
    int kept = 0;
    for (int p = 0; p < n; ++p) {
        if (newPosition[size_t(p)] == 0)
            newPosition[size_t(p)] = kept++;
    }
    std::vector<int> order;
    order.reserve(size_t(kept));
    for (int p = 0; p < n; ++p) {
        if (newPosition[size_t(p)] >= 0)
            order.push_back(m_order[size_t(p)]);
    }
    m_order = std::move(order);
    std::vector<int> leaves;
    leaves.reserve(size_t(kept));
    for (int k = 0; k < n; ++k) {
        const int p = newPosition[size_t(m_tree[size_t(n + k)])];
        if (p >= 0)
            leaves.push_back(p);
    }
    m_tree = treeOver(leaves);
    ++m_generation;
}

int NameList::minPosition(int from, int to) const
{
    const int n = size();
    int best = std::numeric_limits<int>::max();
    for (int l = from + n, r = to + n; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            best = std::min(best, m_tree[size_t(l++)]);
        if (r & 1)
            best = std::min(best, m_tree[size_t(--r)]);
    }
    return best;
}

std::pair<int, int> NameList::foldedRange(const std::u16string_view folded, bool prefix) const
{
    finishIndex();
    const int n = size();
    FoldBuffer probe;
    // Negative, zero or positive as the leaf's folded name (cut to the key's length when
    // looking for a prefix) sorts before, equal to or after the key.
    auto compareLeaf = [&](int k) {
        foldCaseInto(viewAt(m_tree[size_t(n + k)]), probe);
        std::u16string_view name = viewOf(probe);
        if (prefix)
            name = name.substr(0, folded.size());
        return name.compare(folded);
    };
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (compareLeaf(mid) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    const int first = lo;
    hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (compareLeaf(mid) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return {first, lo};
}

int NameList::firstWithPrefix(QStringView prefix) const
{
    if (isEmpty())
        return -1;
    if (prefix.isEmpty())
        return 0;
    FoldBuffer folded;
    foldCaseInto(prefix, folded);
    const auto [from, to] = foldedRange(viewOf(folded), true);
    return from < to ? minPosition(from, to) : -1;
}

bool NameList::containsIgnoringCase(QStringView name) const
{
    FoldBuffer folded;
    foldCaseInto(name, folded);
    const auto [from, to] = foldedRange(viewOf(folded), false);
    return from < to;
}

std::vector<qint64> NameList::rowIdsOf(QStringView name) const
{
    FoldBuffer folded;
    foldCaseInto(name, folded);
    const auto [from, to] = foldedRange(viewOf(folded), false);
    std::vector<qint64> rowIds;
    for (int k = from; k < to; ++k)
        rowIds.push_back(rowIdAt(m_tree[size_t(size() + k)]));
    std::sort(rowIds.begin(), rowIds.end());
    return rowIds;
}

} // namespace zv
