#include "core/update/TransferThread.h"

#include "core/Version.h"
#include "core/update/PublishedFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zv::update {

namespace {

constexpr long kMaxRedirects = 5;
// As many connections to one host as a browser opens; over HTTP/2 one carries them all.
constexpr long kHostConnections = 6;
// More than this of an error page is not an honest answer.
constexpr qint64 kErrorBodyCap = 64 * 1024;
// Files that keep their bytes hold at most this much memory until the other side takes them;
// beyond it they come without (the caller reads the file), whatever a server sends how fast.
constexpr qint64 kKeptBytesCap = 64 << 20;

const QByteArray kUserAgent = QByteArray("Zorvanell/") + zv::version::kFull;

void initCurl()
{
    static const bool once = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    Q_UNUSED(once);
}

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CURLM *multiOf(void *multi)
{
    return static_cast<CURLM *>(multi);
}

} // namespace

struct TransferThread::Transfer
{
    void touch() { lastActivity = nowMs(); }
    // A callback stops the transfer for this reason.
    void stop(TransferFailure why, const QString &text)
    {
        reason = why;
        failure = text;
    }
    // The list and entry files of a catalogue update count towards its cap and its room.
    bool counted() const { return request.job.kind == FileKind::List || request.job.kind == FileKind::Entry; }
    bool success() const
    {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        return local || (status >= 200 && status < 300);
    }

    // The head of one answer has arrived: an announced size over the cap ends the transfer.
    static size_t onHeader(char *data, size_t, size_t size, void *self)
    {
        auto *t = static_cast<Transfer *>(self);
        t->touch();
        if (size >= 1 && size <= 2 && (data[0] == '\r' || data[0] == '\n') && t->success()) {
            curl_off_t length = -1;
            curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length > sizeCap(t->request.job.kind)) {
                t->stop(TransferFailure::FileTooLarge, QStringLiteral("too large"));
                return 0;
            }
        }
        return size;
    }

    static size_t onBody(char *data, size_t, size_t size, void *self)
    {
        auto *t = static_cast<Transfer *>(self);
        t->touch();
        if (t->owner->isAborted(t->request.id))
            return 0;
        // Only the body of a 2xx answer is the file; an error page is not, and a server that
        // never stops sending one is cut off.
        if (!t->success()) {
            t->discarded += qint64(size);
            if (t->discarded <= kErrorBodyCap)
                return size;
            t->stop(TransferFailure::Failed, QStringLiteral("endless error answer"));
            return 0;
        }
        t->received += qint64(size);
        if (t->received > sizeCap(t->request.job.kind)) {
            t->stop(TransferFailure::FileTooLarge, QStringLiteral("too large"));
            return 0;
        }
        if (!t->owner->roomFor(t, qint64(size)))
            return 0;
        if (t->counted()) {
            t->owner->m_updateBytes += qint64(size);
            if (t->owner->m_updateBytes > kCatalogueUpdateCap) {
                t->stop(TransferFailure::UpdateTooLarge, QStringLiteral("the update is too large"));
                return 0;
            }
        }
        // The part file is made only once there is something to keep.
        if ((t->fd < 0 && !t->owner->openPart(t)) || !t->write(data, size)) {
            const bool full = errno == ENOSPC || errno == EDQUOT;
            t->stop(full ? TransferFailure::DiskFull : TransferFailure::CannotWrite,
                    QStringLiteral("cannot write ") + t->request.job.target);
            return 0;
        }
        if (t->request.job.keepBytes)
            t->kept.append(data, qsizetype(size));
        return size;
    }

    // A connection is ready to carry the request: from now on silence counts.
    static int onRequest(void *self, char *, char *, int, int)
    {
        auto *t = static_cast<Transfer *>(self);
        t->connected = true;
        t->touch();
        return CURL_PREREQFUNC_OK;
    }

    bool write(const char *data, size_t size)
    {
        while (size > 0) {
            const ssize_t written = ::write(fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            size -= size_t(written);
        }
        return true;
    }

    TransferThread *owner = nullptr;
    Request request;
    CURL *easy = nullptr;
    bool inMulti = false;
    int fd = -1; // the part file, once something arrived
    std::string partPath;
    qint64 received = 0;
    QByteArray kept;      // what was written, for a job that keeps its bytes
    qint64 discarded = 0; // bytes of a non-2xx answer's body
    qint64 lastActivity = 0;
    bool connected = false;
    bool local = false; // file://
    bool triedFallback = false;
    QString failure; // why a callback stopped the transfer
    TransferFailure reason = TransferFailure::Failed;
    std::string folder; // the target's folder, whose disk must keep its free space
    char error[CURL_ERROR_SIZE] = {};
};

