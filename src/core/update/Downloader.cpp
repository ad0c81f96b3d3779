#include "core/update/Downloader.h"

#include "core/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cstdio>
#include <curl/curl.h>
#include <memory>
#include <utility>

namespace zv::update {

namespace {

int g_defaultTimeoutMs = 30000;
QByteArray g_certificateAuthorities;
constexpr long kMaxRedirects = 5;
// As many connections to one host as a browser opens; over HTTP/2 one carries them all.
constexpr long kHostConnections = 6;
// More than this of an error page is not an honest answer.
constexpr qint64 kErrorBodyCap = 64 * 1024;

const QByteArray kUserAgent = QByteArray("Zorvanell/") + zv::version::kFull;

void initCurl()
{
    static const bool once = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    Q_UNUSED(once);
}

CURLM *multiOf(void *multi)
{
    return static_cast<CURLM *>(multi);
}

} // namespace

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

struct Downloader::Socket
{
    int fd = -1;
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;
};

struct Downloader::Transfer
{
    ~Transfer()
    {
        if (easy)
            curl_easy_cleanup(easy);
    }

    void touch() { lastActivity = owner->m_clock.elapsed(); }
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
            if (length > sizeCap(t->job.kind)) {
                t->failure = QStringLiteral("too large");
                return 0;
            }
        }
        return size;
    }

    static size_t onBody(char *data, size_t, size_t size, void *self)
    {
        auto *t = static_cast<Transfer *>(self);
        t->touch();
        // Only the body of a 2xx answer is the file; an error page is not, and a server that
        // never stops sending one is cut off.
        if (!t->success()) {
            t->discarded += qint64(size);
            if (t->discarded <= kErrorBodyCap)
                return size;
            t->failure = QStringLiteral("endless error answer");
            return 0;
        }
        t->received += qint64(size);
        if (t->received > sizeCap(t->job.kind)) {
            t->failure = QStringLiteral("too large");
            return 0;
        }
        // The part file is made only once there is something to keep.
        if ((!t->part && !t->owner->openPart(t)) || t->part->write(data, qint64(size)) != qint64(size)) {
            t->failure = QStringLiteral("cannot write ") + t->job.target;
            return 0;
        }
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

    Downloader *owner = nullptr;
    int id = 0;
    DownloadJob job;
    CURL *easy = nullptr;
    bool inMulti = false;
    std::unique_ptr<QFile> part;
    qint64 received = 0;
    qint64 discarded = 0; // bytes of a non-2xx answer's body
    qint64 lastActivity = 0;
    bool connected = false;
    bool local = false; // file://
    bool triedFallback = false;
    bool done = false;
    QString failure; // why a callback stopped the transfer
    char error[CURL_ERROR_SIZE] = {};
};

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_timeoutMs(g_defaultTimeoutMs)
{
    initCurl();
    m_clock.start();
    m_curlTimer.setSingleShot(true);
    connect(&m_curlTimer, &QTimer::timeout, this, &Downloader::onCurlTimer);
    connect(&m_watchdog, &QTimer::timeout, this, &Downloader::checkSilence);
    openMulti();
}

Downloader::~Downloader()
{
    abortAll();
    reap();
    closeMulti();
    for (void *easy : std::as_const(m_idleHandles))
        curl_easy_cleanup(static_cast<CURL *>(easy));
}

void Downloader::openMulti()
{
    m_multi = curl_multi_init();
    CURLM *multi = multiOf(m_multi);
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Downloader::socketCallback);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Downloader::timerCallback);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kHostConnections);
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
}

