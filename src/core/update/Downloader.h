#pragma once

#include "core/update/TransferFailure.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace zv::update {

class TransferThread;

// What is being fetched decides how large it may be, so a hostile server cannot fill the disk.
enum class FileKind { List, Entry, VersionFile, Archive };
qint64 sizeCap(FileKind kind);

// An update begins with its list file (a catalogue update) or its version file (a program update);
// the jobs enqueued after it, up to the next such file, are that update's.
// The list and entry files of one catalogue update together: many times the largest catalogue
// ever published, far less than a disk. Beyond it the update stops (UpdateTooLarge).
inline constexpr qint64 kCatalogueUpdateCap = 128LL << 20;
// The free space a download leaves on its disk for everything else: 2 % of the disk, at least
// 16 MB and at most 512 MB. A catalogue update also keeps room for adding its entries to the
// catalogue (twice their bytes: a Cyrillic letter takes two in the catalogue). Below that the
// update stops (DiskFull), before the first byte is written as well as between any two.
qint64 freeSpaceReserve(qint64 diskBytes);
inline constexpr int kCatalogueRoomFactor = 2;
// The least rate a transfer must keep over the time-out, 3 s at least (libcurl's low-speed limit), and the
// longest one file may take, whatever it trickles: past either the server is too slow (TooSlow).
inline constexpr long kLeastBytesPerSecond = 512;
int fileDeadlineMs(FileKind kind);

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
    // The file's bytes also come with arrived(), so that the caller need not read them back
    // (unless many megabytes of them already wait to be taken: then the caller reads the file).
    bool keepBytes = false;
};

// Fetches whole files over http, https or from a local folder (file://), through libcurl: proxies
// from http_proxy/https_proxy/no_proxy, HTTP/2 where the server offers it, compressed answers,
// connections kept alive and shared. A job succeeds only when a complete 2xx answer has been
// written whole; the file is written under a temporary name and renamed at the end, so a failed
// or aborted job leaves no file at the target. The transfers run on a thread of their own; the
// signals arrive on the caller's thread, from its event loop. A few jobs run at once, the rest wait.
class Downloader : public QObject
{
    Q_OBJECT

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Time-out for connecting, for silence during a transfer, and the window over which the least
    // rate is measured. Tests shorten the default.
    static void setDefaultTimeout(int ms);
    static int defaultTimeout();
    // Tests only: trust the certificates of this PEM file instead of the system's.
    static void setCertificateAuthorities(const QString &pemFile);
    // These apply to the jobs enqueued afterwards.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    // Tests only: one deadline for every file instead of fileDeadlineMs(kind); 0 goes back.
    void setDeadline(int ms) { m_deadlineMs = ms; }
    void setMaxParallel(int jobs);
    // Where unfinished files are written (made when needed). Without one they lie beside their
    // target under a hidden name; a folder whose every name may be an entry needs one of its own.
    void setPartFolder(const QString &folder) { m_partFolder = folder; }

    // Returns the job's id; finished(id, ok) follows later, never from within this call.
    int enqueue(const DownloadJob &job);
    // Stops every job at once; each unfinished job reports failure and leaves no file.
    void abortAll();
    bool isIdle() const { return m_pending.isEmpty(); }
    // Why the last failed job failed: for diagnostics, and in the user's terms.
    QString lastError() const { return m_lastError; }
    TransferFailure lastFailure() const { return m_lastFailure; }

signals:
    void jobStarted(int id, const DownloadJob &job);
    // Right before finished(id, true), for a job that keeps its bytes: what the file holds.
    // Not sent when the bytes were not kept (see keepBytes).
    void arrived(int id, const QByteArray &bytes);
    // Right before finished(id, false): why. When stopsUpdate(why), every other job of the same
    // update fails with the same reason, and any enqueued for it later fails at once.
    void failed(int id, zv::update::TransferFailure why);
    void finished(int id, bool ok);
    void idle();

private:
    // Emits what the transfer thread has reported since the last call.
    void deliver();
    void report(int id, TransferFailure failure, const QString &why, const QByteArray *bytes = nullptr);

    struct Undelivered;

    std::unique_ptr<TransferThread> m_transfers;
    std::unique_ptr<Undelivered> m_undelivered; // taken from the thread, not yet reported
    QHash<int, DownloadJob> m_pending;          // enqueued and not reported finished
    QString m_partFolder;
    int m_nextId = 1;
    int m_update = 0; // the update the next job belongs to
    int m_timeoutMs;
    int m_deadlineMs = 0;
    QString m_lastError;
    TransferFailure m_lastFailure = TransferFailure::None;
};

} // namespace zv::update
