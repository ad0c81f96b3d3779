#pragma once

#include <QString>
#include <QStringList>

#include <future>
#include <vector>

namespace zv {

// The names of the main list, kept in alphabetical order ignoring letter case, with Latin
// before Cyrillic (the root Unicode collation), plus an index that finds the first name in
// that order starting with a typed text without walking the whole list.
class NameList
{
public:
    NameList() = default;
    ~NameList();
    NameList(const NameList &) = delete;
    NameList &operator=(const NameList &) = delete;

    // Takes the names in the store's order; names that compare equal keep that order.
    void assign(QStringList names);
    void clear() { assign({}); }
    // Inserts at the sorted place and returns that position.
    int insert(const QString &name);
    void removeAt(int position);

    int size() const { return int(m_names.size()); }
    bool isEmpty() const { return m_names.isEmpty(); }
    const QString &at(int position) const { return m_names.at(position); }
    const QStringList &names() const { return m_names; }

    // First position, in list order, whose name starts with `prefix` compared in lower case;
    // -1 when none does. An empty prefix gives the first position of a non-empty list.
    int firstWithPrefix(const QString &prefix) const;
    // True when some name equals `name` ignoring letter case.
    bool containsIgnoringCase(const QString &name) const;

    // The list's order: true when `a` sorts before `b`.
    static bool sortsBefore(const QString &a, const QString &b);

private:
    struct LowerIndex
    {
        QStringList lower;            // lower-case forms, sorted
        std::vector<int> sourceOrder; // where each came from in the names given to assign()
    };
    static LowerIndex buildLowerIndex(const QStringList &names);
    // Waits for an index still being built and puts it in place.
    void finishIndex() const;
    void rebuildTree() const;
    int minPosition(int from, int to) const; // over m_byLower[from, to)
    // The range of m_byLower whose lower-case names start with `lowerPrefix`.
    std::pair<int, int> prefixRange(const QString &lowerPrefix) const;

    QStringList m_names;
    // The search index, completed on first use after assign().
    mutable QStringList m_lower;        // the lower-case forms of the names, sorted
    mutable std::vector<int> m_byLower; // the list position of each of them
    mutable std::vector<int> m_tree;    // minimum position over ranges of m_byLower
    mutable std::future<LowerIndex> m_pendingIndex;
    mutable std::vector<int> m_positionOfSource; // list position of each name given to assign()
};

QString lowerForSearch(const QString &text);

} // namespace zv
