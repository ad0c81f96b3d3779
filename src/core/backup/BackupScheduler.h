#pragma once

#include "core/backup/BackupRunner.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace zv::backup {

// Takes the daily backup: a minute after the start, and then every hour while the program runs,
// when none was taken today and the catalogue changed since the last one. In the background, always.
class BackupScheduler : public QObject
{
    Q_OBJECT

public:
    explicit BackupScheduler(QString cataloguePath, QObject *parent = nullptr);
    ~BackupScheduler() override;

    void start();
    // Checks now, as the hourly timer does.
    void check();
    // Why the last backup it tried was skipped, or empty.
    const QString &note() const { return m_note; }

    // The scheduler of the running program, if any.
    static BackupScheduler *instance();

signals:
    void backupFinished();

private:
    QString m_cataloguePath;
    QTimer m_timer;
    std::unique_ptr<BackupRunner> m_runner;
    QString m_note;
};

} // namespace zv::backup
