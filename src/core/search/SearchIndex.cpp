#include "core/search/SearchIndex.h"

#include "core/search/IndexLayout.h"
#include "core/search/IndexWorker.h"
#include "core/search/XapianHeader.h"
#include "core/store/CatalogueStore.h"
#include "core/store/SqlStatement.h"

#include <QFile>
#include <QLocale>

#include <map>
#include <memory>
#include <optional>

namespace zv::search {

namespace {

// A phrase is checked against the entry's text: at most this many candidates per search, and
// once a page of results is confirmed, no more than the sample its count is estimated from.
constexpr int kPhraseChecks = 1000;
constexpr int kPhraseSample = 250;
// Counts up to this are exact.
constexpr int kCountExactly = 1000;

} // namespace

struct SearchIndex::Worker : IndexWorker
{
    using IndexWorker::IndexWorker;
};

struct SearchIndex::Reader
{
    QString cataloguePath;
    QString indexPath;
    std::optional<Xapian::Database> db;
    CatalogueConnection catalogue;
    std::map<QString, std::unique_ptr<SqlStatement>> selects; // one prepared read per table

    bool open()
    {
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

    // The record as the catalogue holds it now; false when it is gone.
    bool read(const Xapian::Document &document, SearchHit &hit, QString &text)
    {
        hit.table = QString::fromStdString(document.get_data());
        hit.rowId = qint64(Xapian::sortable_unserialise(document.get_value(layout::kRowIdSlot)));
        if (!catalogue->hasTable(hit.table))
            return false;
        std::unique_ptr<SqlStatement> &select = selects[hit.table];
        if (!select)
            select = std::make_unique<SqlStatement>(catalogue->handle(),
                                                    QStringLiteral("SELECT Name, Ref FROM ") + quotedName(hit.table) +
                                                        QStringLiteral(" WHERE rowid = ?1 AND Name IS NOT NULL"));
        select->bind(1, hit.rowId);
        const bool found = select->step();
        if (found) {
            hit.name = select->text(0);
            text = select->text(1);
        }
        select->reset();
        return found;
    }
};

SearchIndex::SearchIndex(const QString &cataloguePath, QObject *parent)
    : QObject(parent)
    , m_reader(new Reader{cataloguePath, indexPathFor(cataloguePath), std::nullopt, nullptr, {}})
{
    m_worker = std::make_unique<Worker>(cataloguePath, m_reader->indexPath, [this](bool committed) {
        // From the worker's thread into this object's; dropped once this object is gone.
        QMetaObject::invokeMethod(
            this,
            [this, committed] {
                emit progressChanged();
                if (committed)
                    emit indexChanged();
            },
            Qt::QueuedConnection);
    });
}

SearchIndex::~SearchIndex()
{
    m_worker.reset(); // stops and joins the thread before the reader goes
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
    const QString problem = m_worker->problem();
    return QStringLiteral("Поиск по описаниям недоступен") +
           (problem.isEmpty() ? QString() : QStringLiteral(": ") + problem);
}

SearchResults SearchIndex::search(const QString &text, const QString &table, int limit)
{
    SearchResults results;
    const ParsedQuery query = parseQuery(text);
    results.message = query.message;
    if (query.isEmpty())
        return results;
    results.incomplete = state() != State::Ready;
    if (!m_reader->open()) {
        results.message = QStringLiteral("Указатель ещё не готов, попробуйте через несколько секунд.");
        return results;
    }
    try {
        if (!m_reader->catalogue)
            m_reader->catalogue = openCatalogue(m_reader->cataloguePath);
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
        Xapian::Enquire enquire(*m_reader->db);
        enquire.set_query(layout::makeQuery(query, table));
        auto take = [&](const Xapian::MSetIterator &it) -> bool {
            SearchHit hit;
            QString body;
            if (!m_reader->read(it.get_document(), hit, body))
                return false;
            for (const auto &phrase : phrases) {
                if (!matcher.containsPhrase(hit.name, phrase) && !matcher.containsPhrase(body, phrase))
                    return false;
            }
            if (results.hits.size() < limit) {
                hit.nameRanges = matcher.ranges(hit.name);
                hit.snippet = matcher.snippet(body);
                hit.text = std::move(body);
                results.hits.append(std::move(hit));
            }
            return true;
        };
        if (phrases.empty()) {
            const Xapian::MSet matches = enquire.get_mset(0, Xapian::doccount(limit), kCountExactly);
            for (auto it = matches.begin(); it != matches.end(); ++it)
                take(it);
            results.found = qint64(matches.get_matches_estimated());
            results.estimated = matches.get_matches_lower_bound() != matches.get_matches_upper_bound();
            results.found = std::max(results.found, qint64(results.hits.size()));
        } else {
            // The words are all there; whether in this order is read from the text itself, for
            // the best candidates at most (asked for at once: Xapian ranks anew for every offset).
            int checked = 0, confirmed = 0;
            const Xapian::MSet candidates = enquire.get_mset(0, kPhraseChecks, kCountExactly);
            for (auto it = candidates.begin(); it != candidates.end(); ++it) {
                if (confirmed >= limit && checked >= kPhraseSample)
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
        m_reader->db.reset();
        m_worker->rebuild();
        results.message = QStringLiteral("Указатель повреждён и строится заново.");
    } catch (const Xapian::Error &e) {
        m_reader->db.reset();
        results.message = QStringLiteral("Поиск не удался: ") + QString::fromStdString(e.get_description());
    } catch (const CatalogueError &e) {
        results.message = e.message();
    }
    return results;
}

void SearchIndex::entriesChanged(const QString &table, const QList<qint64> &rowIds)
{
    m_worker->entriesChanged(table, rowIds);
}

void SearchIndex::entriesRemoved(const QString &table, const QList<qint64> &rowIds)
{
    m_worker->entriesRemoved(table, rowIds);
}

bool SearchIndex::waitForIdle(int timeoutMs)
{
    return m_worker->waitForIdle(timeoutMs);
}

} // namespace zv::search