TransferThread::TransferThread(std::function<void()> wake)
    : m_wake(std::move(wake))
    , m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    initCurl();
    m_thread = std::thread([this] { run(); });
}

TransferThread::~TransferThread()
{
    abortAll();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wakeThread();
    m_thread.join();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void TransferThread::submit(Request request)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_inbox.empty();
        m_submittedBelow = std::max(m_submittedBelow, request.id + 1);
        m_inbox.push_back(std::move(request));
    }
    // A queue that already waits is taken whenever a transfer ends; only the first needs a call.
    if (wasEmpty)
        wakeThread();
}

void TransferThread::setMaxParallel(int jobs)
{
    std::lock_guard lock(m_mutex);
    m_maxParallel = std::max(1, jobs);
}

void TransferThread::abortAll()
{
    {
        std::lock_guard lock(m_mutex);
        m_abortBelow = m_submittedBelow;
        m_inbox.clear();
        for (const auto &[id, path] : m_openParts)
            ::unlink(path.c_str());
        m_openParts.clear();
        std::erase_if(m_outbox, [](const Event &event) { return event.kind == Event::Kind::Started; });
    }
    wakeThread();
}

std::vector<TransferThread::Event> TransferThread::takeEvents()
{
    std::lock_guard lock(m_mutex);
    m_wakePending = false;
    for (const Event &event : m_outbox) {
        if (event.bytesKept)
            m_keptWaiting -= event.bytes.size();
    }
    return std::exchange(m_outbox, {});
}

bool TransferThread::isAborted(int id) const
{
    return id < m_abortBelow.load(std::memory_order_relaxed);
}

void TransferThread::wakeThread()
{
    const quint64 one = 1;
    // Should this ever fail, the thread still looks again within a second.
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0)
        return;
}

void TransferThread::post(Event event)
{
    std::lock_guard lock(m_mutex);
    postLocked(std::move(event));
}

void TransferThread::postLocked(Event event)
{
    // A job stopped meanwhile has been reported by the other side already.
    if (!isAborted(event.id))
        m_outbox.push_back(std::move(event));
}

void TransferThread::postFinished(Transfer *transfer, TransferFailure failure, const QString &why)
{
    const bool ok = failure == TransferFailure::None;
    Event event{Event::Kind::Finished, transfer->request.id, ok, why, QByteArray(), false, failure};
    if (ok && transfer->request.job.keepBytes && m_keptWaiting + transfer->kept.size() <= kKeptBytesCap) {
        event.bytes = std::move(transfer->kept);
        event.bytesKept = true;
        m_keptWaiting += event.bytes.size();
    }
    if (!isAborted(event.id))
        m_outbox.push_back(std::move(event));
    else if (event.bytesKept)
        m_keptWaiting -= event.bytes.size();
}

void TransferThread::flushEvents()
{
    bool call = false;
    {
        std::lock_guard lock(m_mutex);
        call = !m_wakePending && !m_outbox.empty();
        m_wakePending = m_wakePending || call;
    }
    if (call)
        m_wake();
}

void TransferThread::run()
{
    openMulti();
    std::vector<Request> taken;
    for (;;) {
        bool aborting = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
            aborting = m_abortBelow > m_abortSeen;
            m_abortSeen = m_abortBelow;
            while (m_active.size() + taken.size() < size_t(m_maxParallel) && !m_inbox.empty()) {
                taken.push_back(std::move(m_inbox.front()));
                m_inbox.pop_front();
            }
        }
        if (aborting)
            dropAborted();
        startTaken(taken);
        int running = 0;
        curl_multi_perform(multiOf(m_multi), &running);
        collectDone();
        checkSilence();
        endStoppedUpdate();
        flushEvents();
        bool more = false;
        {
            std::lock_guard lock(m_mutex);
            more = !m_inbox.empty() && m_active.size() < size_t(m_maxParallel);
        }
        if (more)
            continue;
        // Woken by libcurl's sockets and timers, by the other side, or to look for silence.
        int waitMs = 1000;
        for (const Transfer *transfer : m_active)
            waitMs = std::min(waitMs, std::clamp(transfer->request.timeoutMs / 10, 20, 1000));
        curl_waitfd wake{m_wakeFd, CURL_WAIT_POLLIN, 0};
        curl_multi_poll(multiOf(m_multi), &wake, 1, waitMs, nullptr);
        // Reading resets the eventfd; how often it was woken does not matter.
        quint64 wakes = 0;
        if (wake.revents && ::read(m_wakeFd, &wakes, sizeof wakes) < 0)
            continue;
    }
    for (Transfer *transfer : std::vector<Transfer *>(m_active))
        end(transfer, TransferFailure::Aborted, QStringLiteral("aborted"));
    closeMulti();
    for (void *easy : m_idleHandles)
        curl_easy_cleanup(static_cast<CURL *>(easy));
    m_idleHandles.clear();
}

