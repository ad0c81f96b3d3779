#include "core/search/SearchIndex.h"

#include "core/search/IndexLayout.h"
#include "core/search/IndexWorker.h"
#include "core/search/XapianHeader.h"
#include "core/store/CatalogueStore.h"
#include "core/store/SqlStatement.h"
#include "core/store/TextStart.h"

#include <QFile>
#include <QLocale>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zv::search {

namespace {

// A phrase is checked against the entry's text: at most this many candidates per search, and
// once a page of results is confirmed, no more than the sample its count is estimated from.
constexpr int kPhraseChecks = 1000;
constexpr int kPhraseSample = 250;
// Nor more texts than this many characters in all (each text's first kTextScope bytes): a few
// texts of megabytes among the candidates cost what a thousand short ones do.
constexpr qint64 kPhraseChars = 500000;
// Counts up to this are exact.
constexpr int kCountExactly = 1000;

QString unavailableText(const QString &problem)
{
    return QStringLiteral("Поиск по описаниям недоступен") +
           (problem.isEmpty() ? QString() : QStringLiteral(": ") + problem);
}

} // namespace

struct SearchIndex::Worker : IndexWorker
{
    using IndexWorker::IndexWorker;
};

// Reads the index and the catalogue for searches, on one thread: each thread that searches
// has its own.
struct SearchIndex::Reader
{
    QString cataloguePath;
    QString indexPath;
    IndexWorker &worker;
    std::optional<Xapian::Database> db;
    quint64 generation = 0; // the worker's, when `db` was opened
    CatalogueConnection catalogue;
    std::map<QString, std::unique_ptr<TextStartReader>> texts; // one per table

    Reader(const QString &cataloguePath, IndexWorker &worker)
        : cataloguePath(cataloguePath)
        , indexPath(indexPathFor(cataloguePath))
        , worker(worker)
    {
    }

    bool open()
    {
        if (const quint64 now = worker.generation(); now != generation) {
            db.reset();
            generation = now;
        }
        try {
            if (db)
                db->reopen();
            else
                db.emplace(QFile::encodeName(indexPath).toStdString());
            return true;
        } catch (const Xapian::Error &) {
            // Made anew since: open that one.
            db.reset();
        }
        try {
            db.emplace(QFile::encodeName(indexPath).toStdString());
            return true;
        } catch (const Xapian::Error &) {
            db.reset();
            return false;
        }
    }

    void openCatalogue()
    {
        if (!catalogue)
            catalogue = zv::openCatalogue(cataloguePath);
    }

    // The record as the catalogue holds it now, its text up to kTextScope; none when it is gone.
    std::optional<TextStartReader::Record> read(const QString &table, qint64 rowId)
    {
        if (!catalogue->hasTable(table))
            return std::nullopt;
        std::unique_ptr<TextStartReader> &reader = texts[table];
        if (!reader)
            reader = std::make_unique<TextStartReader>(catalogue->handle(), table);
        return reader->read(rowId, kTextScope);
    }

    // Holds no read of the catalogue open between searches.
    void release()
    {
        for (auto &[table, reader] : texts)
            reader->release();
    }

    SearchResults search(const QString &text, const QString &table, int limit, const std::function<bool()> &givenUp);
};

