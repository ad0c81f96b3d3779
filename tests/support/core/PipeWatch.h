#pragma once

#include <QString>

#include <atomic>
#include <thread>

namespace zvtest {

// A named pipe made at `path` for a test, watched: whatever opens it for reading would wait for a
// writer for ever, so the watch opens it for writing at once, lets the reader see an empty file
// and remembers it. A test then fails where the program would have hung.
class PipeWatch
{
public:
    explicit PipeWatch(const QString &path);
    ~PipeWatch();

    bool made() const { return m_made; }
    QString path() const { return m_path; }
    // True when something opened the pipe to read it.
    bool wasRead() const { return m_read; }

private:
    QString m_path;
    bool m_made = false;
    std::atomic<bool> m_read = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

} // namespace zvtest
