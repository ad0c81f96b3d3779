#include "FakeListView.h"

#include "gui/APIandFunc.h"

#include <algorithm>

namespace zvtest {

FakeListView::FakeListView(QString displayName, QStringList names)
    : m_displayName(std::move(displayName))
    , m_names(std::move(names))
{
    std::sort(m_names.begin(), m_names.end());
}

bool FakeListView::listContainsName(const QString &name) const
{
    return ListContains(name, m_names);
}

void FakeListView::addListName(const QString &name)
{
    m_names.insert(std::lower_bound(m_names.begin(), m_names.end(), name), name);
}

} // namespace zvtest
