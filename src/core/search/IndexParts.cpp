#include "core/search/IndexParts.h"

#include "core/search/IndexLayout.h"
#include "core/search/XapianHeader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <utility>

namespace zv::search {

namespace {

std::string encoded(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString mergedPath(const QString &indexPath)
{
    return indexPath + QStringLiteral(".merged");
}

QString oldPath(const QString &indexPath)
{
    return indexPath + QStringLiteral(".old");
}

} // namespace

QString partsFolder(const QString &indexPath)
{
    return indexPath + QStringLiteral(".parts");
}

void removeLeftovers(const QString &indexPath)
{
    // Stopped between the two renames of a merge: the index kept is the one before it.
    if (!QFileInfo::exists(indexPath) && QFileInfo(oldPath(indexPath)).isDir())
        QDir().rename(oldPath(indexPath), indexPath);
    for (const QString &leftover : {mergedPath(indexPath), oldPath(indexPath), partsFolder(indexPath)})
        QDir(leftover).removeRecursively();
}

IndexParts::IndexParts(QString folder, int threads, std::atomic<qint64> &written)
    : m_folder(std::move(folder))
    , m_threads(std::max(1, threads))
    , m_written(written)
{
    QDir(m_folder).removeRecursively();
    QDir().mkpath(m_folder);
    for (int i = 0; i < m_threads; ++i)
        m_workers.emplace_back([this, i] { run(i); });
}

IndexParts::~IndexParts()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    QDir(m_folder).removeRecursively();
}

void IndexParts::add(const QString &table, std::vector<IndexRecord> records)
{
    m_count += qint64(records.size());
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return int(m_batches.size()) + m_working < m_threads; });
    m_batches.push_back({table, std::move(records)});
    m_wake.notify_all();
}

QStringList IndexParts::take()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_batches.empty() && m_working == 0; });
    m_closeRound = m_round + 1;
    m_closed = 0;
    m_wake.notify_all();
    m_wake.wait(lock, [this] { return m_closed == m_threads; });
    ++m_round;
    m_count = 0;
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    return std::exchange(m_parts, {});
}

void IndexParts::run(int thread)
{
    yieldToWindowThread();
    std::optional<Xapian::WritableDatabase> part;
    QString partPath;
    int round = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_batches.empty() || m_closeRound > round; });
        if (m_stop)
            return;
        if (m_batches.empty()) {
            // Closed, its writes on the disk, for the merge to read.
            try {
                if (part) {
                    part->commit_transaction();
                    part->commit();
                    part.reset();
                    m_parts << partPath;
                }
            } catch (const Xapian::Error &) {
                part.reset();
                if (!m_failure)
                    m_failure = std::current_exception();
            }
            round = m_closeRound;
            ++m_closed;
            m_wake.notify_all();
            continue;
        }
        Batch batch = std::move(m_batches.front());
        m_batches.pop_front();
        ++m_working;
        m_wake.notify_all();
        const bool failed = bool(m_failure);
        lock.unlock();
        if (!failed) {
            try {
                if (!part) {
                    partPath = m_folder + QStringLiteral("/%1-%2").arg(round).arg(thread);
                    // A part that does not reach the merge is thrown away: no sync of its own.
                    part.emplace(encoded(partPath), Xapian::DB_CREATE_OR_OVERWRITE | Xapian::DB_NO_SYNC);
                    part->begin_transaction(false);
                }
                for (const IndexRecord &record : batch.records)
                    part->add_document(
                        layout::makeDocument(batch.table, record.rowId, record.name, record.text, record.hash));
                m_written += qint64(batch.records.size());
            } catch (const Xapian::Error &) {
                part.reset();
                lock.lock();
                if (!m_failure)
                    m_failure = std::current_exception();
                lock.unlock();
            }
        }
        lock.lock();
        --m_working;
        m_wake.notify_all();
    }
}

void mergeParts(const QString &indexPath, const QStringList &parts, const std::vector<std::string> &duplicates)
{
    if (!duplicates.empty()) {
        for (const QString &path : parts) {
            Xapian::WritableDatabase part(encoded(path), Xapian::DB_OPEN | Xapian::DB_NO_SYNC);
            for (const std::string &term : duplicates)
                part.delete_document(term);
            part.commit();
        }
    }
    const QString merged = mergedPath(indexPath);
    QDir(merged).removeRecursively();
    {
        // The index first: its metadata (format, catalogue) is the merged one's.
        Xapian::Database all(encoded(indexPath));
        for (const QString &path : parts)
            all.add_database(Xapian::Database(encoded(path)));
        all.compact(encoded(merged));
    }
    const QString old = oldPath(indexPath);
    QDir(old).removeRecursively();
    if (!QDir().rename(indexPath, old))
        throw Xapian::DatabaseError("старый указатель не удалось убрать, чтобы поставить на его место собранный");
    if (!QDir().rename(merged, indexPath)) {
        QDir().rename(old, indexPath);
        throw Xapian::DatabaseError("собранный указатель не удалось поставить на место старого");
    }
    QDir(old).removeRecursively();
    for (const QString &path : parts)
        QDir(path).removeRecursively();
}

} // namespace zv::search
