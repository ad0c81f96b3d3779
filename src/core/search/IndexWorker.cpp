#include "core/search/IndexWorker.h"

#include "core/BackgroundGate.h"
#include "core/search/CatalogueFingerprint.h"
#include "core/search/DocumentMaker.h"
#include "core/search/IndexLayout.h"
#include "core/search/IndexParts.h"
#include "core/search/XapianHeader.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/store/SqlStatement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <malloc.h>
#include <mutex>
#include <optional>
#include <unordered_set>

namespace zv::search {

namespace {

// Enough work per commit that commits stay a small part of a build, little enough that a search
// during the build soon sees new entries and the buffered changes stay small.
constexpr int kCommitEvery = 20000;
constexpr qint64 kCommitAfterMs = 2000;
constexpr int kRowsPerRead = 1000;
// Xapian keeps the postings of the changes it has not flushed in trees that every new posting
// walks; flushed every thousand documents they stay in the processor's cache, and a build
// costs a third less than at Xapian's default of ten thousand. Commits still come at the
// points above: in between, the flushes stay inside one transaction.
constexpr char kFlushThreshold[] = "1000";
// How long the build waits for the gate at a time before it looks whether it is to stop.
constexpr int kGateWaitMs = 100;

// Xapian reads its flush threshold from the environment when an index is opened for writing.
// Set once, from the thread that makes the first index, before the index's own thread starts;
// a threshold the user set stays.
void setFlushThreshold()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!qEnvironmentVariableIsSet("XAPIAN_FLUSH_THRESHOLD"))
            qputenv("XAPIAN_FLUSH_THRESHOLD", kFlushThreshold);
    });
}

struct Known
{
    qint64 rowId;
    quint64 hash;
};

// Why the index cannot be written, when the reason is its folder (or, while there is none yet,
// the folder it is to be made in) refusing new files; empty otherwise. Tried with a real file:
// permissions alone tell nothing for root or on a read-only mount.
QString unwritableFolder(const QString &indexPath)
{
    const QFileInfo index(indexPath);
    const bool inside = index.isDir();
    const QString folder = inside ? index.absoluteFilePath() : index.absolutePath();
    QTemporaryFile probe(folder + QStringLiteral("/.zv-probe"));
    if (probe.open())
        return QString();
    const QString where = QDir::toNativeSeparators(folder);
    return (inside ? QStringLiteral("в папку указателя «%1» нельзя записывать").arg(where)
                   : QStringLiteral("в папку «%1» нельзя записывать, и указатель «%2» в ней не создать")
                         .arg(where, index.fileName())) +
           QStringLiteral(". Поиск выключен, пока запись в неё не разрешат и программу не запустят снова");
}

} // namespace

// One opening of the index, from the check or build to the stop.
struct IndexWorker::Run
{
    explicit Run(IndexWorker &worker)
        : worker(worker)
    {
    }

    IndexWorker &worker;
    CatalogueConnection catalogue;
    std::optional<Xapian::WritableDatabase> db;
    CatalogueFingerprint fingerprint;
    int pending = 0;
    QElapsedTimer sinceCommit;
    bool jobsDuringBuild = false;
    quint64 applied = 0; // the serial of the last job put in the index
    bool reopen = false; // the run ended to open the catalogue anew, keeping the index
    bool inTransaction = false;
    // While a batch read from `levelling` waits to be written: the records the jobs put in
    // since, as they are now; the batch's older copies of them are left out.
    QString levelling;
    std::unordered_set<qint64> touchedSinceRead;
    // A first build's parts, and the id terms of the records the jobs put in while there were
    // parts: the index holds those as they are now, the parts perhaps older copies.
    std::unique_ptr<IndexParts> parts;
    std::vector<std::string> touchedWhileInParts;

    bool stopping()
    {
        std::lock_guard lock(worker.m_mutex);
        return worker.m_stop;
    }

    void setState(State state)
    {
        worker.m_state = state;
        worker.m_notify(false);
    }