SearchResults SearchIndex::Reader::search(const QString &text, const QString &table, int limit,
                                          const std::function<bool()> &givenUp)
{
    SearchResults results;
    const ParsedQuery query = parseQuery(text);
    results.message = query.message;
    if (query.isEmpty())
        return results;
    if (worker.state() == IndexWorker::Unavailable) {
        results.message = unavailableText(worker.problem()) + QLatin1Char('.');
        return results;
    }
    results.incomplete = worker.state() != IndexWorker::Ready;
    if (!open()) {
        results.message = QStringLiteral("Указатель ещё не готов, попробуйте через несколько секунд.");
        return results;
    }
    try {
        openCatalogue();
    } catch (const CatalogueError &e) {
        results.message = e.message();
        return results;
    }
    std::vector<std::vector<std::string>> phrases;
    for (const QueryClause &clause : query.clauses) {
        if (clause.kind == QueryClause::Kind::Phrase)
            phrases.push_back(clause.terms);
    }
    try {
        QueryMatcher matcher(query);
        qint64 phraseChars = 0; // read to check the order of phrases' words
        Xapian::Enquire enquire(*db);
        enquire.set_query(layout::makeQuery(query, table));
        auto take = [&](const Xapian::MSetIterator &it) -> bool {
            const Xapian::Document document = it.get_document();
            SearchHit hit;
            hit.table = QString::fromStdString(document.get_data());
            hit.rowId = qint64(Xapian::sortable_unserialise(document.get_value(layout::kRowIdSlot)));
            const std::optional<TextStartReader::Record> record = read(hit.table, hit.rowId);
            if (!record)
                return false;
            hit.name = record->name;
            phraseChars += phrases.empty() ? 0 : record->text.size();
            for (const auto &phrase : phrases) {
                if (!matcher.containsPhrase(hit.name, phrase) && !matcher.containsPhrase(record->text, phrase))
                    return false;
            }
            if (results.hits.size() < limit) {
                hit.nameRanges = matcher.ranges(hit.name);
                hit.snippet = matcher.snippet(record->text);
                results.hits.append(std::move(hit));
            }
            return true;
        };
        if (phrases.empty()) {
            const Xapian::MSet matches = enquire.get_mset(0, Xapian::doccount(limit), kCountExactly);
            for (auto it = matches.begin(); it != matches.end() && !givenUp(); ++it)
                take(it);
            results.found = qint64(matches.get_matches_estimated());
            results.estimated = matches.get_matches_lower_bound() != matches.get_matches_upper_bound();
            results.found = std::max(results.found, qint64(results.hits.size()));
        } else {
            // The words are all there; whether in this order is read from the text itself, for
            // the best candidates at most (asked for at once: Xapian ranks anew for every offset).
            int checked = 0, confirmed = 0;
            const Xapian::MSet candidates = enquire.get_mset(0, kPhraseChecks, kCountExactly);
            for (auto it = candidates.begin(); it != candidates.end() && !givenUp(); ++it) {
                if ((confirmed >= limit && checked >= kPhraseSample) || phraseChars >= kPhraseChars)
                    break;
                ++checked;
                confirmed += take(it);
            }
            const bool exhausted = checked == int(candidates.size()) && checked < kPhraseChecks;
            const Xapian::doccount all = candidates.get_matches_estimated();
            results.found = confirmed;
            if (!exhausted && checked > 0) {
                results.estimated = true;
                results.found = std::max<qint64>(confirmed, qint64(double(confirmed) / checked * all));
            }
        }
    } catch (const Xapian::DatabaseModifiedError &) {
        // The index moved on under the search: the next search reads the new revision.
        results.message = QStringLiteral("Указатель обновился во время поиска, повторите поиск.");
    } catch (const Xapian::DatabaseCorruptError &) {
        db.reset();
        worker.rebuild();
        results.message = QStringLiteral("Указатель повреждён и строится заново.");
    } catch (const Xapian::Error &e) {
        db.reset();
        results.message = QStringLiteral("Поиск не удался: ") + QString::fromStdString(e.get_description());
    } catch (const CatalogueError &e) {
        results.message = e.message();
    }
    release();
    return results;
}

// The thread that answers `searchLater`: only the newest request is kept, and the one in
// progress is given up as soon as a newer one comes.
struct SearchIndex::Searcher
{
    struct Request
    {
        quint64 ticket;
        QString query, table;
        int limit;
    };

    explicit Searcher(const QString &cataloguePath, IndexWorker &worker)
        : reader(cataloguePath, worker)
    {
    }

    Reader reader;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> next;
    bool stop = false;
    quint64 issued = 0;
    std::atomic<quint64> latest{0}; // the only ticket still to be answered
    std::thread thread;

    void run(SearchIndex *owner)
    {
        for (;;) {
            Request request{};
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return stop || next; });
                if (stop)
                    return;
                request = std::move(*next);
                next.reset();
            }
            const quint64 ticket = request.ticket;
            SearchResults results =
                reader.search(request.query, request.table, request.limit, [&] { return latest != ticket; });
            if (latest != ticket)
                continue;
            QMetaObject::invokeMethod(
                owner,
                [owner, ticket, results = std::move(results)] {
                    if (owner->m_searcher->latest == ticket)
                        emit owner->searched(ticket, results);
                },
                Qt::QueuedConnection);
        }
    }
};

SearchIndex::SearchIndex(const QString &cataloguePath, QObject *parent)
    : SearchIndex(cataloguePath, BuildOptions(), parent)
{
}