void TransferThread::openMulti()
{
    m_multi = curl_multi_init();
    CURLM *multi = multiOf(m_multi);
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kHostConnections);
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
}

void TransferThread::closeMulti()
{
    // Closes every kept connection.
    curl_multi_cleanup(multiOf(m_multi));
    m_multi = nullptr;
}

void TransferThread::dropAborted()
{
    bool stopped = false;
    for (Transfer *transfer : std::vector<Transfer *>(m_active)) {
        if (isAborted(transfer->request.id)) {
            end(transfer, TransferFailure::Aborted, QStringLiteral("aborted"));
            stopped = true;
        }
    }
    // A stream of an HTTP/2 connection is only reset once that connection is used again, so the
    // server would go on sending; closing the connections stops it now.
    if (stopped && m_active.empty()) {
        closeMulti();
        openMulti();
    }
}

void *TransferThread::newHandle()
{
    CURL *easy = curl_easy_init();
    if (!easy)
        return nullptr;
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Transfer::onRequest);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Every encoding libcurl can undo; the size caps count the decoded bytes.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    // Wait for a connection that may carry several transfers rather than open one more.
    curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    return easy;
}

void TransferThread::startTaken(std::vector<Request> &taken)
{
    for (Request &request : taken) {
        // Stopped before it began: the other side has reported it.
        if (isAborted(request.id))
            continue;
        joinUpdate(request);
        auto *transfer = new Transfer;
        transfer->owner = this;
        transfer->request = std::move(request);
        transfer->folder = QFile::encodeName(QFileInfo(transfer->request.job.target).absolutePath()).toStdString();
        m_active.push_back(transfer);
        post({Event::Kind::Started, transfer->request.id, false, QString(), QByteArray(), false});
        // Stopped, or the disk already too full: not even a connection is made.
        if (inStoppedUpdate(transfer)) {
            end(transfer, m_updateStop, QStringLiteral("stopped with the rest of the update"));
            continue;
        }
        if (!roomFor(transfer, 0)) {
            end(transfer, transfer->reason, transfer->failure);
            continue;
        }
        CURL *easy = static_cast<CURL *>(m_idleHandles.empty() ? newHandle() : m_idleHandles.back());
        if (!m_idleHandles.empty())
            m_idleHandles.pop_back();
        if (!easy) {
            end(transfer, TransferFailure::Failed, QStringLiteral("out of memory"));
            continue;
        }
        transfer->easy = easy;
        curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(transfer->request.timeoutMs));
        // A server that trickles a byte now and then never falls silent; it must keep a least
        // rate over the time-out, and finish the file within its deadline.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kLeastBytesPerSecond);
        // libcurl measures the rate once a second: a window of a few seconds at least.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(std::max(3, (transfer->request.timeoutMs + 999) / 1000)));
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(transfer->request.deadlineMs));
        // Only tests name their own; setting none would drop the system's default bundle.
        if (!transfer->request.certificateAuthorities.isEmpty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, transfer->request.certificateAuthorities.constData());
        begin(transfer, transfer->request.job.url);
    }
    taken.clear();
}

