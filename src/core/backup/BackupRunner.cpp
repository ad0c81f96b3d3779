#include "core/backup/BackupRunner.h"

#include "core/INI.h"

#include <QElapsedTimer>
#include <QMetaObject>

namespace zv::backup {

BackupRunner::BackupRunner(Request request, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
{
}

BackupRunner::~BackupRunner()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackupRunner::start()
{
    m_thread = std::thread([this] {
        Request request = m_request;
        QElapsedTimer sinceShown;
        request.progress = [this, &sinceShown](int percent) {
            if (percent < 100 && sinceShown.isValid() && sinceShown.elapsed() < 100)
                return;
            sinceShown.start();
            QMetaObject::invokeMethod(
                this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
        };
        const Outcome outcome = takeBackup(request);
        QMetaObject::invokeMethod(
            this, [this, outcome] { report(outcome); }, Qt::QueuedConnection);
    });
}

void BackupRunner::report(const Outcome &outcome)
{
    m_thread.join();
    emit finished(outcome);
}

QString backUpBeforeUpdate(const QString &cataloguePath)
{
    Request request;
    request.cataloguePath = cataloguePath;
    request.optionsPath = optionsPath();
    request.backupsFolder = backupsFolder(cataloguePath);
    request.reason = Reason::BeforeUpdate;
    return takeBackup(request).message;
}

} // namespace zv::backup
