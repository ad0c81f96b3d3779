#pragma once

#include "core/search/BuildOptions.h"
#include "core/search/MatchRanges.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace zv::search {

struct SearchHit
{
    QString table;
    qint64 rowId = -1;
    QString name;
    QList<TextRange> nameRanges;
    Snippet snippet; // from the text's first kTextScope bytes; the preview reads it anew
};

// How much of an entry's text a search reads: its snippet, the order of a phrase's words and
// the preview come from the first this many bytes (UTF-8) of the text; a text of many
// megabytes then costs what a short one does.
inline constexpr qsizetype kTextScope = 64 * 1024;

// The start of one entry's text, for the preview.
struct EntryText
{
    QString text;     // the first kTextScope bytes
    bool cut = false; // the text goes on beyond them
};

struct SearchResults
{
    QList<SearchHit> hits;
    qint64 found = 0;        // entries that match, all of them, not only the hits shown
    bool estimated = false;  // `found` is Xapian's estimate (many matches)
    bool incomplete = false; // the index was still being built: only part of the catalogue was searched
    QString message;         // for the user: why nothing was searched, or what was left out
};

// The full-text index of a catalogue file, kept in a folder beside it (see indexPathFor). It is
// derived data: a missing, damaged or foreign index is made anew, and deleting it loses nothing.
//
// A thread of its own builds it and keeps it current; the caller's thread only searches and
// hands over changes, so it never waits for the index. Every write to the index is one
// atomic Xapian commit; the fingerprint of the catalogue it matches is stored in the same
// commit, so a program killed at any moment leaves an index that the next start either trusts
// rightly or brings up to date.
class SearchIndex : public QObject
{
    Q_OBJECT

public:
    enum class State { Starting, Building, Ready, Unavailable };

    explicit SearchIndex(const QString &cataloguePath, QObject *parent = nullptr);
    SearchIndex(const QString &cataloguePath, BuildOptions options, QObject *parent = nullptr);
    ~SearchIndex() override;

    static QString indexPathFor(const QString &cataloguePath);

    State state() const;
    // While building: entries looked at so far, and all there are.
    qint64 done() const;
    qint64 total() const;
    // Records read from the catalogue to bring the index level with it (none when it was trusted).
    qint64 recordsRead() const;
    // One line for a status bar, in Russian.
    QString statusText() const;

    // The best `limit` matches, over all categories or only `table`'s, on the caller's thread.
    SearchResults search(const QString &query, const QString &table = QString(), int limit = 50);
    // The same on a thread of the index's own: the answer comes as `searched` with the number
    // returned here. A newer request supersedes any older one, which is given up and never
    // answered, so that a window asks at every keystroke and never waits.
    quint64 searchLater(const QString &query, const QString &table = QString(), int limit = 50);
    // Gives up the request in progress, if any: no answer comes for it.
    void cancelSearch();
    // The start of a record's text as the catalogue holds it now; none when it is gone.
    std::optional<EntryText> entryText(const QString &table, qint64 rowId);

    // The records of `table` with these ids were added or edited, or removed. The index takes
    // them in on its thread right after the work it is doing.
    void entriesChanged(const QString &table, const QList<qint64> &rowIds);
    void entriesRemoved(const QString &table, const QList<qint64> &rowIds);

    // Another catalogue file is in place (a backup restored): the index catches up with it.
    void catalogueReplaced();
    // Blocks until everything handed over so far is in the index (for tests and benchmarks).
    bool waitForIdle(int timeoutMs);
    // Changes were handed over that are not yet searchable.
    bool changesPending() const;

signals:
    // The state or the progress changed.
    void progressChanged();
    // New entries are searchable (after each commit of the index).
    void indexChanged();
    // The answer to the request `searchLater` numbered `ticket`.
    void searched(quint64 ticket, const zv::search::SearchResults &results);

private:
    struct Worker;
    std::unique_ptr<Worker> m_worker;
    struct Reader;
    std::unique_ptr<Reader> m_reader;
    struct Searcher;
    std::unique_ptr<Searcher> m_searcher;
};

} // namespace zv::search
