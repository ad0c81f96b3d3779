#include "core/session/BatchWriter.h"

#include "core/backup/BackupRunner.h"

#include <QElapsedTimer>

#include <exception>

namespace zv {

BatchWriter::BatchWriter(UpdateBatch batch, QString folder, QStringList files, update::ArrivedTexts texts,
                         QObject *parent)
    : QObject(parent)
    , m_batch(std::move(batch))
    , m_folder(std::move(folder))
    , m_files(std::move(files))
    , m_texts(std::move(texts))
{
}

BatchWriter::~BatchWriter()
{
    cancel();
    // A report still queued goes with this object.
    if (m_thread.joinable())
        m_thread.join();
}

void BatchWriter::start()
{
    m_thread = std::thread(&BatchWriter::work, this);
}

void BatchWriter::cancel()
{
    m_cancel = true;
}

void BatchWriter::work()
{
    Outcome outcome = Outcome::Failed;
    QString failure;
    QString last;
    QElapsedTimer sinceShown;
    const auto beforeEach = [&](const QString &name) {
        last = name;
        // A few times a second is all a person can read; thousands of queued texts would only
        // hold up the window.
        if (sinceShown.isValid() && sinceShown.elapsed() < 40)
            return;
        sinceShown.start();
        QMetaObject::invokeMethod(
            this, [this, name] { emit adding(name); }, Qt::QueuedConnection);
    };
    // The catalogue as it was before the update can be taken back.
    m_backupNote = backup::backUpBeforeUpdate(m_batch.cataloguePath());
    try {
        outcome =
            m_batch.run(m_folder, m_files, beforeEach, &m_texts, &m_cancel) ? Outcome::Written : Outcome::Cancelled;
    } catch (const CatalogueError &e) {
        failure = e.message();
    } catch (const std::exception &) {
        failure = QStringLiteral("Не удалось записать новые записи в каталог.");
    }
    QMetaObject::invokeMethod(
        this, [this, outcome, failure, last] { report(outcome, failure, last); }, Qt::QueuedConnection);
}

void BatchWriter::report(Outcome outcome, const QString &failure, const QString &last)
{
    m_thread.join();
    if (outcome == Outcome::Written && !last.isEmpty())
        emit adding(last);
    emit finished(outcome, failure);
}

} // namespace zv
