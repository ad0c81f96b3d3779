#include "core/favourites/Favourites.h"

#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"
#include "core/store/NameCollation.h"
#include "core/store/SqlStatement.h"

#include <algorithm>

namespace zv {

Favourites::Favourites(CatalogueSession &session, QString cataloguePath, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_cataloguePath(std::move(cataloguePath))
{
    favourites::Loaded loaded = favourites::loadFavourites(m_cataloguePath);
    m_marks = std::move(loaded.marks);
    if (!loaded.setAsideAs.isEmpty())
        m_setAside = QStringLiteral("Файл избранного был повреждён или чужой; он отложен как «") + loaded.setAsideAs +
                     QStringLiteral("», избранное начато заново.");
    connect(&session, &CatalogueSession::recordMoved, this, &Favourites::follow);
}

std::vector<favourites::Mark>::iterator Favourites::find(const QString &table, qint64 rowId)
{
    return std::find_if(m_marks.begin(), m_marks.end(),
                        [&](const favourites::Mark &mark) { return mark.rowId == rowId && mark.table == table; });
}

bool Favourites::contains(const QString &table, qint64 rowId, const QString &name) const
{
    return std::any_of(m_marks.cbegin(), m_marks.cend(), [&](const favourites::Mark &mark) {
        return mark.rowId == rowId && mark.table == table && mark.name == name;
    });
}

bool Favourites::toggle(const QString &table, qint64 rowId, const QString &name)
{
    const auto found = find(table, rowId);
    const bool marked = found == m_marks.end() || found->name != name;
    // A mark left by a deleted record whose row id this one took is replaced.
    if (found != m_marks.end())
        m_marks.erase(found);
    if (marked)
        m_marks.push_back({table, rowId, name});
    save();
    return marked;
}

void Favourites::follow(const QString &fromTable, qint64 fromRowId, const QString &toTable, qint64 toRowId,
                        const QString &name)
{
    const auto found = find(fromTable, fromRowId);
    if (found == m_marks.end())
        return;
    favourites::Mark mark{toTable, toRowId, name};
    m_marks.erase(found);
    // Whatever mark the landing place held belonged to a record that is no longer there.
    if (const auto taken = find(toTable, toRowId); taken != m_marks.end())
        m_marks.erase(taken);
    m_marks.push_back(std::move(mark));
    save();
}

std::vector<Favourite> Favourites::present()
{
    std::vector<Favourite> shown;
    const CatalogueConnection db = m_session.readingConnection();
    for (const Category &category : categories()) {
        if (!db->hasTable(category.table))
            continue;
        SqlStatement select(db->handle(), QStringLiteral("SELECT Name FROM ") + quotedName(category.table) +
                                              QStringLiteral(" WHERE rowid = ?1"));
        std::vector<Favourite> inCategory;
        for (const favourites::Mark &mark : m_marks) {
            if (mark.table != category.table)
                continue;
            select.reset();
            select.bind(1, mark.rowId);
            if (select.step() && !select.isNull(0) && select.text(0) == mark.name)
                inCategory.push_back({mark.table, mark.rowId, mark.name});
        }
        std::sort(inCategory.begin(), inCategory.end(),
                  [](const Favourite &a, const Favourite &b) { return collatesBefore(a.name, b.name); });
        shown.insert(shown.end(), inCategory.begin(), inCategory.end());
    }
    return shown;
}

void Favourites::save()
{
    m_saveFailure = favourites::saveFavourites(m_cataloguePath, m_marks);
    emit changed();
}

} // namespace zv
