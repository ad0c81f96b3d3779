#include "core/update/Downloader.h"

#include "core/update/HttpClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cstdio>

namespace zv::update {

namespace {

int g_defaultTimeoutMs = 30000;
constexpr int kMaxRedirects = 5;
constexpr qint64 kCopyChunk = 256 * 1024;

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

// More than this of an error page or redirect note is not an honest answer.
constexpr qint64 kErrorBodyCap = 64 * 1024;

struct Downloader::Transfer : HttpReceiver
{
    void httpHead(int status, qint64 length, const QByteArray &location) override
    {
        httpStatus = status;
        redirect = status >= 300 && status < 400 && !location.isEmpty() ? location : QByteArray();
        owner->timer(this);
        if (status >= 200 && status < 300 && length > sizeCap(job.kind))
            owner->fail(this, QStringLiteral("too large"));
    }
    void httpBody(const QByteArray &data) override
    {
        owner->timer(this);
        // Only the body of a 2xx answer is the file; error pages and redirect notes are not,
        // and a server that never stops sending one is cut off.
        if (httpStatus >= 200 && httpStatus < 300) {
            owner->write(this, data);
        } else {
            discarded += data.size();
            if (discarded > kErrorBodyCap)
                owner->fail(this, QStringLiteral("endless error answer"));
        }
    }
    void httpDone(bool ok, const QString &error) override { owner->onHttpDone(this, ok, error); }

