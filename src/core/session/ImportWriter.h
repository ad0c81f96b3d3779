#pragma once

#include "core/session/CatalogueSession.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

namespace zv {

// Writes an import batch on a thread of its own, so that the window that started it keeps
// reacting, and hands it to the session from the thread that made this object.
class ImportWriter : public QObject
{
    Q_OBJECT

public:
    ImportWriter(CatalogueSession &session, ImportBatch batch, QObject *parent = nullptr);
    // Cancels what still runs and waits for it, so the import is stored whole or not at all.
    ~ImportWriter() override;

    void start();
    void cancel() { m_cancel = true; }

signals:
    // `written` entries, or none with `failure` (empty when cancelled); `pictureFailure` says
    // what failed with the pictures.
    void finished(int written, const QString &failure, const QString &pictureFailure);

private:
    CatalogueSession &m_session;
    ImportBatch m_batch;
    std::atomic_bool m_cancel = false;
    std::thread m_thread;
};

} // namespace zv