    // Opens the index when it is ours and of this catalogue; otherwise (or when it is damaged)
    // makes a new one in its place.
    void openIndex()
    {
        const std::string path = QFile::encodeName(worker.m_indexPath).toStdString();
        auto tryOpen = [&]() -> bool {
            const QFileInfo info(worker.m_indexPath);
            if ((info.exists() || info.isSymLink()) && (info.isSymLink() || !info.isDir()))
                QFile::remove(worker.m_indexPath);
            db.emplace(path, Xapian::DB_CREATE_OR_OPEN);
            const std::string format = db->get_metadata(layout::kFormatKey);
            if (format.empty() && db->get_doccount() == 0) {
                db->set_metadata(layout::kFormatKey, layout::kFormat);
                db->set_metadata(layout::kCatalogueKey, fingerprint.identity.toStdString());
                db->commit();
                return true;
            }
            return format == layout::kFormat &&
                   db->get_metadata(layout::kCatalogueKey) == fingerprint.identity.toStdString();
        };
        try {
            if (tryOpen())
                return;
        } catch (const Xapian::DatabaseLockError &) {
            throw; // another copy of the program keeps it
        } catch (const Xapian::Error &) {
        }
        db.reset();
        QDir(worker.m_indexPath).removeRecursively();
        if (!tryOpen())
            throw Xapian::DatabaseCreateError("the new index is not ours");
    }

    // Xapian flushes what it holds every kFlushThreshold documents; inside a transaction that
    // is not yet a commit, which comes only from commit() below.
    void beginTransaction()
    {
        db->begin_transaction(false);
        inTransaction = true;
    }

    void commitNow()
    {
        if (inTransaction)
            db->commit_transaction();
        inTransaction = false;
        db->commit();
        beginTransaction();
    }

    void commit(bool force = false)
    {
        if (!force && pending < kCommitEvery && sinceCommit.elapsed() < kCommitAfterMs)
            return;
        commitNow();
        pending = 0;
        worker.m_committed = std::max(worker.m_committed.load(), applied);
        sinceCommit.restart();
        worker.m_notify(true);
    }

    void put(const QString &table, qint64 rowId, const QString &name, const QString &text, quint64 hash)
    {
        db->replace_document(layout::idTerm(table, rowId), layout::makeDocument(table, rowId, name, text, hash));
        ++pending;
    }

    void drop(const QString &table, qint64 rowId)
    {
        db->delete_document(layout::idTerm(table, rowId));
        ++pending;
    }

    // Reads the records again and puts them in the index as they are now.
    void refresh(const QString &table, const QList<qint64> &rowIds)
    {
        if (!catalogue->hasTable(table)) {
            for (qint64 rowId : rowIds)
                drop(table, rowId);
            return;
        }
        SqlStatement select(catalogue->handle(), QStringLiteral("SELECT Name, Ref FROM ") + quotedName(table) +
                                                     QStringLiteral(" WHERE rowid = ?1 AND Name IS NOT NULL"));
        for (qint64 rowId : rowIds) {
            select.bind(1, rowId);
            if (select.step()) {
                const quint64 hash = layout::recordHash(select.utf8View(0), select.utf8View(1));
                put(table, rowId, select.text(0), select.text(1), hash);
            } else {
                drop(table, rowId);
            }
            select.reset();
        }
    }

    // Applies what was handed over; false when a rebuild was asked for.
    bool applyJobs()
    {
        std::deque<Job> jobs;
        {
            std::lock_guard lock(worker.m_mutex);
            jobs.swap(worker.m_jobs);
        }
        for (const Job &job : jobs) {
            if (job.kind == Job::Rebuild)
                return false;
            if (job.kind == Job::Reopen) {
                reopen = true;
                return false;
            }
            if (job.kind == Job::Changed)
                refresh(job.table, job.rowIds);
            else
                for (qint64 rowId : job.rowIds)
                    drop(job.table, rowId);
            if (job.table == levelling)
                touchedSinceRead.insert(job.rowIds.cbegin(), job.rowIds.cend());
            if (parts) {
                for (qint64 rowId : job.rowIds)
                    touchedWhileInParts.push_back(layout::idTerm(job.table, rowId));
            }
            applied = std::max(applied, job.serial);
        }
        jobsDuringBuild = jobsDuringBuild || !jobs.empty();
        return true;
    }

