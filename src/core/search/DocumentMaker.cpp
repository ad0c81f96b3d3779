#include "core/search/DocumentMaker.h"

#include "core/search/IndexLayout.h"

#include <sys/resource.h>
#include <unistd.h>

namespace zv::search {

namespace {

std::vector<std::pair<IndexRecord, Xapian::Document>> makeAll(const QString &table, std::vector<IndexRecord> records)
{
    std::vector<std::pair<IndexRecord, Xapian::Document>> made;
    made.reserve(records.size());
    for (IndexRecord &record : records) {
        Xapian::Document document = layout::makeDocument(table, record.rowId, record.name, record.text, record.hash);
        made.emplace_back(std::move(record), std::move(document));
    }
    return made;
}

} // namespace

void yieldToWindowThread()
{
    // On Linux a thread's nice value is its own; the program's other threads keep theirs.
    setpriority(PRIO_PROCESS, pid_t(gettid()), 10);
}

DocumentMaker::DocumentMaker(bool ownThread)
    : m_ownThread(ownThread)
{
    if (m_ownThread)
        m_thread = std::thread([this] { run(); });
}

DocumentMaker::~DocumentMaker()
{
    if (!m_ownThread)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void DocumentMaker::start(const QString &table, std::vector<IndexRecord> records)
{
    {
        std::lock_guard lock(m_mutex);
        m_table = table;
        m_records = std::move(records);
        m_working = true;
    }
    m_started = true;
    m_wake.notify_all();
}

std::vector<std::pair<IndexRecord, Xapian::Document>> DocumentMaker::take()
{
    m_started = false;
    if (!m_ownThread) {
        m_working = false;
        return makeAll(m_table, std::exchange(m_records, {}));
    }
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_made.has_value(); });
    auto made = std::move(*m_made);
    m_made.reset();
    return made;
}

void DocumentMaker::run()
{
    yieldToWindowThread();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_working; });
        if (m_stop)
            return;
        const QString table = m_table;
        std::vector<IndexRecord> records = std::exchange(m_records, {});
        lock.unlock();
        auto made = makeAll(table, std::move(records));
        lock.lock();
        m_made = std::move(made);
        m_working = false;
        m_wake.notify_all();
    }
}

} // namespace zv::search
