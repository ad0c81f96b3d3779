#include "core/lists/SortedLists.h"
#include "core/session/CatalogueSession.h"

#include <QTimer>

namespace zv {

void CatalogueSession::followOwnChanges()
{
    // Once the change is done and the event loop runs again: the files of the categories it did
    // not touch are restamped, so the next start or switch still finds them current.
    auto *pending = new QTimer(this);
    pending->setSingleShot(true);
    pending->setInterval(0);
    connect(pending, &QTimer::timeout, this, [this] {
        try {
            m_lists->catchUp(connection());
        } catch (const CatalogueError &) {
            // The files stay as they are; a file that no longer matches is only made anew.
        }
    });
    auto later = [pending] { pending->start(); };
    connect(this, &CatalogueSession::recordsChanged, pending, later);
    connect(this, &CatalogueSession::recordsRemoved, pending, later);
    connect(this, &CatalogueSession::historyChanged, pending, later);
}

} // namespace zv
