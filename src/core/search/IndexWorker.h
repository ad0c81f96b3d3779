#pragma once

#include "core/search/BuildOptions.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace zv::search {

// The thread that owns the writable index: it opens (or makes anew) the index, brings it level
// with the catalogue, then applies the changes handed to it. Only this thread writes the index.
class IndexWorker
{
public:
    enum State { Starting, Building, Ready, Unavailable };

    // `notify(committed)` is called on the worker's thread whenever the state or the progress
    // changed; `committed` is true after a commit of the index.
    IndexWorker(QString cataloguePath, QString indexPath, std::function<void(bool committed)> notify,
                BuildOptions options = {});
    ~IndexWorker();

    void entriesChanged(const QString &table, const QList<qint64> &rowIds);
    void entriesRemoved(const QString &table, const QList<qint64> &rowIds);
    // Throws the index away and builds it again (the reader found it damaged).
    void rebuild();
    // Another catalogue file was put in place (a backup restored): the index opens it anew and
    // brings itself level with it, as at a start.
    void reopen();
    bool waitForIdle(int timeoutMs);

    State state() const { return m_state.load(); }
    qint64 done() const { return m_done.load(); }
    qint64 total() const { return m_total.load(); }
    // Records read from the catalogue to bring the index level with it since the start.
    qint64 recordsRead() const { return m_read.load(); }
    QString problem() const;
    // Changes were handed over that no commit has taken in yet.
    bool changesPending() const;
    // Changes when the index was put in place anew (a first build's parts merged into it): a
    // reader then opens it anew.
    quint64 generation() const { return m_generation.load(); }

private:
    struct Job
    {
        enum Kind { Changed, Removed, Rebuild, Reopen } kind;
        QString table;
        QList<qint64> rowIds;
        quint64 serial = 0; // in the order handed over
    };
    struct Run;

    void post(Job job);
    void run();

    const QString m_cataloguePath;
    const QString m_indexPath;
    const std::function<void(bool)> m_notify;
    const BuildOptions m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idleChanged;
    std::deque<Job> m_jobs;
    quint64 m_posted = 0; // the serial of the last job handed over
    bool m_busy = true;   // until the first build or check is over
    bool m_stop = false;
    QString m_problem;

    std::atomic<State> m_state{Starting};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<qint64> m_read{0};
    std::atomic<quint64> m_committed{0}; // jobs up to this serial are searchable
    std::atomic<quint64> m_generation{0};
    std::thread m_thread;
};

} // namespace zv::search
