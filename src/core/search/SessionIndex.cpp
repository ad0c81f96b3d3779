#include "core/search/SessionIndex.h"

#include "core/search/SearchIndex.h"
#include "core/session/CatalogueSession.h"

namespace zv::search {

SearchIndex *attachSearchIndex(CatalogueSession &session, const QString &cataloguePath)
{
    if (SearchIndex *index = searchIndexOf(session))
        return index;
    BuildOptions options;
    options.gate = session.backgroundGate();
    auto *index = new SearchIndex(cataloguePath, std::move(options), &session);
    QObject::connect(&session, &CatalogueSession::recordsChanged, index, &SearchIndex::entriesChanged);
    QObject::connect(&session, &CatalogueSession::recordsRemoved, index, &SearchIndex::entriesRemoved);
    QObject::connect(&session, &CatalogueSession::catalogueReplaced, index, &SearchIndex::catalogueReplaced);
    return index;
}

SearchIndex *searchIndexOf(const CatalogueSession &session)
{
    return session.findChild<SearchIndex *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace zv::search