void Downloader::closeMulti()
{
    // Closes every kept connection; libcurl still reports their sockets gone while it does.
    curl_multi_cleanup(multiOf(m_multi));
    m_multi = nullptr;
    m_curlTimer.stop();
    m_timeoutDue = false;
    for (Socket *socket : std::as_const(m_sockets)) {
        for (QSocketNotifier *notifier : {socket->read, socket->write}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        delete socket;
    }
    m_sockets.clear();
}

void Downloader::reap()
{
    qDeleteAll(m_finishedTransfers);
    m_finishedTransfers.clear();
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

int Downloader::socketCallback(void *, int fd, int what, void *self, void *socketData)
{
    auto *d = static_cast<Downloader *>(self);
    auto *socket = static_cast<Socket *>(socketData);
    if (what == CURL_POLL_REMOVE) {
        if (socket) {
            // The notifier may be the one whose signal is running now: it goes later.
            for (QSocketNotifier *notifier : {socket->read, socket->write}) {
                if (notifier) {
                    notifier->setEnabled(false);
                    notifier->deleteLater();
                }
            }
            d->m_sockets.removeOne(socket);
            delete socket;
        }
        return 0;
    }
    if (!socket) {
        socket = new Socket;
        socket->fd = fd;
        d->m_sockets.append(socket);
        curl_multi_assign(multiOf(d->m_multi), fd, socket);
    }
    const bool wantRead = what & CURL_POLL_IN;
    const bool wantWrite = what & CURL_POLL_OUT;
    if (wantRead && !socket->read) {
        socket->read = new QSocketNotifier(fd, QSocketNotifier::Read, d);
        connect(socket->read, &QSocketNotifier::activated, d, [d, fd] { d->onSocket(fd, CURL_CSELECT_IN); });
    }
    if (wantWrite && !socket->write) {
        socket->write = new QSocketNotifier(fd, QSocketNotifier::Write, d);
        connect(socket->write, &QSocketNotifier::activated, d, [d, fd] { d->onSocket(fd, CURL_CSELECT_OUT); });
    }
    if (socket->read)
        socket->read->setEnabled(wantRead);
    if (socket->write)
        socket->write->setEnabled(wantWrite);
    return 0;
}

int Downloader::timerCallback(void *, long ms, void *self)
{
    auto *d = static_cast<Downloader *>(self);
    d->m_timeoutDue = ms == 0;
    if (ms < 0)
        d->m_curlTimer.stop();
    else
        d->m_curlTimer.start(int(qMin(ms, long(24 * 3600 * 1000))));
    return 0;
}

void Downloader::onSocket(int fd, int flags)
{
    drive(fd, flags);
}

void Downloader::onCurlTimer()
{
    drive(CURL_SOCKET_TIMEOUT, 0);
}

void Downloader::drive(int fd, int flags)
{
    int running = 0;
    curl_multi_socket_action(multiOf(m_multi), fd, flags, &running);
    collectDone();
    // What libcurl wants done at once (a waiting transfer taking over the connection another
    // has just left) is done now, not one turn of the event loop later.
    for (int round = 0; round < 8 && m_timeoutDue; ++round) {
        m_timeoutDue = false;
        m_curlTimer.stop();
        curl_multi_socket_action(multiOf(m_multi), CURL_SOCKET_TIMEOUT, 0, &running);
        collectDone();
    }
}

void Downloader::collectDone()
{
    // Handlers of finished() may abort or start others; take the list first, act after.
    QList<std::pair<Transfer *, int>> done;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multiOf(m_multi), &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        char *data = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &data);
        done.append({reinterpret_cast<Transfer *>(data), int(message->data.result)});
    }
    for (const auto &[transfer, code] : done) {
        // Compared by address only: one that a handler finished may be gone already.
        if (m_active.key(transfer, 0) != 0)
            onDone(transfer, code);
    }
}

int Downloader::enqueue(const DownloadJob &job)
{
    const int id = m_nextId++;
    m_waiting.enqueue({id, job});
    // Started from the event loop, so finished() never arrives before the caller has the id.
    scheduleStart();
    return id;
}

void Downloader::scheduleStart()
{
    // One call for many jobs: ten thousand enqueued at once post one event, not ten thousand.
    if (m_startScheduled)
        return;
    m_startScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_startScheduled = false;
            startNext();
        },
        Qt::QueuedConnection);
}

void Downloader::startNext()
{
    while (m_active.size() < m_maxParallel && !m_waiting.isEmpty()) {
        auto [id, job] = m_waiting.dequeue();
        auto *transfer = new Transfer;
        transfer->owner = this;
        transfer->id = id;
        transfer->job = job;
        m_active.insert(id, transfer);
        emit jobStarted(id, job);
        if (transfer->done) // aborted from a jobStarted handler
            continue;
        CURL *easy = m_idleHandles.isEmpty() ? newHandle() : static_cast<CURL *>(m_idleHandles.takeLast());
        if (!easy) {
            fail(transfer, QStringLiteral("out of memory"));
            continue;
        }
        transfer->easy = easy;
        curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_timeoutMs));
        if (!g_certificateAuthorities.isEmpty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, g_certificateAuthorities.constData());
        start(transfer, job.url);
    }
    if (!m_active.isEmpty() && !m_watchdog.isActive())
        m_watchdog.start(qBound(20, m_timeoutMs / 10, 1000));
}

void *Downloader::newHandle()
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

void Downloader::start(Transfer *transfer, const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    transfer->local = scheme == QLatin1String("file");
    if (transfer->local) {
        // Only a regular file is an entry: a pipe would keep the copy waiting, a folder is none.
        const QFileInfo info(url.toLocalFile());
        if (!info.isFile()) {
            fail(transfer, QStringLiteral("not found"));
            return;
        }
        if (info.size() > sizeCap(transfer->job.kind)) {
            fail(transfer, QStringLiteral("too large"));
            return;
        }
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        fail(transfer, QStringLiteral("unsupported address"));
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
        fail(transfer, QStringLiteral("cannot start"));
        return;
    }
    transfer->inMulti = true;
}