void TransferThread::begin(Transfer *transfer, const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    transfer->local = scheme == QLatin1String("file");
    if (transfer->local) {
        QString why;
        const TransferFailure problem = publishedFileProblem(url.toLocalFile(), transfer->request.job.kind, &why);
        if (problem != TransferFailure::None) {
            end(transfer, problem, why);
            return;
        }
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        end(transfer, TransferFailure::Failed, QStringLiteral("unsupported address"));
        return;
    }
    CURL *easy = transfer->easy;
    // "//zv_upd" after a host root with a slash is sent as "/zv_upd", as browsers and Qt send it:
    // object stores and CDNs, unlike nginx, do not merge the two slashes.
    curl_easy_setopt(easy, CURLOPT_URL, url.toEncoded(QUrl::NormalizePathSegments).constData());
    // Never from https to plain http, and from nowhere to a local file.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, scheme == QLatin1String("https") ? "https" : "http,https");
    transfer->failure.clear();
    transfer->error[0] = 0;
    transfer->discarded = 0;
    transfer->connected = false;
    transfer->touch();
    if (curl_multi_add_handle(multiOf(m_multi), easy) != CURLM_OK) {
        end(transfer, TransferFailure::Failed, QStringLiteral("cannot start"));
        return;
    }
    transfer->inMulti = true;
}

void TransferThread::collectDone()
{
    std::vector<std::pair<Transfer *, int>> done;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multiOf(m_multi), &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        char *data = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &data);
        done.emplace_back(reinterpret_cast<Transfer *>(data), int(message->data.result));
    }
    for (const auto &[transfer, code] : done)
        finishTransfer(transfer, code);
}

void TransferThread::finishTransfer(Transfer *transfer, int code)
{
    curl_multi_remove_handle(multiOf(m_multi), transfer->easy);
    transfer->inMulti = false;
    if (code != CURLE_OK) {
        if (!transfer->failure.isEmpty()) {
            end(transfer, transfer->reason, transfer->failure);
            return;
        }
        const QString why = transfer->error[0] ? QString::fromLocal8Bit(transfer->error)
                                               : QString::fromLatin1(curl_easy_strerror(CURLcode(code)));
        TransferFailure reason = TransferFailure::Failed;
        // Past the least rate or the deadline while bytes still come: too slow; quiet for the
        // whole time-out, or never connected: no answer.
        if (code == CURLE_OPERATION_TIMEDOUT)
            reason = transfer->connected && nowMs() - transfer->lastActivity < transfer->request.timeoutMs
                         ? TransferFailure::TooSlow
                         : TransferFailure::TimedOut;
        else if (code == CURLE_COULDNT_RESOLVE_HOST)
            reason = TransferFailure::HostNotFound;
        else if (code == CURLE_COULDNT_CONNECT)
            reason = TransferFailure::ConnectionRefused;
        end(transfer, reason, why);
        return;
    }
    // A file that came whole after its update was stopped is not kept either.
    if (inStoppedUpdate(transfer)) {
        end(transfer, m_updateStop, QStringLiteral("stopped with the rest of the update"));
        return;
    }
    if (transfer->local) {
        end(transfer, TransferFailure::None, QString());
        return;
    }
    long status = 0;
    curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status == 404 && !transfer->triedFallback && transfer->request.job.fallbackUrl.isValid()) {
        transfer->triedFallback = true;
        discardPart(transfer);
        begin(transfer, transfer->request.job.fallbackUrl);
        return;
    }
    if (status < 200 || status > 299) {
        end(transfer, status == 404 || status == 410 ? TransferFailure::NotOnServer : TransferFailure::Failed,
            QStringLiteral("HTTP status ") + QString::number(status));
        return;
    }
    end(transfer, TransferFailure::None, QString());
}

void TransferThread::checkSilence()
{
    const qint64 now = nowMs();
    // Before a connection carries the request libcurl's own connect time-out applies.
    for (Transfer *transfer : std::vector<Transfer *>(m_active)) {
        if (transfer->connected && now - transfer->lastActivity > transfer->request.timeoutMs)
            end(transfer, TransferFailure::TimedOut, QStringLiteral("time-out"));
    }
}

void TransferThread::joinUpdate(const Request &request)
{
    if (request.update <= m_update)
        return;
    m_update = request.update;
    m_updateBytes = 0;
    m_updateStop = TransferFailure::None;
}

bool TransferThread::inStoppedUpdate(const Transfer *transfer) const
{
    return m_updateStop != TransferFailure::None && transfer->request.update == m_update;
}

void TransferThread::endStoppedUpdate()
{
    if (m_updateStop == TransferFailure::None)
        return;
    for (Transfer *transfer : std::vector<Transfer *>(m_active)) {
        if (inStoppedUpdate(transfer))
            end(transfer, m_updateStop, QStringLiteral("stopped with the rest of the update"));
    }
}

