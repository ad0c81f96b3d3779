#include "core/lists/SortedLists.h"

#include "core/lists/ListFile.h"
#include "core/store/Category.h"
#include "core/store/NameListModel.h"
#include "core/store/OwnCommits.h"

#include <QDir>

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
    std::map<QString, std::future<void>> writes;
    {
        std::lock_guard guard(m_lock);
        writes.swap(m_writes);
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
            catchUp(now);
            if (std::optional<NameColumns> sorted = mapList(fileOf(table), table, state)) {
                model.assignSorted(std::move(*sorted));
                return;
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
    catchUp(readCatalogueState(catalogue->handle(), m_cataloguePath));
}

void SortedLists::catchUp(const CatalogueState &now)
{
    if (!now.known())
        return;
    for (const QString &table : tableCreationOrder()) {
        {
            // A file being written is looked at once it is in place.
            std::lock_guard guard(m_lock);
            const auto writing = m_writes.find(table);
            if (writing != m_writes.end() &&
                writing->second.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                continue;
        }
        const QString path = fileOf(table);
        QByteArray state = stateOf(path);
        if (state.isEmpty() || state == now.text)
            continue;
        // Follow this program's own commits from the file's state while none changed the table.
        const QByteArray identity = state.left(state.indexOf('/'));
        while (state != now.text) {
            const int counterAt = state.indexOf('/') + 1;
            bool ok = false;
            const quint32 counter = state.mid(counterAt, 8).toUInt(&ok, 16);
            const std::optional<OwnCommit> commit = ok ? ownCommitAt(identity, counter) : std::nullopt;
            if (!commit || commit->tables.contains(table))
                break;
            state = commit->stateAfter;
        }
        if (state == now.text)
            restamp(path, state);
    }
}

void SortedLists::startWrite(const QString &table, std::shared_ptr<const NameList> names, const QByteArray &state)
{
    if (!QDir().mkpath(m_folder))
        return;
    std::lock_guard guard(m_lock);
    // One writer per file at a time: the newer waits for the older, so the newer lands last.
    std::shared_future<void> before;
    if (auto older = m_writes.find(table); older != m_writes.end())
        before = older->second.share();
    m_writes[table] = std::async(std::launch::async, [path = fileOf(table), table, names, state, before] {
        if (before.valid())
            before.wait();
        writeList(path, table, *names, state);
    });
}

} // namespace zv::lists
