#pragma once

#include "core/search/XapianHeader.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zv::search {

// One record as the index takes it in: what the catalogue holds and the hash that tells it changed.
struct IndexRecord
{
    qint64 rowId = 0;
    quint64 hash = 0;
    QString name, text;
};

// Makes the documents of the next batch of records on a thread of its own while the index's
// thread writes the batch before, so that a build keeps two cores busy. Without the thread
// (`ownThread` false) the documents are made when taken.
class DocumentMaker
{
public:
    explicit DocumentMaker(bool ownThread);
    ~DocumentMaker();

    // Starts on the records of `table`; the batch started before must have been taken.
    void start(const QString &table, std::vector<IndexRecord> records);
    bool started() const { return m_started; }
    // The batch started last, with the document of each record, in the same order.
    std::vector<std::pair<IndexRecord, Xapian::Document>> take();

private:
    void run();

    const bool m_ownThread;
    bool m_started = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_table;
    std::vector<IndexRecord> m_records;
    std::optional<std::vector<std::pair<IndexRecord, Xapian::Document>>> m_made;
    bool m_working = false;
    bool m_stop = false;
    std::thread m_thread;
};

// Lowers the calling thread's priority below the window's, so that a build never holds it up.
void yieldToWindowThread();

} // namespace zv::search
