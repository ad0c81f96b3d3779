#include "core/history/LateSync.h"

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zv::history {

namespace {

// Short enough that a power cut takes at most the last moment's undo with it; long enough that
// a burst of changes (a restore of many entries, typing and saving quickly) shares one sync.
constexpr std::chrono::milliseconds kGather{250};

void syncFile(const std::string &path)
{
    // A WAL gone meanwhile was checkpointed, which synced it, and removed with its last connection.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::close(fd);
}

class LateSyncs
{
public:
    ~LateSyncs()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void request(std::string path)
    {
        std::lock_guard lock(m_mutex);
        // Already asked for: the thread is gathering, and the sync to come takes this write too.
        if (!m_pending.insert(std::move(path)).second)
            return;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_wake.notify_all();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || !m_pending.empty(); });
            if (!m_stop)
                m_wake.wait_for(lock, kGather, [&] { return m_stop; });
            const std::set<std::string> paths = std::exchange(m_pending, {});
            lock.unlock();
            for (const std::string &path : paths)
                syncFile(path);
            lock.lock();
            if (m_stop && m_pending.empty())
                return;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::set<std::string> m_pending;
    bool m_stop = false;
    std::thread m_thread;
};

LateSyncs &lateSyncs()
{
    static LateSyncs syncs; // its thread finishes the syncs asked for when the program ends
    return syncs;
}

} // namespace

void syncSoon(sqlite3 *db)
{
    const char *history = sqlite3_db_filename(db, "history");
    if (history && *history)
        lateSyncs().request(std::string(history) + "-wal");
}

} // namespace zv::history
