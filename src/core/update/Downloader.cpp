#include "core/update/Downloader.h"

#include "core/update/TransferThread.h"

#include <QFile>

#include <algorithm>
#include <deque>

namespace zv::update {

namespace {

int g_defaultTimeoutMs = 30000;
QByteArray g_certificateAuthorities;

} // namespace

struct Downloader::Undelivered
{
    std::deque<TransferThread::Event> events;
};

qint64 sizeCap(FileKind kind)
{
    switch (kind) {
    case FileKind::List:
        return 16LL << 20;
    case FileKind::Entry:
        return 4LL << 20;
    case FileKind::VersionFile:
        return 64LL << 10;
    case FileKind::Archive:
        return 512LL << 20;
    }
    return 0;
}

qint64 freeSpaceReserve(qint64 diskBytes)
{
    return std::clamp(diskBytes / 50, 16LL << 20, 512LL << 20);
}

int fileDeadlineMs(FileKind kind)
{
    // Far longer than an honest server on a slow line takes for the largest file of the kind.
    switch (kind) {
    case FileKind::List:
        return 5 * 60 * 1000;
    case FileKind::Entry:
        return 2 * 60 * 1000;
    case FileKind::VersionFile:
        return 60 * 1000;
    case FileKind::Archive:
        return 60 * 60 * 1000;
    }
    return 0;
}

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_undelivered(std::make_unique<Undelivered>())
    , m_timeoutMs(g_defaultTimeoutMs)
{
    // Called on the transfer thread; the reports are taken here, from this thread's event loop.
    m_transfers = std::make_unique<TransferThread>(
        [this] { QMetaObject::invokeMethod(this, &Downloader::deliver, Qt::QueuedConnection); });
}

Downloader::~Downloader()
{
    abortAll();
    // The thread is stopped and joined before this object is gone: nothing posts to it later.
    m_transfers.reset();
}

void Downloader::setDefaultTimeout(int ms)
{
    g_defaultTimeoutMs = ms;
}

int Downloader::defaultTimeout()
{
    return g_defaultTimeoutMs;
}

void Downloader::setCertificateAuthorities(const QString &pemFile)
{
    g_certificateAuthorities = QFile::encodeName(pemFile);
}

void Downloader::setMaxParallel(int jobs)
{
    m_transfers->setMaxParallel(jobs);
}

int Downloader::enqueue(const DownloadJob &job)
{
    const int id = m_nextId++;
    if (job.kind == FileKind::List || job.kind == FileKind::VersionFile)
        ++m_update;
    m_pending.insert(id, job);
    TransferThread::Request request{id, job, m_timeoutMs, m_partFolder, g_certificateAuthorities};
    request.update = m_update;
    request.deadlineMs = m_deadlineMs > 0 ? m_deadlineMs : fileDeadlineMs(job.kind);
    m_transfers->submit(std::move(request));
    return id;
}

void Downloader::deliver()
{
    // The events wait in this object, not in this call: a handler that stops every job reports
    // those still waiting as they ended (a file in place is a success) before the rest fail.
    for (TransferThread::Event &event : m_transfers->takeEvents())
        m_undelivered->events.push_back(std::move(event));
    while (!m_undelivered->events.empty()) {
        const TransferThread::Event event = std::move(m_undelivered->events.front());
        m_undelivered->events.pop_front();
        // A handler may have stopped every job meanwhile; those are reported already.
        if (!m_pending.contains(event.id))
            continue;
        if (event.kind == TransferThread::Event::Kind::Started)
            emit jobStarted(event.id, m_pending.value(event.id));
        else
            report(event.id, event.ok ? TransferFailure::None : event.failure, event.error,
                   event.bytesKept ? &event.bytes : nullptr);
    }
}

void Downloader::report(int id, TransferFailure failure, const QString &why, const QByteArray *bytes)
{
    const DownloadJob job = m_pending.take(id);
    const bool ok = failure == TransferFailure::None;
    if (!ok) {
        m_lastError = job.url.toString() + QStringLiteral(": ") + why;
        m_lastFailure = failure;
        emit failed(id, failure);
    } else if (bytes) {
        emit arrived(id, *bytes);
    }
    emit finished(id, ok);
    if (m_pending.isEmpty())
        emit idle();
}

void Downloader::abortAll()
{
    if (m_pending.isEmpty())
        return;
    m_transfers->abortAll();
    // What ended before the stop is reported as it ended (a file already in place stays).
    deliver();
    QList<int> ids = m_pending.keys();
    std::sort(ids.begin(), ids.end());
    for (const int id : std::as_const(ids)) {
        if (m_pending.contains(id))
            report(id, TransferFailure::Aborted, QStringLiteral("aborted"));
    }
}

} // namespace zv::update