bool TransferThread::roomFor(Transfer *transfer, qint64 more)
{
    struct statvfs disk = {};
    // Where the disk cannot be asked, the write itself tells whether there was room.
    if (::statvfs(transfer->folder.c_str(), &disk) != 0)
        return true;
    const qint64 unit = qint64(disk.f_frsize);
    const qint64 available = qint64(disk.f_bavail) * unit;
    qint64 needed = freeSpaceReserve(qint64(disk.f_blocks) * unit) + more;
    if (transfer->counted())
        needed += kCatalogueRoomFactor * (m_updateBytes + more);
    if (available >= needed)
        return true;
    transfer->stop(TransferFailure::DiskFull, QStringLiteral("the disk is nearly full"));
    return false;
}

bool TransferThread::openPart(Transfer *transfer)
{
    const Request &request = transfer->request;
    const QString unique =
        QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') + QString::number(request.id);
    const QString partName =
        request.partFolder.isEmpty()
            ? QString(QFileInfo(request.job.target).absolutePath() + QStringLiteral("/.zvpart-") + unique)
            : QString(request.partFolder + QLatin1Char('/') + unique + QStringLiteral(".part"));
    const std::string path = QFile::encodeName(partName).toStdString();
    std::lock_guard lock(m_mutex);
    // A stopped job makes no file the other side would not know of.
    if (isAborted(request.id))
        return false;
    constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags, 0666);
    // The folder is made when the first part finds it missing, not looked for each time.
    if (fd < 0 && errno == ENOENT && !request.partFolder.isEmpty() && QDir().mkpath(request.partFolder))
        fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return false;
    transfer->fd = fd;
    transfer->partPath = path;
    m_openParts[request.id] = path;
    return true;
}

void TransferThread::discardPart(Transfer *transfer)
{
    if (transfer->fd < 0)
        return;
    ::close(transfer->fd);
    transfer->fd = -1;
    if (transfer->counted())
        m_updateBytes -= transfer->received;
    transfer->received = 0;
    transfer->kept.clear();
    std::lock_guard lock(m_mutex);
    if (m_openParts.erase(transfer->request.id))
        ::unlink(transfer->partPath.c_str());
}

void TransferThread::end(Transfer *transfer, TransferFailure failure, const QString &why)
{
    QString text = why;
    bool ok = failure == TransferFailure::None;
    if (transfer->inMulti) {
        // Stopped while running: libcurl closes its connection, so nothing more arrives for it.
        curl_multi_remove_handle(multiOf(m_multi), transfer->easy);
        transfer->inMulti = false;
    }
    const auto cannotWrite = [&] {
        ok = false;
        failure = errno == ENOSPC || errno == EDQUOT ? TransferFailure::DiskFull : TransferFailure::CannotWrite;
        text = QStringLiteral("cannot write ") + transfer->request.job.target;
    };
    // An empty answer still makes a file.
    if (ok && transfer->fd < 0 && !openPart(transfer))
        cannotWrite();
    if (transfer->fd >= 0 && ::close(transfer->fd) != 0 && ok)
        cannotWrite();
    transfer->fd = -1;
    const int id = transfer->request.id;
    {
        std::lock_guard lock(m_mutex);
        // A stopped job's part is gone already; otherwise the part becomes the file or goes.
        if (m_openParts.erase(id)) {
            // rename(2) replaces an existing target in one step (a name listed twice arrives twice).
            if (ok && std::rename(transfer->partPath.c_str(),
                                  QFile::encodeName(transfer->request.job.target).constData()) != 0)
                cannotWrite();
            if (!ok)
                ::unlink(transfer->partPath.c_str());
        }
        // Stops the rest of its update as well; the run loop ends the others.
        if (!ok && stopsUpdate(failure) && transfer->request.update == m_update &&
            m_updateStop == TransferFailure::None)
            m_updateStop = failure;
        // Told under the same lock as the rename: a stop that comes later sees the file as done.
        postFinished(transfer, ok ? TransferFailure::None : failure, text);
    }
    // Handles are kept for the next jobs: making one anew for each small file costs more than
    // the file itself.
    if (transfer->easy) {
        curl_easy_setopt(transfer->easy, CURLOPT_ERRORBUFFER, nullptr);
        if (m_idleHandles.size() < size_t(kHostConnections) * 4)
            m_idleHandles.push_back(transfer->easy);
        else
            curl_easy_cleanup(transfer->easy);
    }
    std::erase(m_active, transfer);
    delete transfer;
}

} // namespace zv::update
