#include "NameList.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace zv {

namespace {

// The root collation (ICU's "en" adds no rules to it), letter case ignored.
const QCollator &listCollator()
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::English, QLocale::UnitedStates));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

} // namespace

QString lowerForSearch(const QString &text)
{
    return text.toLower();
}

bool NameList::sortsBefore(const QString &a, const QString &b)
{
    return listCollator().compare(a, b) < 0;
}

void NameList::assign(const QStringList &names)
{
    const qsizetype n = names.size();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (const QString &name : names)
        keys.push_back(listCollator().sortKey(name));
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    keys.clear();

    m_names.clear();
    m_names.reserve(n);
    m_lower.clear();
    m_lower.reserve(n);
    for (const int i : order) {
        m_names.append(names.at(i));
        m_lower.append(lowerForSearch(names.at(i)));
    }
    m_byLower.resize(n);
    std::iota(m_byLower.begin(), m_byLower.end(), 0);
    std::stable_sort(m_byLower.begin(), m_byLower.end(), [&](int a, int b) { return m_lower.at(a) < m_lower.at(b); });
    rebuildTree();
}

int NameList::insert(const QString &name)
{
    const auto at = std::upper_bound(m_names.cbegin(), m_names.cend(), name, &NameList::sortsBefore);
    const int position = int(at - m_names.cbegin());
    m_names.insert(position, name);
    const QString lower = lowerForSearch(name);
    m_lower.insert(position, lower);
    for (int &p : m_byLower) {
        if (p >= position)
            ++p;
    }
    const auto slot = std::upper_bound(m_byLower.begin(), m_byLower.end(), lower,
                                       [&](const QString &value, int p) { return value < m_lower.at(p); });
    m_byLower.insert(slot, position);
    rebuildTree();
    return position;
}

void NameList::removeAt(int position)
{
    if (position < 0 || position >= size())
        return;
    m_names.removeAt(position);
    m_lower.removeAt(position);
    m_byLower.erase(std::find(m_byLower.begin(), m_byLower.end(), position));
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
    const auto first = std::lower_bound(m_byLower.begin(), m_byLower.end(), lowerPrefix,
                                        [&](int p, const QString &value) { return m_lower.at(p) < value; });
    const auto last = std::partition_point(first, m_byLower.end(),
                                           [&](int p) { return m_lower.at(p).startsWith(lowerPrefix); });
    return {int(first - m_byLower.begin()), int(last - m_byLower.begin())};
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
    return from < to && m_lower.at(m_byLower[from]) == lower;
}

} // namespace zv
