#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <QUrl>

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

// Fetches whole files over http, https or from a local folder (file://), through libcurl: proxies
// from http_proxy/https_proxy/no_proxy, HTTP/2 where the server offers it, compressed answers,
// connections kept alive and shared. A job succeeds only when a complete 2xx answer has been
// written whole; the file is written under a temporary name and renamed at the end, so a failed
// or aborted job leaves no file at the target. Works asynchronously on the caller's thread, driven
// by its event loop; a few jobs run at once, the rest wait.
class Downloader : public QObject
{
    Q_OBJECT

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Time-out for connecting and for silence during a transfer. Tests shorten the default.
    static void setDefaultTimeout(int ms);
    static int defaultTimeout();
    // Tests only: trust the certificates of this PEM file instead of the system's.
    static void setCertificateAuthorities(const QString &pemFile);
    void setTimeout(int ms) { m_timeoutMs = ms; }
    void setMaxParallel(int jobs) { m_maxParallel = qMax(1, jobs); }
    // Where unfinished files are written (made when needed). Without one they lie beside their
    // target under a hidden name; a folder whose every name may be an entry needs one of its own.
    void setPartFolder(const QString &folder) { m_partFolder = folder; }

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
    struct Socket;

    // libcurl's calls into the event loop (CURL and CURLM are void, curl_socket_t is int here).
    static int socketCallback(void *easy, int fd, int what, void *self, void *socketData);
    static int timerCallback(void *multi, long ms, void *self);

    void *newHandle();
    void openMulti();
    void closeMulti();
    void scheduleStart();
    void startNext();
    void start(Transfer *transfer, const QUrl &url);
    void onSocket(int fd, int flags);
    void onCurlTimer();
    void drive(int fd, int flags);
    void collectDone();
    void onDone(Transfer *transfer, int code);
    void checkSilence();
    bool openPart(Transfer *transfer);
    // Drops what a transfer has written so far, before it starts over from another address.
    void discardPart(Transfer *transfer);
    void fail(Transfer *transfer, const QString &why);
    void complete(Transfer *transfer, bool ok);
    void reap();

    void *m_multi = nullptr;
    QTimer m_curlTimer;
    // Ticks while transfers run and fails those that have heard nothing for the time-out.
    QTimer m_watchdog;
    QElapsedTimer m_clock;
    QList<Socket *> m_sockets;
    QList<void *> m_idleHandles; // easy handles of finished jobs, ready for the next ones
    QQueue<std::pair<int, DownloadJob>> m_waiting;
    QHash<int, Transfer *> m_active;
    QList<Transfer *> m_finishedTransfers;
    QString m_partFolder;
    int m_nextId = 1;
    bool m_startScheduled = false;
    bool m_timeoutDue = false; // libcurl asked to be called again at once
    int m_timeoutMs;
    // More jobs than connections: each waits inside libcurl for a free connection or, over
    // HTTP/2, shares one, so no connection ever idles between two files.
    int m_maxParallel = 24;
    QString m_lastError;
};

} // namespace zv::update
