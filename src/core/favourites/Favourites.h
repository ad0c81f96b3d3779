#pragma once

#include "core/favourites/FavouritesFile.h"

#include <QObject>
#include <QString>

#include <vector>

namespace zv {

class CatalogueSession;

// An entry shown in the favourites: its record and its name in the catalogue now.
struct Favourite
{
    QString table;
    qint64 rowId = -1;
    QString name;
};

// The entries the user marked, of every category. A mark follows its entry through the session
// (an edit, a move, an undo or redo that puts it back under another row id); it stays while its
// record is gone, unseen, so that an undo of the delete brings it back. Saved at each change.
class Favourites : public QObject
{
    Q_OBJECT

public:
    Favourites(CatalogueSession &session, QString cataloguePath, QObject *parent = nullptr);

    // True when the record `rowId` of `table`, named `name`, is marked.
    bool contains(const QString &table, qint64 rowId, const QString &name) const;
    // Marks the record, or takes its mark away; true when it is marked now.
    bool toggle(const QString &table, qint64 rowId, const QString &name);
    // The marked entries that are in the catalogue now, by category (in the selector's order),
    // then by name. Marks whose record is gone or renamed by another program are left out.
    std::vector<Favourite> present();
    // What the user should know: the file could not be saved, or was set aside as damaged.
    const QString &note() const { return m_saveFailure.isEmpty() ? m_setAside : m_saveFailure; }
    // Why the last change could not be saved, or an empty text.
    const QString &saveFailure() const { return m_saveFailure; }

signals:
    void changed();

private:
    void follow(const QString &fromTable, qint64 fromRowId, const QString &toTable, qint64 toRowId,
                const QString &name);
    std::vector<favourites::Mark>::iterator find(const QString &table, qint64 rowId);
    void save();

    CatalogueSession &m_session;
    QString m_cataloguePath;
    std::vector<favourites::Mark> m_marks;
    QString m_setAside;
    QString m_saveFailure;
};

} // namespace zv
