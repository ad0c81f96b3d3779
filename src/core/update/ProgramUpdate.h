#pragma once

#include <QString>

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

inline const QString kNoConnectionText = QStringLiteral("Ошибка подключения к серверу!");
inline const QString kUpToDateText = QStringLiteral("Вы имеете самую новую версию!");
inline const QString kUnreadableVersionText =
    QStringLiteral("Сервер прислал неверный файл версии: номер версии (IntVer) отсутствует или не является числом. "
                   "Обновление программы невозможно.");
inline const QString kArchiveFailedText =
    QStringLiteral("Не удалось загрузить обновление программы. Программа не будет закрыта, попробуйте позже.");

} // namespace zv::update
