#include "core/backup/BackupScheduler.h"

#include "core/INI.h"

namespace zv::backup {

namespace {

BackupScheduler *g_instance = nullptr;
constexpr int kCheckEveryMs = 60 * 60 * 1000;
constexpr int kFirstCheckMs = 60 * 1000;

} // namespace

BackupScheduler::BackupScheduler(QString cataloguePath, QObject *parent)
    : QObject(parent)
    , m_cataloguePath(std::move(cataloguePath))
{
    g_instance = this;
    connect(&m_timer, &QTimer::timeout, this, &BackupScheduler::check);
}

BackupScheduler::~BackupScheduler()
{
    if (g_instance == this)
        g_instance = nullptr;
}

BackupScheduler *BackupScheduler::instance()
{
    return g_instance;
}

void BackupScheduler::start()
{
    m_timer.start(kCheckEveryMs);
    // A while after the start, so that the start and the first look around are not slowed.
    QTimer::singleShot(kFirstCheckMs, this, &BackupScheduler::check);
}

void BackupScheduler::check()
{
    if (m_runner)
        return;
    const QString folder = backupsFolder(m_cataloguePath);
    if (!dailyDue(listBackups(folder), m_cataloguePath, QDateTime::currentDateTime()))
        return;
    Request request;
    request.cataloguePath = m_cataloguePath;
    request.optionsPath = optionsPath();
    request.backupsFolder = folder;
    request.reason = Reason::Daily;
    m_runner = std::make_unique<BackupRunner>(request);
    connect(m_runner.get(), &BackupRunner::finished, this, [this](const Outcome &outcome) {
        m_note = outcome.message;
        m_runner.release()->deleteLater();
        emit backupFinished();
    });
    m_runner->start();
}

} // namespace zv::backup
