#include "core/store/NameList.h"

#include "core/store/NameCollation.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace zv {

namespace {

// Below this many names a second thread costs more than it saves.
constexpr qsizetype kParallelFrom = 20000;

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
void setHeadOfText(SortEntry &entry, const QString &text)
{
    const qsizetype size = text.size();
    const QChar *chars = text.constData();
    for (int part = 0; part < 2; ++part) {
        std::uint64_t head = 0;
        for (int i = part * 4; i < part * 4 + 4; ++i)
            head = (head << 16) | (i < size ? chars[i].unicode() : 0);
        entry.head[part] = head;
    }
}

// Positions 0..n-1 in the collation order of `names`; equal names keep their order.
std::vector<int> collationOrder(const QStringList &names)
{
    const qsizetype n = names.size();
    std::vector<std::uint8_t> keys;
    keys.reserve(size_t(n) * 24);
    std::vector<size_t> offsets(size_t(n) + 1);
    for (qsizetype i = 0; i < n; ++i) {
        offsets[i] = keys.size();
        appendCollationKey(names.at(i), keys);
    }
    offsets[n] = keys.size();
    std::vector<SortEntry> entries(n);
    for (qsizetype i = 0; i < n; ++i) {
        setHeadOfKey(entries[i], keys.data() + offsets[i]);
        entries[i].index = int(i);
    }
    std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
        if (!a.headEqual(b))
            return a.headLess(b);
        const int c = std::strcmp(reinterpret_cast<const char *>(keys.data() + offsets[a.index]),
                                  reinterpret_cast<const char *>(keys.data() + offsets[b.index]));
        return c != 0 ? c < 0 : a.index < b.index;
    });
    std::vector<int> order(n);
    for (qsizetype i = 0; i < n; ++i)
        order[i] = entries[i].index;
    return order;
}

} // namespace

QString lowerForSearch(const QString &text)
{
    return text.toLower();
}

bool NameList::sortsBefore(const QString &a, const QString &b)
{
    return collatesBefore(a, b);
}

NameList::~NameList()
{
    finishIndex();
}

NameList::LowerIndex NameList::buildLowerIndex(const QStringList &names)
{
    const qsizetype n = names.size();
    QStringList lower;
    lower.reserve(n);
    for (const QString &name : names)
        lower.append(lowerForSearch(name));
    std::vector<SortEntry> entries(n);
    for (qsizetype i = 0; i < n; ++i) {
        setHeadOfText(entries[i], lower.at(i));
        entries[i].index = int(i);
    }
    std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
        if (!a.headEqual(b))
            return a.headLess(b);
        return QStringView(lower.at(a.index)).compare(QStringView(lower.at(b.index))) < 0;
    });
    LowerIndex index;
    index.lower.reserve(n);
    index.sourceOrder.resize(n);
    for (qsizetype k = 0; k < n; ++k) {
        const int i = entries[k].index;
        index.lower.append(std::move(lower[i]));
        index.sourceOrder[k] = i;
    }
    return index;
}

void NameList::assign(QStringList names)
{
    finishIndex();
    const qsizetype n = names.size();
    // The search index does not hold up the list: a large list builds it on a second thread,
    // and the first search or change waits for it.
    if (n >= kParallelFrom)
        m_pendingIndex = std::async(std::launch::async, [names] { return buildLowerIndex(names); });
    else
        m_pendingIndex = std::async(std::launch::deferred, [names] { return buildLowerIndex(names); });

    const std::vector<int> order = collationOrder(names);
    m_positionOfSource.assign(n, 0);
    m_names.clear();
    m_names.reserve(n);
    for (qsizetype p = 0; p < n; ++p) {
        const int i = order[p];
        m_positionOfSource[i] = int(p);
        m_names.append(names.at(i));
    }
}

void NameList::finishIndex() const
{
    if (!m_pendingIndex.valid())
        return;
    LowerIndex index = m_pendingIndex.get();
    m_lower = std::move(index.lower);
    m_byLower.resize(index.sourceOrder.size());
    for (size_t k = 0; k < index.sourceOrder.size(); ++k)
        m_byLower[k] = m_positionOfSource[index.sourceOrder[k]];
    m_positionOfSource = {};
    rebuildTree();
}

int NameList::insert(const QString &name)
{
    finishIndex();
    const auto at = std::upper_bound(m_names.cbegin(), m_names.cend(), name, &NameList::sortsBefore);
    const int position = int(at - m_names.cbegin());
    m_names.insert(position, name);
    for (int &p : m_byLower) {
        if (p >= position)
            ++p;
    }
    const QString lower = lowerForSearch(name);
    const qsizetype slot = std::upper_bound(m_lower.cbegin(), m_lower.cend(), lower) - m_lower.cbegin();
    m_lower.insert(slot, lower);
    m_byLower.insert(m_byLower.begin() + slot, position);
    rebuildTree();
    return position;
}

void NameList::removeAt(int position)
{
    finishIndex();
    if (position < 0 || position >= size())
        return;
    m_names.removeAt(position);
    const auto slot = std::find(m_byLower.begin(), m_byLower.end(), position);
    m_lower.removeAt(slot - m_byLower.begin());
    m_byLower.erase(slot);
    for (int &p : m_byLower) {
        if (p > position)
            --p;
    }
    rebuildTree();
}

void NameList::rebuildTree() const
{
    const size_t n = m_byLower.size();
    m_tree.assign(2 * n, 0);
    std::copy(m_byLower.begin(), m_byLower.end(), m_tree.begin() + n);
    for (size_t i = n; i-- > 1;)
        m_tree[i] = std::min(m_tree[2 * i], m_tree[2 * i + 1]);
}

int NameList::minPosition(int from, int to) const
{
    const int n = int(m_byLower.size());
    int best = std::numeric_limits<int>::max();
    for (int l = from + n, r = to + n; l < r; l >>= 1, r >>= 1) {
        if (l & 1)
            best = std::min(best, m_tree[l++]);
        if (r & 1)
            best = std::min(best, m_tree[--r]);
    }
    return best;
}

std::pair<int, int> NameList::prefixRange(const QString &lowerPrefix) const
{
    finishIndex();
    const auto first = std::lower_bound(m_lower.cbegin(), m_lower.cend(), lowerPrefix);
    const auto last = std::partition_point(first, m_lower.cend(),
                                           [&](const QString &lower) { return lower.startsWith(lowerPrefix); });
    return {int(first - m_lower.cbegin()), int(last - m_lower.cbegin())};
}

int NameList::firstWithPrefix(const QString &prefix) const
{
    if (m_names.isEmpty())
        return -1;
    if (prefix.isEmpty())
        return 0;
    const auto [from, to] = prefixRange(lowerForSearch(prefix));
    return from < to ? minPosition(from, to) : -1;
}

bool NameList::containsIgnoringCase(const QString &name) const
{
    const QString lower = lowerForSearch(name);
    // An equal name is the shortest of those it prefixes, so it comes first in the range.
    const auto [from, to] = prefixRange(lower);
    return from < to && m_lower.at(from) == lower;
}

} // namespace zv
