#include "core/session/ImportWriter.h"

namespace zv {

ImportWriter::ImportWriter(CatalogueSession &session, ImportBatch batch, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_batch(std::move(batch))
{
}

ImportWriter::~ImportWriter()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void ImportWriter::start()
{
    m_thread = std::thread([this] {
        bool written = false;
        QString failure;
        try {
            written = m_batch.run(&m_cancel);
        } catch (const CatalogueError &error) {
            failure = error.message();
        }
        QMetaObject::invokeMethod(
            this,
            [this, written, failure] {
                m_thread.join();
                const int count = written ? m_batch.written() : 0;
                const QString pictureFailure = m_batch.pictureFailure();
                if (written)
                    m_session.finishImport(std::move(m_batch));
                emit finished(count, failure, pictureFailure);
            },
            Qt::QueuedConnection);
    });
}

} // namespace zv
