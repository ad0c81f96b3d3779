#include "core/lists/SortedLists.h"

#include "core/lists/ListFile.h"
#include "core/store/Category.h"
#include "core/store/NameListModel.h"
#include "core/store/OwnCommits.h"
#include "core/store/SqlStatement.h"

#include <QDir>

#include <algorithm>
#include <set>
#include <sqlite3.h>

namespace zv::lists {

namespace {

// A read transaction for the state and the names to agree; the catalogue is left as it was.
class Reading
{
public:
    explicit Reading(sqlite3 *db)
        : m_db(db)
        , m_begun(sqlite3_get_autocommit(db) != 0 && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK)
    {
    }
    ~Reading()
    {
        if (m_begun)
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

private:
    sqlite3 *m_db;
    bool m_begun;
};

} // namespace

SortedLists::SortedLists(QString cataloguePath)
    : m_cataloguePath(std::move(cataloguePath))
    , m_folder(folderOf(m_cataloguePath))
{
    // A write cut short (the program killed) leaves its temporary file; nothing else lives here.
    const QStringList tables = tableCreationOrder();
    QDir folder(m_folder);
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!tables.contains(name))
            folder.remove(name);
    }
}

SortedLists::~SortedLists()
{
    waitForWrites();
}

QString SortedLists::folderOf(const QString &cataloguePath)
{
    return cataloguePath + QStringLiteral(".lists");
}

QString SortedLists::fileOf(const QString &table) const
{
    return m_folder + QLatin1Char('/') + table;
}

void SortedLists::waitForWrites()
{
    std::map<QString, std::shared_future<void>> writes;
    {
        std::lock_guard guard(m_lock);
        writes = m_writes;
    }
    for (auto &write : writes)
        write.second.wait();
}

void SortedLists::load(const CatalogueConnection &catalogue, const QString &table, NameListModel &model)
{
    QByteArray state;
    {
        Reading reading(catalogue->handle());
        const CatalogueState now = readCatalogueState(catalogue->handle(), m_cataloguePath);
        if (now.known()) {
            state = now.text;
            catchUp(now, table);
            waitForWrite(table);
            if (std::optional<NameColumns> sorted = mapList(fileOf(table), table, state)) {
                model.assignSorted(std::move(*sorted));
                return;
            }
            // Carried over this program's own commits: restamped when they left its records alone,
            // else the file with the records they changed.
            std::optional<Delta> delta = deltaOf(table, now);
            if (delta && delta->changed.empty() && restamp(fileOf(table), state)) {
                if (std::optional<NameColumns> sorted = mapList(fileOf(table), table, state)) {
                    model.assignSorted(std::move(*sorted));
                    return;
                }
            } else if (delta) {
                if (std::optional<NameColumns> sorted = mapList(fileOf(table), table, delta->from)) {
                    model.assignSorted(std::move(*sorted));
                    model.removeRowIds(QList<qint64>(delta->changed.begin(), delta->changed.end()));
                    model.insert(model.names().prepareInsert(namesOf(catalogue, table, delta->changed)));
                    startWrite(table, model.snapshot(), state);
                    return;
                }
            }
        }
        model.assign(ListNameRows(catalogue, table));
    }
    if (!state.isEmpty())
        startWrite(table, model.snapshot(), state);
}

void SortedLists::catchUp(const CatalogueConnection &catalogue)
{
    Reading reading(catalogue->handle());
    catchUp(readCatalogueState(catalogue->handle(), m_cataloguePath), QString());
}

void SortedLists::waitForWrite(const QString &table)
{
    std::shared_future<void> write;
    {
        std::lock_guard guard(m_lock);
        write = writeOf(table);
    }
    if (write.valid())
        write.wait();
}

