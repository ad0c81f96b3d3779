#pragma once

#include "core/search/DocumentMaker.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zv::search {

// The first build of an index, written in parts on threads of their own: each thread makes the
// documents of the batches it takes and adds them to a Xapian database of its own in `folder`
// (beside the index), to be merged into the index later (mergeParts). A small database takes
// documents faster than a large one, and the threads keep every core busy.
// Only records the index does not hold are handed over: they are added without looking for them.
class IndexParts
{
public:
    // `written` counts the records written into parts.
    IndexParts(QString folder, int threads, std::atomic<qint64> &written);
    ~IndexParts(); // stops the threads; parts not taken are removed

    // Waits while every thread has a batch: the user's work (see BackgroundGate) never waits
    // for more than one batch a thread.
    void add(const QString &table, std::vector<IndexRecord> records);
    // Records handed over since the parts were last taken.
    qint64 count() const { return m_count; }
    // Waits for every batch handed over, closes the parts and gives their paths; the next batch
    // starts new ones. A thread's failure is thrown here.
    QStringList take();

private:
    struct Batch
    {
        QString table;
        std::vector<IndexRecord> records;
    };

    void run(int thread);

    const QString m_folder;
    const int m_threads;
    std::atomic<qint64> &m_written;
    qint64 m_count = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Batch> m_batches;
    int m_working = 0;    // threads writing a batch now
    int m_round = 0;      // parts taken so far; a part's name says its round
    int m_closeRound = 0; // threads close their part when this passes their part's round
    int m_closed = 0;     // threads that closed their part of this round
    QStringList m_parts;  // closed and not taken yet
    std::exception_ptr m_failure;
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

// Merges the index at `indexPath` (closed) with `parts` into a new one that takes its place.
// `duplicates`: id terms of records the index holds as they are now, whose copies in the parts
// are older and are left out.
void mergeParts(const QString &indexPath, const QStringList &parts, const std::vector<std::string> &duplicates);

// Folders a merge or a part build stopped in the middle leaves beside the index.
QString partsFolder(const QString &indexPath);
void removeLeftovers(const QString &indexPath);

} // namespace zv::search
