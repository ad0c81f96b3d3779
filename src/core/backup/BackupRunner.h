#pragma once

#include "core/backup/Backups.h"

#include <QObject>

#include <thread>

namespace zv::backup {

// Takes one backup on a thread of its own, so that the window that asked keeps reacting, and
// reports back on the thread that made it, from its event loop.
class BackupRunner : public QObject
{
    Q_OBJECT

public:
    explicit BackupRunner(Request request, QObject *parent = nullptr);
    // Waits for a backup still running: a copy is never left half made by us.
    ~BackupRunner() override;

    void start();
    bool running() const { return m_thread.joinable(); }

signals:
    // 0..100, a few times a second at most.
    void progress(int percent);
    void finished(const zv::backup::Outcome &outcome);

private:
    void report(const Outcome &outcome);

    Request m_request;
    std::thread m_thread;
};

// The backup before a catalogue update, taken on the thread that writes the update; the line
// for the user when it was skipped, or an empty text.
QString backUpBeforeUpdate(const QString &cataloguePath);

} // namespace zv::backup