    Downloader *owner = nullptr;
    int id = 0;
    DownloadJob job;
    QNetworkReply *reply = nullptr;
    std::unique_ptr<QFile> part;
    QTimer timer;
    qint64 received = 0;
    qint64 discarded = 0; // bytes of a non-2xx answer's body
    bool triedFallback = false;
    bool viaHttp = false; // the request is with m_http
    int httpStatus = 0;
    QByteArray redirect;
    QUrl url; // the address being fetched now
    int redirects = 0;
    bool done = false;
};

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_http(new HttpClient(this))
    , m_timeoutMs(g_defaultTimeoutMs)
{
    // Entry files come fresh every time; a cache would only hide what the server holds.
    m_network->setCache(nullptr);
}

Downloader::~Downloader()
{
    abortAll();
    reap();
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

int Downloader::enqueue(const DownloadJob &job)
{
    const int id = m_nextId++;
    m_waiting.enqueue({id, job});
    // Started from the event loop, so finished() never arrives before the caller has the id.
    QMetaObject::invokeMethod(this, &Downloader::startNext, Qt::QueuedConnection);
    return id;
}

void Downloader::startNext()
{
    while (m_active.size() < m_maxParallel && !m_waiting.isEmpty()) {
        auto [id, job] = m_waiting.dequeue();
        auto *transfer = new Transfer;
        transfer->owner = this;
        transfer->id = id;
        transfer->job = job;
        transfer->timer.setSingleShot(true);
        connect(&transfer->timer, &QTimer::timeout, this,
                [this, transfer] { fail(transfer, QStringLiteral("time-out")); });
        m_active.insert(id, transfer);
        emit jobStarted(id, job);
        if (transfer->done) // aborted from a jobStarted handler
            continue;
        const QString scheme = job.url.scheme().toLower();
        if (job.url.isLocalFile())
            copyLocal(transfer);
        else if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            startNetwork(transfer, job.url);
        else
            fail(transfer, QStringLiteral("unsupported address"));
    }
}

bool Downloader::openPart(Transfer *transfer)
{
    const QFileInfo target(transfer->job.target);
    // Hidden, so a listing of the folder never takes an unfinished file for a finished one.
    const QString partName = target.absolutePath() + QStringLiteral("/.zvpart-") +
                             QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
                             QString::number(transfer->id);
    transfer->part = std::make_unique<QFile>(partName);
    if (!transfer->part->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        transfer->part.reset();
        return false;
    }
    return true;
}

void Downloader::startNetwork(Transfer *transfer, const QUrl &url)
{
    transfer->url = url;
    transfer->httpStatus = 0;
    transfer->redirect.clear();
    if (url.scheme().toLower() == QLatin1String("http")) {
        transfer->viaHttp = true;
        m_http->setTimeout(m_timeoutMs);
        m_http->get(url, transfer);
        transfer->timer.start(m_timeoutMs);
    } else {
        startQnam(transfer, url);
    }
}

void Downloader::timer(Transfer *transfer)
{
    transfer->timer.start(m_timeoutMs);
}

void Downloader::write(Transfer *transfer, const QByteArray &chunk)
{
    if (transfer->done)
        return;
    transfer->received += chunk.size();
    if (transfer->received > sizeCap(transfer->job.kind)) {
        fail(transfer, QStringLiteral("too large"));
        return;
    }
    // The part file is made only once there is something to keep.
    if (!transfer->part && !openPart(transfer)) {
        fail(transfer, QStringLiteral("cannot write ") + transfer->job.target);
        return;
    }
    if (transfer->part->write(chunk) != chunk.size())
        fail(transfer, QStringLiteral("cannot write ") + transfer->job.target);
}

void Downloader::onHttpDone(Transfer *transfer, bool ok, const QString &error)
{
    transfer->viaHttp = false;
    if (transfer->done)
        return;
    if (!ok) {
        fail(transfer, error);
        return;
    }
    const int status = transfer->httpStatus;
    if (!transfer->redirect.isEmpty()) {
        if (++transfer->redirects > kMaxRedirects) {
            fail(transfer, QStringLiteral("too many redirects"));
            return;
        }
        const QUrl next = transfer->url.resolved(QUrl::fromEncoded(transfer->redirect));
        const QString scheme = next.scheme().toLower();
        // From http only http and https are as safe; a server must never lead to a local file.
        if (!next.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            fail(transfer, QStringLiteral("redirect to a less safe address"));
            return;
        }
        discardPart(transfer);
        startNetwork(transfer, next);
        return;
    }
    if (status == 404 && !transfer->triedFallback && transfer->job.fallbackUrl.isValid()) {
        transfer->triedFallback = true;
        discardPart(transfer);
        startNetwork(transfer, transfer->job.fallbackUrl);
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

void Downloader::startQnam(Transfer *transfer, const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects - transfer->redirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply *reply = m_network->get(request);
    transfer->reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, transfer] { onReadyRead(transfer); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, transfer] {
        const qint64 length = transfer->reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (length > sizeCap(transfer->job.kind))
            fail(transfer, QStringLiteral("too large"));
        else
            transfer->timer.start(m_timeoutMs);
    });
    connect(reply, &QNetworkReply::redirected, this, [this, transfer] { transfer->timer.start(m_timeoutMs); });
    connect(reply, &QNetworkReply::finished, this, [this, transfer] { onFinished(transfer); });
    transfer->timer.start(m_timeoutMs);
}

void Downloader::onReadyRead(Transfer *transfer)
{
    if (transfer->done)
        return;
    transfer->timer.start(m_timeoutMs);
    write(transfer, transfer->reply->readAll());
}

void Downloader::onFinished(Transfer *transfer)
{
    if (transfer->done)
        return;
    QNetworkReply *reply = transfer->reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404 && !transfer->triedFallback && transfer->job.fallbackUrl.isValid()) {
        transfer->triedFallback = true;
        reply->disconnect(this);
        reply->deleteLater();
        transfer->reply = nullptr;
        discardPart(transfer);
        startNetwork(transfer, transfer->job.fallbackUrl);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(transfer, reply->errorString());
        return;
    }
    if (status < 200 || status > 299) {
        fail(transfer, QStringLiteral("HTTP status ") + QString::number(status));
        return;
    }
    onReadyRead(transfer);
    if (transfer->done)
        return;
    complete(transfer, true);
}

void Downloader::copyLocal(Transfer *transfer)
{
    QFile source(transfer->job.url.toLocalFile());
    const QFileInfo info(source);
    if (!info.isFile() || !source.open(QIODevice::ReadOnly)) {
        fail(transfer, QStringLiteral("not found"));
        return;
    }
    if (source.size() > sizeCap(transfer->job.kind)) {
        fail(transfer, QStringLiteral("too large"));
        return;
    }
    if (!openPart(transfer)) {
        fail(transfer, QStringLiteral("cannot write ") + transfer->job.target);
        return;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kCopyChunk);
        transfer->received += chunk.size();
        if (chunk.isEmpty() || transfer->received > sizeCap(transfer->job.kind) ||
            transfer->part->write(chunk) != chunk.size()) {
            fail(transfer, QStringLiteral("copy failed"));
            return;
        }
    }
    // Reported from the event loop, as a network job would be.
    QMetaObject::invokeMethod(
        this, [this, transfer] { complete(transfer, true); }, Qt::QueuedConnection);
    transfer->timer.stop();
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
    transfer->timer.stop();
    if (transfer->viaHttp) {
        transfer->viaHttp = false;
        m_http->cancel(transfer);
    }
    if (transfer->reply) {
        transfer->reply->disconnect(this);
        transfer->reply->abort();
        transfer->reply->deleteLater();
        transfer->reply = nullptr;
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
    const int id = transfer->id;
    m_active.remove(id);
    // The transfer may be inside one of its own signal handlers; delete it from the event loop.
    m_finishedTransfers.append(transfer);
    QMetaObject::invokeMethod(this, &Downloader::reap, Qt::QueuedConnection);
    emit finished(id, ok);
    if (!m_waiting.isEmpty())
        QMetaObject::invokeMethod(this, &Downloader::startNext, Qt::QueuedConnection);
    else if (m_active.isEmpty())
        emit idle();
}

void Downloader::abortAll()
{
    const QList<std::pair<int, DownloadJob>> waiting(m_waiting.begin(), m_waiting.end());
    m_waiting.clear();
    for (Transfer *transfer : m_active.values())
        fail(transfer, QStringLiteral("aborted"));
    for (const auto &[id, job] : waiting)
        emit finished(id, false);
}

} // namespace zv::update
