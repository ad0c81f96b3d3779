#pragma once

#include "core/store/CatalogueStore.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class NameListModel;

namespace zv {
struct CatalogueState;
}

namespace zv::lists {

// The sorted list of each category kept beside the catalogue, in the folder
// "Zorvanell.dat.lists", one file per category, so that a category of a million entries is
// shown by mapping its file rather than by reading and sorting every name.
//
// A file is derived: it is used only when it is whole and says it matches the catalogue's state
// now (SQLite's change counter and the rest of the file header, see OwnCommits.h), and otherwise
// the names are read from the catalogue as before and the file made anew in the background from
// what was read. Over commits of this program's own a file is carried: when they changed no
// record of its category it is restamped, else written anew from itself with the records they
// changed read again. Anything else (the sqlite3 shell, a copy put in place) matches nothing,
// and every file is made anew. A catalogue in WAL mode, whose counter is not kept up, is always
// read from the catalogue.
class SortedLists
{
public:
    explicit SortedLists(QString cataloguePath);
    ~SortedLists(); // waits for the files being written
    SortedLists(const SortedLists &) = delete;
    SortedLists &operator=(const SortedLists &) = delete;

    static QString folderOf(const QString &cataloguePath);
    QString fileOf(const QString &table) const;

    // Fills `model` with the names of `table` as the catalogue holds them now.
    // Throws CatalogueError as ListNameRows does.
    void load(const CatalogueConnection &catalogue, const QString &table, NameListModel &model);
    // Restamps the files that this program's commits since their state left matching.
    void catchUp(const CatalogueConnection &catalogue);
    // Waits for the files being written (tests, benchmarks).
    void waitForWrites();

private:
    // What a file of an earlier state lacks: the records this program's own commits changed since.
    struct Delta
    {
        QByteArray from;
        std::vector<qint64> changed; // ascending
    };
    // The delta of the file of `table` up to `now`; none when a commit on the way was not this
    // program's, or changed too many records to list.
    std::optional<Delta> deltaOf(const QString &table, const CatalogueState &now);
    // All files but that of `except`, which the caller loads.
    void catchUp(const CatalogueState &now, const QString &except);
    // The names of those of `rowIds` still in `table`.
    static NameRows namesOf(const CatalogueConnection &catalogue, const QString &table,
                            const std::vector<qint64> &rowIds);
    void startWrite(const QString &table, std::shared_ptr<const NameList> names, const QByteArray &state);
    // Writes the file of `table` anew from its present file and `delta`.
    void startPatch(const QString &table, Delta delta, const QByteArray &state);
    bool writing(const QString &table);
    void waitForWrite(const QString &table);
    std::shared_future<void> writeOf(const QString &table);

    QString m_cataloguePath;
    QString m_folder;
    std::mutex m_lock;
    std::map<QString, std::shared_future<void>> m_writes; // by table
};

} // namespace zv::lists
