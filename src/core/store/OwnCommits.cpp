#include "core/store/OwnCommits.h"

#include "core/search/CatalogueFingerprint.h"

#include <QFile>

#include <cstring>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>

namespace zv {

namespace {

// Enough for every commit of a long session; an older one missing only costs a rebuilt list.
constexpr size_t kKeptCommits = 4096;

// Beyond this many records of one table a commit's list of them is dropped: the table's list is
// read from the catalogue again rather than patched.
constexpr size_t kListedRows = 200000;

struct Ledger
{
    std::mutex lock;
    std::map<std::pair<QByteArray, quint32>, OwnCommit> commits;
    // The records changed through each connection (by its set of tables) since its last commit.
    std::map<const void *, std::map<QString, std::vector<qint64>>> pending;
};

Ledger &ledger()
{
    static Ledger instance;
    return instance;
}

std::optional<quint32> counterOnDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(28);
    if (head.size() < 28)
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData()) + 24;
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | quint32(bytes[3]);
}

void noteChangedTable(void *tables, int, const char *database, const char *table, sqlite3_int64 rowId)
{
    if (std::strcmp(database, "main") != 0)
        return;
    const QString name = QString::fromUtf8(table);
    static_cast<QSet<QString> *>(tables)->insert(name);
    Ledger &l = ledger();
    std::lock_guard guard(l.lock);
    std::vector<qint64> &rows = l.pending[tables][name];
    if (rows.size() <= kListedRows)
        rows.push_back(rowId);
}

} // namespace

CatalogueState readCatalogueState(sqlite3 *db, const QString &path)
{
    const search::CatalogueFingerprint fingerprint = search::readFingerprint(db, path);
    CatalogueState state;
    state.identity = fingerprint.identity;
    if (fingerprint.state.isEmpty() || fingerprint.identity.isEmpty())
        return state;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return state;
    // The counter is the first field of the fingerprint's state.
    bool ok = false;
    state.counter = fingerprint.state.left(8).toUInt(&ok, 16);
    if (!ok)
        return state;
    // The time too: a copy put over the file in place (the same inode) at an equal counter still differs.
    state.text = fingerprint.identity + '/' + fingerprint.state + '/' +
                 QByteArray::number(qint64(info.st_mtim.tv_sec)) + '.' +
                 QByteArray::number(qint64(info.st_mtim.tv_nsec));
    return state;
}

std::optional<OwnCommit> ownCommitAt(const QByteArray &identity, quint32 counter)
{
    Ledger &l = ledger();
    std::lock_guard guard(l.lock);
    const auto found = l.commits.find({identity, counter});
    if (found == l.commits.end())
        return std::nullopt;
    return found->second;
}

CommitWitness::CommitWitness(sqlite3 *db, const QString &path, const QSet<QString> &tables)
    : m_db(db)
    , m_path(path)
    , m_tables(tables)
{
    // Inside the write transaction nobody else can commit: the counter on disk is the one before ours.
    m_counterBefore = counterOnDisk(m_path);
    {
        Ledger &l = ledger();
        std::lock_guard guard(l.lock);
        // Rows of a transaction rolled back may be among them: they are only looked at again.
        if (auto found = l.pending.find(&tables); found != l.pending.end()) {
            for (auto &[table, rows] : found->second) {
                if (rows.size() <= kListedRows)
                    m_rows[table] = std::move(rows);
            }
            l.pending.erase(found);
        }
    }
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_path).constData(), &info) == 0)
        m_identity = QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino));
    // A read left open across COMMIT keeps the shared lock: the file stays as our commit left it.
    if (sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master", -1, &m_reading, nullptr) != SQLITE_OK ||
        sqlite3_step(m_reading) != SQLITE_ROW) {
        sqlite3_finalize(m_reading);
        m_reading = nullptr;
    }
}

CommitWitness::~CommitWitness()
{
    sqlite3_finalize(m_reading);
}

void CommitWitness::committed()
{
    if (!m_reading || !m_counterBefore || m_identity.isEmpty())
        return;
    const CatalogueState after = readCatalogueState(m_db, m_path);
    sqlite3_finalize(m_reading);
    m_reading = nullptr;
    // Only a commit that raised the counter by one, and so was ours alone, is recorded.
    if (!after.known() || after.identity != m_identity || after.counter != *m_counterBefore + 1)
        return;
    Ledger &l = ledger();
    std::lock_guard guard(l.lock);
    if (l.commits.size() >= kKeptCommits)
        l.commits.erase(l.commits.begin());
    l.commits[{m_identity, *m_counterBefore}] = OwnCommit{*m_counterBefore, after.text, m_tables, std::move(m_rows)};
}

void watchChangedTables(sqlite3 *db, QSet<QString> *tables)
{
    sqlite3_update_hook(db, noteChangedTable, tables);
}

} // namespace zv
