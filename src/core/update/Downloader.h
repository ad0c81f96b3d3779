#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace zv::update {
class HttpClient;
}

namespace zv::update {

// What is being fetched decides how large it may be, so a hostile server cannot fill the disk.
enum class FileKind { List, Entry, VersionFile, Archive };
qint64 sizeCap(FileKind kind);

struct DownloadJob
{
    DownloadJob() = default;
    DownloadJob(QUrl from, QString to, FileKind what, QUrl fallback = QUrl())
        : url(std::move(from))
        , target(std::move(to))
        , kind(what)
        , fallbackUrl(std::move(fallback))
    {
    }

    QUrl url;
    QString target; // full local path; its folder must exist
    FileKind kind = FileKind::Entry;
    QUrl fallbackUrl; // tried once when the server answers 404 to `url`
};

// Fetches whole files over http, https or from a local folder (file://). A job succeeds only
// when a complete 2xx answer has been written whole; the file is written under a hidden
// temporary name and renamed at the end, so a failed or aborted job leaves no file at the target.
// Works asynchronously on the caller's thread; a few jobs run at once, the rest wait.
class Downloader : public QObject
{
    Q_OBJECT

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Time-out for connecting and for silence during a transfer. Tests shorten the default.
    static void setDefaultTimeout(int ms);
    static int defaultTimeout();
    void setTimeout(int ms) { m_timeoutMs = ms; }
    void setMaxParallel(int jobs) { m_maxParallel = qMax(1, jobs); }

    // Returns the job's id; finished(id, ok) follows later, never from within this call.
    int enqueue(const DownloadJob &job);
    // Stops every job at once; each unfinished job reports failure and leaves no file.
    void abortAll();
    bool isIdle() const { return m_active.isEmpty() && m_waiting.isEmpty(); }
    // Why the last failed job failed, for diagnostics.
    QString lastError() const { return m_lastError; }

signals:
    void jobStarted(int id, const DownloadJob &job);
    void finished(int id, bool ok);
    void idle();

private:
    struct Transfer;

    void startNext();
    void startNetwork(Transfer *transfer, const QUrl &url);
    // Drops what a transfer has written so far, before it starts over from another address.
    void discardPart(Transfer *transfer);
    void startQnam(Transfer *transfer, const QUrl &url);
    void onHttpDone(Transfer *transfer, bool ok, const QString &error);
    void write(Transfer *transfer, const QByteArray &chunk);
    void timer(Transfer *transfer);
    void copyLocal(Transfer *transfer);
    void onReadyRead(Transfer *transfer);
    void onFinished(Transfer *transfer);
    void fail(Transfer *transfer, const QString &why);
    void complete(Transfer *transfer, bool ok);
    bool openPart(Transfer *transfer);
    void reap();

    QNetworkAccessManager *m_network = nullptr;
    // Plain http goes through a lighter client; https still through QNetworkAccessManager.
    HttpClient *m_http = nullptr;
    QQueue<std::pair<int, DownloadJob>> m_waiting;
    QHash<int, Transfer *> m_active;
    QList<Transfer *> m_finishedTransfers;
    int m_nextId = 1;
    int m_timeoutMs;
    // Six connections to one host, each with a few requests pipelined, keep the server busy.
    int m_maxParallel = 24;
    QString m_lastError;
};

} // namespace zv::update
