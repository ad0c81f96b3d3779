#include "NameList.h"

#include "NameCollation.h"

#include <cstring>
#include <thread>

#include <algorithm>
#include <numeric>

namespace zv {

namespace {

// Below this many names a second thread costs more than it saves.
constexpr qsizetype kParallelFrom = 20000;

// Sorting a million names is dominated by the comparisons; each entry carries the first
// bytes of its key as one number, so most comparisons never look further.
struct SortEntry
{
    std::uint64_t head;
    int index;
};

std::uint64_t headOfKey(const std::uint8_t *key)
{
    std::uint64_t head = 0;
    for (int i = 0; i < 8; ++i) {
        head = (head << 8) | key[i];
        if (key[i] == 0) { // the key ends here: pad with zeros, which sort first
            head <<= 8 * (7 - i);
            break;
        }
    }
    return head;
}

std::uint64_t headOfText(const QString &text)
{
    std::uint64_t head = 0;
    for (int i = 0; i < 4; ++i)
        head = (head << 16) | (i < text.size() ? text.at(i).unicode() : 0);
    return head;
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
    keys.resize(keys.size() + 8, 0); // so reading eight bytes from any key start stays inside
    std::vector<SortEntry> entries(n);
    for (qsizetype i = 0; i < n; ++i)
        entries[i] = {headOfKey(keys.data() + offsets[i]), int(i)};
    std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
        if (a.head != b.head)
            return a.head < b.head;
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

void NameList::assign(QStringList names)
{
    const qsizetype n = names.size();
    // The collation sort and the lower-case sort are independent; a large list does them side by side.
    std::vector<int> order;
    std::thread collating;
    if (n >= kParallelFrom)
        collating = std::thread([&] { order = collationOrder(names); });
    else
        order = collationOrder(names);

    QStringList lower;
    lower.reserve(n);
    for (const QString &name : std::as_const(names))
        lower.append(lowerForSearch(name));
    std::vector<SortEntry> entries(n);
    for (qsizetype i = 0; i < n; ++i)
        entries[i] = {headOfText(lower.at(i)), int(i)};
    std::sort(entries.begin(), entries.end(), [&](const SortEntry &a, const SortEntry &b) {
        if (a.head != b.head)
            return a.head < b.head;
        return QStringView(lower.at(a.index)).compare(QStringView(lower.at(b.index))) < 0;
    });
    if (collating.joinable())
        collating.join();

    std::vector<int> position(n);
    m_names.clear();
    m_names.reserve(n);
    for (qsizetype p = 0; p < n; ++p) {
        const int i = order[p];
        position[i] = int(p);
        m_names.append(std::move(names[i]));
    }
    m_lower.clear();
    m_lower.reserve(n);
    m_byLower.resize(n);
    for (qsizetype k = 0; k < n; ++k) {
        const int i = entries[k].index;
        m_lower.append(std::move(lower[i]));
        m_byLower[k] = position[i];
    }
    rebuildTree();
}

int NameList::insert(const QString &name)
{
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

void NameList::rebuildTree()
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
    const auto first = std::lower_bound(m_lower.cbegin(), m_lower.cend(), lowerPrefix);
    const auto last =
        std::partition_point(first, m_lower.cend(), [&](const QString &lower) { return lower.startsWith(lowerPrefix); });
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