    std::vector<Known> knownRecords(const std::string &tableTerm)
    {
        std::vector<Known> known;
        Xapian::ValueIterator rowIds = db->valuestream_begin(layout::kRowIdSlot);
        Xapian::ValueIterator hashes = db->valuestream_begin(layout::kHashSlot);
        const Xapian::ValueIterator end = db->valuestream_end(layout::kRowIdSlot);
        for (Xapian::PostingIterator it = db->postlist_begin(tableTerm); it != db->postlist_end(tableTerm); ++it) {
            rowIds.skip_to(*it);
            hashes.skip_to(*it);
            if (rowIds == end || rowIds.get_docid() != *it || hashes == end || hashes.get_docid() != *it)
                continue;
            quint64 hash = 0;
            const std::string bytes = *hashes;
            if (bytes.size() == sizeof hash)
                std::memcpy(&hash, bytes.data(), sizeof hash);
            known.push_back({qint64(Xapian::sortable_unserialise(*rowIds)), hash});
        }
        std::sort(known.begin(), known.end(), [](const Known &a, const Known &b) { return a.rowId < b.rowId; });
        return known;
    }

    qint64 countRecords()
    {
        qint64 count = 0;
        for (const QString &table : tableCreationOrder()) {
            if (!catalogue->hasTable(table))
                continue;
            SqlStatement select(catalogue->handle(), QStringLiteral("SELECT count(*) FROM ") + quotedName(table));
            if (select.step())
                count += select.integer(0);
        }
        return count;
    }

    // Waits while the user's work holds the gate; false when the worker is to stop.
    bool waitForGate()
    {
        const auto &gate = worker.m_options.gate;
        while (gate && !gate->waitUntilFree(kGateWaitMs)) {
            if (stopping())
                return false;
        }
        return true;
    }

    // Puts in the documents the maker made, but not those the jobs put in since they were read.
    void putMade(const QString &table, DocumentMaker &maker)
    {
        for (auto &[record, document] : maker.take()) {
            if (touchedSinceRead.count(record.rowId) == 0) {
                db->replace_document(layout::idTerm(table, record.rowId), document);
                ++pending;
            }
        }
        touchedSinceRead.clear();
    }

    // Takes the parts written so far into the index, which is closed meanwhile and opened again.
    // false: the worker is to stop (the parts are then thrown away).
    bool mergeParts()
    {
        if (!parts)
            return true;
        const QStringList taken = parts->take();
        if (taken.isEmpty())
            return true;
        // The merge rewrites the whole index: the user's work goes first, as before a read.
        if (!waitForGate())
            return false;
        commitNow();
        db->commit_transaction();
        inTransaction = false;
        db.reset();
        // Kept until the build ends: a record touched now may be read into a later part.
        search::mergeParts(worker.m_indexPath, taken, touchedWhileInParts);
        openIndex();
        beginTransaction();
        // Readers open the merged index anew rather than follow the one they had.
        ++worker.m_generation;
        worker.m_committed = std::max(worker.m_committed.load(), applied);
        worker.m_notify(true);
        return true;
    }

