#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zv::update {

// What the server's version file says, compared with the running build.
struct VersionCheck
{
    enum class Verdict { UpToDate, Newer, Unreadable };
    Verdict verdict = Verdict::Unreadable;
    qint64 serverBuild = 0;
    QString textVersion; // TxtVer, possibly empty
};

// Reads IntVer and TxtVer of section Update. IntVer must be a whole 32-bit number
// (blanks around it allowed); anything else makes the file unreadable.
VersionCheck checkVersionFile(const QString &path, qint32 runningBuild);

// The offer to download and install a newer build.
QString offerText(const QString &textVersion);

// What checking a downloaded program archive against its signature found; only Good may be installed.
enum class ArchiveVerdict {
    Good,
    MissingSignature,
    DamagedSignature,
    NoTrustedKeys,
    UnknownKey,
    BadSignature,
    WrongBuild
};

// Checks `archive` against the signature file `signature` with the public keys of `keysFolder`.
// The trusted comment must name the build just offered (`offeredBuild`, the server's IntVer), and it
// must be newer than the running one: an old signed archive cannot be passed off as a new one.
ArchiveVerdict checkArchive(const QString &archive, const QString &signature, const QString &keysFolder,
                            qint64 offeredBuild, qint32 runningBuild);
QString archiveVerdictText(ArchiveVerdict verdict);

// The field of the trusted comment that names the signed build: "build:500502".
QByteArray buildField(qint64 build);
// The build named by the one build field among the comment's blank-separated fields.
std::optional<qint64> signedBuild(const QByteArray &trustedComment);

// What the install script left for the next start (instupd.status beside the program).
// Interrupted: the script was stopped before it ended, and a later run put the old files back.
enum class InstallStatus { None, Installed, RolledBack, Refused, RestoreFailed, Interrupted };
// Reads the status and removes the file, so it is told once.
InstallStatus takeInstallStatus();
QString installStatusText(InstallStatus status);
// Tells the user, through the seam, what the last install did; nothing when there was none, or
// while an install has not ended (its status is not final yet).
void reportInstallStatus();

// Starts the install script through the seam, without waiting for it; the program must exit
// next. The script keeps the environment, umask and working folder it inherits from the program
// and starts the program again with them.
bool startInstallScript();

// At start, before any window: when an install was stopped half-way (its journal is left and no
// script runs), starts the script's recovery, which finishes or rolls back the install and starts
// the program again, and ends the program; while a script runs, says so and ends the program.
// True when the program has been told to end. When the recovery cannot be started the user is
// told and the program goes on (false).
bool finishInterruptedInstall();
// True while an install script holds the install folder's lock.
bool installScriptRunning();

// True when the program may write into the install folder (tried, not guessed from the mode bits).
bool installFolderWritable();
// True when the install script is an ordinary file the shell can read.
bool installScriptReady();

inline const QString kNoConnectionText = QStringLiteral("Ошибка подключения к серверу!");
inline const QString kUpToDateText = QStringLiteral("Вы имеете самую новую версию!");
inline const QString kUnreadableVersionText =
    QStringLiteral("Сервер прислал неверный файл версии: номер версии (IntVer) отсутствует или не является числом. "
                   "Обновление программы невозможно.");
inline const QString kArchiveFailedText =
    QStringLiteral("Не удалось загрузить обновление программы. Программа не будет закрыта, попробуйте позже.");

inline const QString kPackageManagedText =
    QStringLiteral("Программа установлена в папку, закрытую для записи. Её обновления приходят через менеджер "
                   "пакетов системы.");
inline const QString kScriptMissingText =
    QStringLiteral("Сценарий установки instupd.cmd не найден рядом с программой или недоступен для чтения. "
                   "Обновление не установлено, программа продолжает работу.");
inline const QString kScriptFailedText = QStringLiteral("Не удалось запустить сценарий установки instupd.cmd.");
inline const QString kInstallRunningText =
    QStringLiteral("Сейчас устанавливается обновление программы. Программа запустится сама, когда установка "
                   "закончится.");
inline const QString kInterruptedUnfinishedText =
    QStringLiteral("Установка обновления программы была прервана, и завершить её не удалось: сценарий установки "
                   "instupd.cmd недоступен или папка программы закрыта для записи. Файлы программы могут быть "
                   "смешаны из двух версий; переустановите программу.");

} // namespace zv::update
