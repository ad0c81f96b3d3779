#pragma once

#include "core/session/CatalogueSession.h"
#include "core/update/EntryImport.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

namespace zv {

// Writes an update batch on a thread of its own, so that the window that started it keeps
// reacting, and reports back on the thread that made it, from its event loop. The worker reads
// only what this object was given: the batch's snapshot of the list, the names and the texts.
class BatchWriter : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Written, Cancelled, Failed };

    // `files`: entry files of `folder` to add, in this order; `texts`: those already read.
    BatchWriter(UpdateBatch batch, QString folder, QStringList files, update::ArrivedTexts texts,
                QObject *parent = nullptr);
    // Cancels what still runs and waits for it, so the batch is stored whole or not at all.
    ~BatchWriter() override;

    void start();
    // What was written so far is taken back, unless the batch is being committed already;
    // finished() tells which.
    void cancel();
    // After finished(Written): the batch for the session to show.
    UpdateBatch takeBatch() { return std::move(m_batch); }
    // After finished(): why the backup taken before the entries were written was skipped, or empty.
    const QString &backupNote() const { return m_backupNote; }

signals:
    // The entry being added: a few times a second at most, and the last one at the end.
    void adding(const QString &name);
    // `failure` says why, for Failed.
    void finished(zv::BatchWriter::Outcome outcome, const QString &failure);

private:
    void work();
    void report(Outcome outcome, const QString &failure, const QString &last);

    UpdateBatch m_batch;
    QString m_folder;
    QStringList m_files;
    update::ArrivedTexts m_texts;
    QString m_backupNote;
    std::atomic_bool m_cancel = false;
    std::thread m_thread;
};

} // namespace zv