SearchIndex::SearchIndex(const QString &cataloguePath, BuildOptions options, QObject *parent)
    : QObject(parent)
{
    m_worker = std::make_unique<Worker>(
        cataloguePath, indexPathFor(cataloguePath),
        [this](bool committed) {
            // From the worker's thread into this object's; dropped once this object is gone.
            QMetaObject::invokeMethod(
                this,
                [this, committed] {
                    emit progressChanged();
                    if (committed)
                        emit indexChanged();
                },
                Qt::QueuedConnection);
        },
        std::move(options));
    m_reader = std::make_unique<Reader>(cataloguePath, *m_worker);
}

SearchIndex::~SearchIndex()
{
    if (m_searcher) {
        {
            std::lock_guard lock(m_searcher->mutex);
            m_searcher->stop = true;
            m_searcher->latest = 0;
        }
        m_searcher->wake.notify_all();
        m_searcher->thread.join();
    }
    m_searcher.reset();
    m_reader.reset();
    m_worker.reset(); // stops and joins the thread before the readers go
}

QString SearchIndex::indexPathFor(const QString &cataloguePath)
{
    return cataloguePath + QStringLiteral(".search");
}

SearchIndex::State SearchIndex::state() const
{
    switch (m_worker->state()) {
    case IndexWorker::Starting:
        return State::Starting;
    case IndexWorker::Building:
        return State::Building;
    case IndexWorker::Ready:
        return State::Ready;
    case IndexWorker::Unavailable:
        break;
    }
    return State::Unavailable;
}

qint64 SearchIndex::done() const
{
    return m_worker->done();
}

qint64 SearchIndex::total() const
{
    return m_worker->total();
}

qint64 SearchIndex::recordsRead() const
{
    return m_worker->recordsRead();
}

QString SearchIndex::statusText() const
{
    const QLocale russian(QLocale::Russian);
    switch (state()) {
    case State::Starting:
        return QStringLiteral("Указатель для поиска проверяется…");
    case State::Building: {
        const qint64 all = std::max<qint64>(total(), 1);
        return QStringLiteral("Строится указатель: %1 из %2 записей (%3%)")
            .arg(russian.toString(done()), russian.toString(total()))
            .arg(std::min<qint64>(100, done() * 100 / all));
    }
    case State::Ready:
        return QStringLiteral("Указатель готов: записей %1").arg(russian.toString(total()));
    case State::Unavailable:
        break;
    }
    return unavailableText(m_worker->problem());
}

SearchResults SearchIndex::search(const QString &text, const QString &table, int limit)
{
    return m_reader->search(text, table, limit, [] { return false; });
}

quint64 SearchIndex::searchLater(const QString &query, const QString &table, int limit)
{
    if (!m_searcher) {
        m_searcher = std::make_unique<Searcher>(m_reader->cataloguePath, *m_worker);
        m_searcher->thread = std::thread([this, searcher = m_searcher.get()] { searcher->run(this); });
    }
    std::lock_guard lock(m_searcher->mutex);
    const quint64 ticket = ++m_searcher->issued;
    m_searcher->latest = ticket;
    m_searcher->next = Searcher::Request{ticket, query, table, limit};
    m_searcher->wake.notify_all();
    return ticket;
}

void SearchIndex::cancelSearch()
{
    if (!m_searcher)
        return;
    std::lock_guard lock(m_searcher->mutex);
    m_searcher->latest = ++m_searcher->issued;
    m_searcher->next.reset();
}

std::optional<EntryText> SearchIndex::entryText(const QString &table, qint64 rowId)
{
    try {
        m_reader->openCatalogue();
        const std::optional<TextStartReader::Record> record = m_reader->read(table, rowId);
        m_reader->release();
        if (!record)
            return std::nullopt;
        return EntryText{record->text, record->cut};
    } catch (const CatalogueError &) {
        m_reader->release();
        return std::nullopt;
    }
}

void SearchIndex::entriesChanged(const QString &table, const QList<qint64> &rowIds)
{
    m_worker->entriesChanged(table, rowIds);
}

void SearchIndex::entriesRemoved(const QString &table, const QList<qint64> &rowIds)
{
    m_worker->entriesRemoved(table, rowIds);
}

void SearchIndex::catalogueReplaced()
{
    m_worker->reopen();
}

bool SearchIndex::waitForIdle(int timeoutMs)
{
    return m_worker->waitForIdle(timeoutMs);
}

bool SearchIndex::changesPending() const
{
    return m_worker->changesPending();
}

} // namespace zv::search
