#include "core/interchange/ImportPreview.h"

namespace zv::interchange {

ImportPreview::ImportPreview(QString path, QString cataloguePath, ShownNames shown, QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
    , m_cataloguePath(std::move(cataloguePath))
    , m_shown(std::move(shown))
{
}

ImportPreview::~ImportPreview()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ImportPreview::start()
{
    m_thread = std::thread([this] {
        QString failure;
        try {
            ReadResult read = readImportFile(m_path);
            failure = read.failure;
            if (read.ok())
                m_plan = planImport(OpenCatalogue(m_cataloguePath), std::move(read), m_shown);
        } catch (const CatalogueError &error) {
            failure = error.message();
        }
        // The copy of the list is let go here, not on the window's thread.
        m_shown = {};
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                m_thread.join();
                emit finished(failure);
            },
            Qt::QueuedConnection);
    });
}

} // namespace zv::interchange