    // Brings one table's part of the index level with the table, reading the table in short
    // reads so that the program's own writes never wait long for this reader. The words of
    // one read are made while the read before is written.
    bool levelTable(const QString &table, DocumentMaker &maker)
    {
        const std::string term = layout::tableTerm(table);
        const std::vector<Known> known = knownRecords(term);
        size_t next = 0;
        levelling = table;
        touchedSinceRead.clear();
        // None of the table's records in the index yet: they are written in parts, merged later.
        if (known.empty() && !parts && worker.m_options.inParts)
            parts = std::make_unique<IndexParts>(partsFolder(worker.m_indexPath), worker.m_options.twoThreads ? 2 : 1,
                                                 worker.m_done);
        IndexParts *const into = known.empty() ? parts.get() : nullptr; // null: written here
        if (catalogue->hasTable(table)) {
            SqlStatement select(catalogue->handle(),
                                QStringLiteral("SELECT rowid, Name, Ref FROM ") + quotedName(table) +
                                    QStringLiteral(" WHERE rowid > ?1 AND Name IS NOT NULL ORDER BY rowid LIMIT ") +
                                    QString::number(kRowsPerRead));
            qint64 last = std::numeric_limits<qint64>::min();
            for (;;) {
                if (!waitForGate())
                    return false;
                // Only what changed is kept for the words; the read ends before they are made.
                std::vector<IndexRecord> changed;
                qint64 read = 0;
                select.bind(1, last);
                while (select.step()) {
                    ++read;
                    last = select.integer(0);
                    const quint64 hash = layout::recordHash(select.utf8View(1), select.utf8View(2));
                    while (next < known.size() && known[next].rowId < last)
                        drop(table, known[next++].rowId);
                    const bool same = next < known.size() && known[next].rowId == last && known[next].hash == hash;
                    if (next < known.size() && known[next].rowId == last)
                        ++next;
                    if (!same)
                        changed.push_back({last, hash, select.text(1), select.text(2)});
                }
                select.reset();
                if (maker.started())
                    putMade(table, maker);
                if (read == 0)
                    break;
                // Those given to the parts count as done once written there.
                const qint64 handed = into ? qint64(changed.size()) : 0;
                if (into && !changed.empty())
                    into->add(table, std::move(changed));
                else if (!changed.empty())
                    maker.start(table, std::move(changed));
                if (into && into->count() >= worker.m_options.mergeEvery && !mergeParts())
                    return false;
                worker.m_done += read - handed;
                worker.m_read += read;
                if (!applyJobs() || stopping())
                    return false;
                const int before = pending;
                commit();
                if (pending == before)
                    worker.m_notify(false);
            }
        }
        while (next < known.size())
            drop(table, known[next++].rowId);
        levelling.clear();
        return true;
    }

    // Makes the index match the catalogue; false when stopped or a rebuild was asked for.
    bool level()
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const CatalogueFingerprint before = readFingerprint(catalogue->handle(), catalogue->path());
            {
                // Whatever was handed over before this reading of the catalogue is in it.
                std::lock_guard lock(worker.m_mutex);
                applied = std::max(applied, worker.m_posted);
            }
            worker.m_done = 0;
            worker.m_total = countRecords();
            setState(Building);
            jobsDuringBuild = false;
            DocumentMaker maker(worker.m_options.twoThreads);
            for (const QString &table : tableCreationOrder()) {
                if (!levelTable(table, maker))
                    return false;
            }
            if (!mergeParts())
                return false;
            if (parts) {
                parts.reset();
                touchedWhileInParts.clear();
                // The parts' threads and the merge leave their freed memory with the allocator.
                malloc_trim(0);
            }
            fingerprint = readFingerprint(catalogue->handle(), catalogue->path());
            // Changed meanwhile, and not by this program: look again.
            if (fingerprint.state != before.state && !jobsDuringBuild && attempt < 2)
                continue;
            db->set_metadata(layout::kFingerprintKey, fingerprint.state.toStdString());
            commit(true);
            return true;
        }
        return true;
    }

    // false: rebuild.
    bool serve()
    {
        for (;;) {
            {
                std::unique_lock lock(worker.m_mutex);
                worker.m_busy = false;
                worker.m_idleChanged.notify_all();
                worker.m_wake.wait(lock, [&] { return worker.m_stop || !worker.m_jobs.empty(); });
                if (worker.m_stop)
                    return true;
                worker.m_busy = true;
            }
            if (!applyJobs())
                return false;
            fingerprint = readFingerprint(catalogue->handle(), catalogue->path());
            db->set_metadata(layout::kFingerprintKey, fingerprint.state.toStdString());
            worker.m_done = worker.m_total = qint64(db->get_doccount());
            commit(true);
        }
    }

    // false: the index was thrown away and is to be made again.
    bool go()
    {
        sinceCommit.start();
        catalogue = openCatalogue(worker.m_cataloguePath);
        fingerprint = readFingerprint(catalogue->handle(), catalogue->path());
        removeLeftovers(worker.m_indexPath);
        openIndex();
        beginTransaction();
        const std::string stored = db->get_metadata(layout::kFingerprintKey);
        if (fingerprint.state.isEmpty() || stored != fingerprint.state.toStdString()) {
            if (!level())
                return stopping();
        }
        worker.m_done = worker.m_total = qint64(db->get_doccount());
        setState(Ready);
        return serve();
    }
};

