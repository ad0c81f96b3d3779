#pragma once

#include <QString>

namespace zv {
class CatalogueSession;
}

namespace zv::search {

class SearchIndex;

// The full-text index that follows a session: made once per session, as its child, it takes
// in every record the session adds, edits, moves or removes, in the same user action.
SearchIndex *attachSearchIndex(CatalogueSession &session, const QString &cataloguePath);
// The session's index, or none when none was attached.
SearchIndex *searchIndexOf(const CatalogueSession &session);

} // namespace zv::search
