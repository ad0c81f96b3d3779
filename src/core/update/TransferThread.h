#pragma once

#include "core/update/Downloader.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zv::update {

// The transfers of one Downloader, run by libcurl on a thread of their own, polled the way the
// curl program polls them, so that thousands of small files cost the window's thread nothing.
// Everything here but the shared part below belongs to that thread.
class TransferThread
{
public:
    struct Request
    {
        int id = 0;
        DownloadJob job;
        int timeoutMs = 0;
        QString partFolder;
        QByteArray certificateAuthorities;
        int update = 0;     // the update the job belongs to (see Downloader.h)
        int deadlineMs = 0; // the longest the whole file may take
    };
    struct Event
    {
        enum class Kind { Started, Finished } kind = Kind::Started;
        int id = 0;
        bool ok = false;
        QString error;    // why a job failed
        QByteArray bytes; // a finished job's file, when it keeps its bytes
        bool bytesKept = false;
        TransferFailure failure = TransferFailure::None; // why, in the user's terms
    };

    // `wake` is called from this thread whenever events wait to be taken; it must return at once.
    explicit TransferThread(std::function<void()> wake);
    ~TransferThread(); // stops every transfer and waits for the thread

    void submit(Request request);
    void setMaxParallel(int jobs);
    // Every job submitted so far is stopped: no file of theirs is renamed into place after this
    // returns, and their unfinished parts are gone. Jobs that already finished keep their events.
    void abortAll();
    std::vector<Event> takeEvents();

private:
    struct Transfer;

    void run();
    void wakeThread();
    void startTaken(std::vector<Request> &taken);
    void begin(Transfer *transfer, const QUrl &url);
    void collectDone();
    void finishTransfer(Transfer *transfer, int code);
    void checkSilence();
    void dropAborted();
    // Counts a job into its update: a newer update starts with nothing counted and nothing stopped.
    void joinUpdate(const Request &request);
    bool inStoppedUpdate(const Transfer *transfer) const;
    // Ends the running jobs of an update that a failure has stopped.
    void endStoppedUpdate();
    // False, with the reason set, when writing `more` bytes would leave the disk too little.
    bool roomFor(Transfer *transfer, qint64 more);
    bool openPart(Transfer *transfer);
    void discardPart(Transfer *transfer);
    // Ends a job; TransferFailure::None is success.
    void end(Transfer *transfer, TransferFailure failure, const QString &why);
    void post(Event event);
    void postLocked(Event event);
    void postFinished(Transfer *transfer, TransferFailure failure, const QString &why);
    void flushEvents();
    void *newHandle();
    void openMulti();
    void closeMulti();
    bool isAborted(int id) const;

    // Shared between the two threads, under m_mutex.
    mutable std::mutex m_mutex;
    std::deque<Request> m_inbox;
    std::vector<Event> m_outbox;
    std::map<int, std::string> m_openParts; // job id -> unfinished file
    std::atomic<int> m_abortBelow = 0;      // jobs with a smaller id are stopped
    int m_submittedBelow = 0;               // one more than the largest id submitted
    qint64 m_keptWaiting = 0;               // kept bytes of events not taken yet
    int m_maxParallel = 6;
    bool m_stopping = false;
    bool m_wakePending = false;

    // The transfer thread's own.
    std::function<void()> m_wake;
    int m_wakeFd = -1; // an eventfd that ends the thread's wait
    void *m_multi = nullptr;
    std::vector<Transfer *> m_active;
    std::vector<void *> m_idleHandles;
    int m_abortSeen = 0;
    int m_update = 0;                                     // the newest update a job has started for
    qint64 m_updateBytes = 0;                             // what its list and entry files have brought so far
    TransferFailure m_updateStop = TransferFailure::None; // what stopped it, if anything
    std::thread m_thread;
};

} // namespace zv::update