bool SortedLists::writing(const QString &table)
{
    std::lock_guard guard(m_lock);
    const auto write = m_writes.find(table);
    return write != m_writes.end() && write->second.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

std::optional<SortedLists::Delta> SortedLists::deltaOf(const QString &table, const CatalogueState &now)
{
    const QByteArray from = stateOf(fileOf(table));
    if (from.isEmpty())
        return std::nullopt;
    // Follow this program's own commits from the file's state to the state now.
    const QByteArray identity = from.left(from.indexOf('/'));
    std::set<qint64> changed;
    for (QByteArray state = from; state != now.text;) {
        bool ok = false;
        const quint32 counter = state.mid(state.indexOf('/') + 1, 8).toUInt(&ok, 16);
        const std::optional<OwnCommit> commit = ok ? ownCommitAt(identity, counter) : std::nullopt;
        if (!commit)
            return std::nullopt;
        if (commit->tables.contains(table)) {
            const auto rows = commit->rows.find(table);
            if (rows == commit->rows.end())
                return std::nullopt;
            changed.insert(rows->second.begin(), rows->second.end());
        }
        state = commit->stateAfter;
    }
    Delta delta;
    delta.from = from;
    delta.changed.assign(changed.begin(), changed.end());
    return delta;
}

NameRows SortedLists::namesOf(const CatalogueConnection &catalogue, const QString &table,
                              const std::vector<qint64> &rowIds)
{
    NameRows names;
    SqlStatement select(catalogue->handle(),
                        QStringLiteral("SELECT Name FROM ") + quotedName(table) + QStringLiteral(" WHERE rowid = ?1"));
    for (const qint64 rowId : rowIds) {
        select.bind(1, rowId);
        if (select.step() && !select.isNull(0))
            names.appendUtf8(select.utf8View(0), rowId);
        select.reset();
    }
    return names;
}

void SortedLists::catchUp(const CatalogueState &now, const QString &except)
{
    if (!now.known())
        return;
    for (const QString &table : tableCreationOrder()) {
        // A file being written is looked at once it is in place.
        if (table == except || writing(table))
            continue;
        const QString path = fileOf(table);
        const QByteArray state = stateOf(path);
        if (state.isEmpty() || state == now.text)
            continue;
        std::optional<Delta> delta = deltaOf(table, now);
        if (!delta)
            continue;
        // Untouched by the commits on the way: the file matches as it is.
        if (delta->changed.empty())
            restamp(path, now.text);
        else
            startPatch(table, std::move(*delta), now.text);
    }
}

std::shared_future<void> SortedLists::writeOf(const QString &table)
{
    const auto write = m_writes.find(table);
    return write != m_writes.end() ? write->second : std::shared_future<void>();
}

void SortedLists::startWrite(const QString &table, std::shared_ptr<const NameList> names, const QByteArray &state)
{
    if (!QDir().mkpath(m_folder))
        return;
    std::lock_guard guard(m_lock);
    // One writer per file at a time: the newer waits for the older, so the newer lands last.
    const std::shared_future<void> before = writeOf(table);
    m_writes[table] = std::async(std::launch::async, [path = fileOf(table), table, names, state, before] {
        if (before.valid())
            before.wait();
        writeList(path, table, *names, state);
    });
}

void SortedLists::startPatch(const QString &table, Delta delta, const QByteArray &state)
{
    std::lock_guard guard(m_lock);
    const std::shared_future<void> before = writeOf(table);
    // The changed records are read on the worker too, through a connection of its own, so a large
    // change never holds up the window; only at the state the patch is for.
    m_writes[table] = std::async(std::launch::async, [catalogue = m_cataloguePath, path = fileOf(table), table,
                                                      delta = std::move(delta), state, before] {
        if (before.valid())
            before.wait();
        try {
            const CatalogueConnection db = openCatalogue(catalogue);
            NameRows now;
            {
                Reading reading(db->handle());
                if (readCatalogueState(db->handle(), catalogue).text != state)
                    return;
                now = namesOf(db, table, delta.changed);
            }
            std::optional<NameColumns> sorted = mapList(path, table, delta.from);
            if (!sorted)
                return;
            NameList list;
            list.assignSorted(std::move(*sorted));
            std::vector<int> positions;
            for (int p = 0; p < list.size(); ++p) {
                if (std::binary_search(delta.changed.begin(), delta.changed.end(), list.rowIdAt(p)))
                    positions.push_back(p);
            }
            list.removeAt(positions);
            list.apply(list.prepareInsert(std::move(now)));
            writeList(path, table, list, state);
        } catch (const CatalogueError &) {
            // The file stays as it was; the next showing reads the names from the catalogue.
        }
    });
}

} // namespace zv::lists
