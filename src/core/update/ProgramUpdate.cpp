#include "core/update/ProgramUpdate.h"

#include "core/Files.h"
#include "core/INI.h"
#include "core/Seam.h"
#include "core/update/UpdateLayout.h"
#include "core/update/UpdateSignature.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/file.h>

namespace zv::update {

VersionCheck checkVersionFile(const QString &path, qint32 runningBuild)
{
    VersionCheck check;
    const QString intVer = ReadIniValue(path, QStringLiteral("Update"), QStringLiteral("IntVer"), QString());
    check.textVersion = ReadIniValue(path, QStringLiteral("Update"), QStringLiteral("TxtVer"), QString());
    bool ok = false;
    const qint64 build = intVer.trimmed().toLongLong(&ok);
    if (!ok || build < std::numeric_limits<qint32>::min() || build > std::numeric_limits<qint32>::max())
        return check;
    check.serverBuild = build;
    check.verdict = build > runningBuild ? VersionCheck::Verdict::Newer : VersionCheck::Verdict::UpToDate;
    return check;
}

QString offerText(const QString &textVersion)
{
    return QStringLiteral("Доступна версия ") + textVersion + QStringLiteral(", загрузить и установить?");
}

namespace {

const QByteArray kBuildPrefix = QByteArrayLiteral("build:");
const QString kSeeLog = QStringLiteral(" Подробности в файле instupd.log рядом с программой.");

} // namespace

QByteArray buildField(qint64 build)
{
    return kBuildPrefix + QByteArray::number(build);
}

std::optional<qint64> signedBuild(const QByteArray &trustedComment)
{
    std::optional<qint64> build;
    for (const QByteArray &field : trustedComment.simplified().split(' ')) {
        if (!field.startsWith(kBuildPrefix))
            continue;
        const QByteArray digits = field.mid(kBuildPrefix.size());
        bool ok =
            !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 value = ok ? digits.toLongLong(&ok) : 0;
        // Two build fields would leave it open which one counts.
        if (!ok || build)
            return std::nullopt;
        build = value;
    }
    return build;
}

ArchiveVerdict checkArchive(const QString &archive, const QString &signature, const QString &keysFolder,
                            qint64 offeredBuild, qint32 runningBuild)
{
    QFile file(signature);
    if (!openRegularFile(file))
        return ArchiveVerdict::MissingSignature;
    const auto parsed = parseSignature(file.read(64 << 10));
    if (!parsed)
        return ArchiveVerdict::DamagedSignature;
    const QList<PublicKey> keys = loadPublicKeys(keysFolder);
    if (keys.isEmpty())
        return ArchiveVerdict::NoTrustedKeys;
    const auto key =
        std::find_if(keys.begin(), keys.end(), [&](const PublicKey &k) { return k.keyId == parsed->keyId; });
    if (key == keys.end())
        return ArchiveVerdict::UnknownKey;
    if (!verifyFile(archive, *parsed, *key))
        return ArchiveVerdict::BadSignature;
    // Only now is the comment known to come from the key's owner.
    const auto build = signedBuild(parsed->trustedComment);
    if (!build || *build != offeredBuild || *build <= runningBuild)
        return ArchiveVerdict::WrongBuild;
    return ArchiveVerdict::Good;
}

QString archiveVerdictText(ArchiveVerdict verdict)
{
    const QString notInstalled = QStringLiteral(" Обновление не установлено.");
    switch (verdict) {
    case ArchiveVerdict::Good:
        return QString();
    case ArchiveVerdict::MissingSignature:
        return QStringLiteral("Сервер не прислал подпись обновления (update.rar.minisig); обновление без подписи "
                              "не устанавливается.") +
               notInstalled;
    case ArchiveVerdict::DamagedSignature:
        return QStringLiteral("Подпись обновления повреждена.") + notInstalled;
    case ArchiveVerdict::NoTrustedKeys:
        return QStringLiteral("Рядом с программой нет доверенных ключей (папка keys), подпись обновления нечем "
                              "проверить.") +
               notInstalled;
    case ArchiveVerdict::UnknownKey:
        return QStringLiteral("Обновление подписано ключом, которому программа не доверяет.") + notInstalled;
    case ArchiveVerdict::BadSignature:
        return QStringLiteral("Подпись не подходит к загруженному обновлению: архив повреждён или подменён.") +
               notInstalled;
    case ArchiveVerdict::WrongBuild:
        return QStringLiteral("Подписанное обновление относится не к той версии, которую предложил сервер.") +
               notInstalled;
    }
    return QString();
}

InstallStatus takeInstallStatus()
{
    QFile file(installStatusFile());
    if (!openRegularFile(file))
        return InstallStatus::None;
    const QByteArray word = file.read(64).trimmed();
    file.close();
    QFile::remove(installStatusFile());
    if (word == "installed")
        return InstallStatus::Installed;
    if (word == "rolled back")
        return InstallStatus::RolledBack;
    if (word == "refused")
        return InstallStatus::Refused;
    if (word == "restore failed")
        return InstallStatus::RestoreFailed;
    if (word == "interrupted")
        return InstallStatus::Interrupted;
    return InstallStatus::None;
}

QString installStatusText(InstallStatus status)
{
    switch (status) {
    case InstallStatus::None:
        return QString();
    case InstallStatus::Installed:
        return QStringLiteral("Обновление программы установлено.");
    case InstallStatus::RolledBack:
        return QStringLiteral("Обновление программы установить не удалось, прежние файлы программы восстановлены.") +
               kSeeLog;
    case InstallStatus::Refused:
        return QStringLiteral("Архив обновления отклонён: он повреждён или содержит недопустимые файлы. Программа "
                              "не изменена.") +
               kSeeLog;
    case InstallStatus::RestoreFailed:
        return QStringLiteral("Обновление программы установить не удалось, и прежние файлы восстановлены не все; "
                              "они сохранены в скрытой папке .instupd-… рядом с программой.") +
               kSeeLog;
    case InstallStatus::Interrupted:
        return QStringLiteral("Установка обновления программы была прервана, не дойдя до конца; прежние файлы "
                              "программы восстановлены.") +
               kSeeLog;
    }
    return QString();
}

namespace {

bool journalLeft()
{
    const QFileInfo journal(installJournal());
    return journal.isDir() && !journal.isSymLink();
}

bool startScript(const QStringList &arguments)
{
    return seam().startProcess(QStringLiteral("/bin/sh"), QStringList{installScript()} + arguments);
}

} // namespace

void reportInstallStatus()
{
    if (journalLeft())
        return;
    const InstallStatus status = takeInstallStatus();
    if (status == InstallStatus::None)
        return;
    showMessage(nullptr, installStatusText(status),
                status == InstallStatus::Installed ? MessageForm::OkInformation : MessageForm::OkExclamation);
}

bool installFolderWritable()
{
    QTemporaryFile probe(installFolder() + QStringLiteral("/.instupd-probe-XXXXXX"));
    return probe.open();
}

bool installScriptReady()
{
    QFile file(installScript());
    return openRegularFile(file);
}

bool startInstallScript()
{
    return startScript({});
}

bool installScriptRunning()
{
    // Only a regular file can be the script's lock: a pipe in its place is not waited on.
    QFile lock(installLockFile());
    if (!openRegularFile(lock))
        return false;
    // The lock is the script's flock; taking it for a moment tells whether anyone holds it.
    return ::flock(lock.handle(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool finishInterruptedInstall()
{
    if (!journalLeft())
        return false;
    if (installScriptRunning()) {
        showMessage(nullptr, kInstallRunningText, MessageForm::OkInformation);
        seam().exitProcess(0);
        return true;
    }
    if (!installFolderWritable() || !installScriptReady() || !startScript({QStringLiteral("--recover")})) {
        showMessage(nullptr, kInterruptedUnfinishedText, MessageForm::OkExclamation);
        return false;
    }
    seam().exitProcess(0);
    return true;
}

} // namespace zv::update