void Downloader::checkSilence()
{
    const qint64 now = m_clock.elapsed();
    // Before a connection carries the request libcurl's own connect time-out applies.
    for (Transfer *transfer : m_active.values()) {
        if (transfer->connected && now - transfer->lastActivity > m_timeoutMs)
            fail(transfer, QStringLiteral("time-out"));
    }
}

bool Downloader::openPart(Transfer *transfer)
{
    QString partName;
    const QString unique =
        QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') + QString::number(transfer->id);
    if (!m_partFolder.isEmpty())
        partName = m_partFolder + QLatin1Char('/') + unique + QStringLiteral(".part");
    else
        partName = QFileInfo(transfer->job.target).absolutePath() + QStringLiteral("/.zvpart-") + unique;
    transfer->part = std::make_unique<QFile>(partName);
    constexpr QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate;
    // The folder is made when the first part finds it missing, not looked for each time.
    if (transfer->part->open(mode) ||
        (!m_partFolder.isEmpty() && QDir().mkpath(m_partFolder) && transfer->part->open(mode)))
        return true;
    transfer->part.reset();
    return false;
}

void Downloader::onDone(Transfer *transfer, int code)
{
    curl_multi_remove_handle(multiOf(m_multi), transfer->easy);
    transfer->inMulti = false;
    if (code != CURLE_OK) {
        QString why = transfer->failure;
        if (why.isEmpty())
            why = transfer->error[0] ? QString::fromLocal8Bit(transfer->error)
                                     : QString::fromLatin1(curl_easy_strerror(CURLcode(code)));
        fail(transfer, why);
        return;
    }
    if (transfer->local) {
        complete(transfer, true);
        return;
    }
    long status = 0;
    curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status == 404 && !transfer->triedFallback && transfer->job.fallbackUrl.isValid()) {
        transfer->triedFallback = true;
        discardPart(transfer);
        start(transfer, transfer->job.fallbackUrl);
        return;
    }
    if (status < 200 || status > 299) {
        fail(transfer, QStringLiteral("HTTP status ") + QString::number(status));
        return;
    }
    complete(transfer, true);
}

void Downloader::discardPart(Transfer *transfer)
{
    if (!transfer->part)
        return;
    transfer->part->remove();
    transfer->part.reset();
    transfer->received = 0;
}

void Downloader::fail(Transfer *transfer, const QString &why)
{
    if (transfer->done)
        return;
    m_lastError = transfer->job.url.toString() + QStringLiteral(": ") + why;
    complete(transfer, false);
}

void Downloader::complete(Transfer *transfer, bool ok)
{
    if (transfer->done)
        return;
    transfer->done = true;
    if (transfer->inMulti) {
        // Stopped while running: libcurl closes its connection, so nothing more arrives for it.
        curl_multi_remove_handle(multiOf(m_multi), transfer->easy);
        transfer->inMulti = false;
    }
    // An empty answer still makes a file.
    if (ok && !transfer->part && !openPart(transfer))
        ok = false;
    if (transfer->part) {
        ok = ok && transfer->part->flush();
        transfer->part->close();
        // rename(2) replaces an existing target in one step (a name listed twice arrives twice).
        if (ok)
            ok = std::rename(QFile::encodeName(transfer->part->fileName()).constData(),
                             QFile::encodeName(transfer->job.target).constData()) == 0;
        if (!ok)
            transfer->part->remove();
        transfer->part.reset();
    }
    // Handles are kept for the next jobs: making one anew for each small file costs more than
    // the file itself.
    if (transfer->easy && m_idleHandles.size() < m_maxParallel) {
        curl_easy_setopt(transfer->easy, CURLOPT_ERRORBUFFER, nullptr);
        m_idleHandles.append(std::exchange(transfer->easy, nullptr));
    }
    const int id = transfer->id;
    m_active.remove(id);
    // The transfer may be inside one of its own signal handlers; delete it from the event loop.
    m_finishedTransfers.append(transfer);
    if (m_finishedTransfers.size() == 1)
        QMetaObject::invokeMethod(this, &Downloader::reap, Qt::QueuedConnection);
    if (m_active.isEmpty())
        m_watchdog.stop();
    emit finished(id, ok);
    if (!m_waiting.isEmpty())
        scheduleStart();
    else if (m_active.isEmpty())
        emit idle();
}

void Downloader::abortAll()
{
    const QList<std::pair<int, DownloadJob>> waiting(m_waiting.begin(), m_waiting.end());
    m_waiting.clear();
    const bool running = !m_active.isEmpty();
    for (Transfer *transfer : m_active.values())
        fail(transfer, QStringLiteral("aborted"));
    // A stream of an HTTP/2 connection is only reset once that connection is used again, so the
    // server would go on sending; closing the connections stops it now.
    if (running && m_active.isEmpty()) {
        closeMulti();
        openMulti();
    }
    for (const auto &[id, job] : waiting)
        emit finished(id, false);
}

} // namespace zv::update