IndexWorker::IndexWorker(QString cataloguePath, QString indexPath, std::function<void(bool committed)> notify,
                         BuildOptions options)
    : m_cataloguePath(std::move(cataloguePath))
    , m_indexPath(std::move(indexPath))
    , m_notify(std::move(notify))
    , m_options(std::move(options))
{
    setFlushThreshold();
    m_thread = std::thread([this] { run(); });
}

IndexWorker::~IndexWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void IndexWorker::run()
{
    yieldToWindowThread();
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool again = false;
        try {
            Run run(*this);
            again = !run.go();
            if (run.db) {
                // What was done so far counts at the next start too.
                run.commitNow();
            }
            if (again) {
                run.db.reset();
                if (run.reopen)
                    --attempt; // not a failure: a restored catalogue, taken in from the index kept
                else
                    QDir(m_indexPath).removeRecursively();
            }
        } catch (const Xapian::DatabaseLockError &) {
            // Xapian says the same when it cannot make its lock file.
            const QString unwritable = unwritableFolder(m_indexPath);
            std::lock_guard lock(m_mutex);
            m_problem = unwritable.isEmpty() ? QStringLiteral("указатель занят другой копией программы") : unwritable;
        } catch (const Xapian::DatabaseCorruptError &) {
            QDir(m_indexPath).removeRecursively();
            again = true;
        } catch (const Xapian::Error &e) {
            const QString unwritable = unwritableFolder(m_indexPath);
            std::lock_guard lock(m_mutex);
            m_problem =
                !unwritable.isEmpty()
                    ? unwritable
                    : QStringLiteral("указатель не открывается (%1)").arg(QString::fromStdString(e.get_description()));
        } catch (const CatalogueError &e) {
            std::lock_guard lock(m_mutex);
            m_problem = e.message();
        }
        if (!again)
            break;
        std::lock_guard lock(m_mutex);
        if (m_stop)
            break;
        m_jobs.clear();
    }
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
        m_jobs.clear();
        if (!m_stop)
            m_state = Unavailable;
    }
    m_idleChanged.notify_all();
    m_notify(false);
    // Without an index there is nothing to apply; changes handed over meanwhile are dropped.
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [&] {
        m_jobs.clear();
        return m_stop;
    });
}

void IndexWorker::post(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == Unavailable)
            return;
        job.serial = ++m_posted;
        m_jobs.push_back(std::move(job));
        m_busy = true;
    }
    m_wake.notify_all();
}

void IndexWorker::entriesChanged(const QString &table, const QList<qint64> &rowIds)
{
    post({Job::Changed, table, rowIds});
}

void IndexWorker::entriesRemoved(const QString &table, const QList<qint64> &rowIds)
{
    post({Job::Removed, table, rowIds});
}

void IndexWorker::rebuild()
{
    post({Job::Rebuild, QString(), {}});
}

void IndexWorker::reopen()
{
    post({Job::Reopen, QString(), {}});
}

bool IndexWorker::waitForIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_idleChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !m_busy && m_jobs.empty(); });
}

bool IndexWorker::changesPending() const
{
    std::lock_guard lock(m_mutex);
    return m_state != Unavailable && m_committed < m_posted;
}

QString IndexWorker::problem() const
{
    std::lock_guard lock(m_mutex);
    return m_problem;
}

} // namespace zv::search
