#include "PipeWatch.h"

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zvtest {

PipeWatch::PipeWatch(const QString &path)
    : m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    m_made = ::mkfifo(name.constData(), 0600) == 0;
    if (!m_made)
        return;
    m_thread = std::thread([this, name] {
        while (!m_stop) {
            // Opening for writing without waiting succeeds only while a reader has the pipe open.
            const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_read = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

PipeWatch::~PipeWatch()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace zvtest
