#pragma once

#include <QString>

namespace zv::update {

// Why a download failed, in the terms the update window tells the user.
enum class TransferFailure {
    None,
    Failed,            // anything else: a broken answer, an error status, an address that cannot be fetched
    HostNotFound,      // the server's name does not resolve
    ConnectionRefused, // nothing takes the connection at the server's address
    NotOnServer,       // the server, or the published folder, has no such file
    TimedOut,          // the server stopped answering
    TooSlow,           // slower than the least rate over the time-out, or past the file's deadline
    FileTooLarge,      // over the cap of its kind of file
    UpdateTooLarge,    // the files of one catalogue update together are over their cap
    DiskFull,          // the disk would keep less free space than the system needs
    NotRegularFile,    // a local file that is a link, lies outside the published folder, or is no file
    CannotWrite,       // the downloaded file could not be written
    Aborted,
};

// True when the rest of the update is not worth fetching. The downloader has then failed every
// other job of the same update with the same reason; what did arrive is to be deleted, and the
// catalogue is left as it is.
bool stopsUpdate(TransferFailure why);

// The message for a failure that stops an update or that has words of its own; an empty text for
// Failed, None and Aborted, where the caller keeps its usual message ("Произошла ошибка!").
QString failureText(TransferFailure why);

// The message for a transfer stopped by the bounds an update keeps (its size, the free disk, the
// least rate); an empty text for the failures a step tells in words of its own.
QString boundsText(TransferFailure why);

// Why a transfer failed, in a few words for the status line after "Ошибка обновления: "; an
// empty text when there is nothing more to say than that it failed.
QString failureReason(TransferFailure why);

// The status line's note for an entry file left out (a link, a file too large...); an empty
// text for a failure that is not told per entry.
QString skippedEntryText(const QString &name, TransferFailure why);

inline const QString kTooSlowText =
    QStringLiteral("Сервер передаёт данные слишком медленно. Обновление остановлено; попробуйте позже или "
                   "выберите другой сервер.");
inline const QString kNoAnswerText =
    QStringLiteral("Сервер перестал отвечать. Обновление остановлено; попробуйте позже или выберите другой "
                   "сервер.");
inline const QString kUpdateTooLargeText =
    QStringLiteral("Сервер прислал слишком много данных для одного обновления. Обновление остановлено, "
                   "загруженные файлы удалены, каталог не изменён.");
inline const QString kDiskFullText =
    QStringLiteral("На диске почти не осталось свободного места. Обновление остановлено, загруженные файлы "
                   "удалены, каталог не изменён. Освободите место на диске и попробуйте снова.");
inline const QString kFileTooLargeText = QStringLiteral("Сервер прислал слишком большой файл.");
inline const QString kNotRegularFileText =
    QStringLiteral("В папке обновлений на месте файла находится ссылка, папка или устройство, либо файл лежит "
                   "вне этой папки; такие файлы не читаются.");
inline const QString kCannotWriteText = QStringLiteral("Не удалось записать загруженный файл на диск.");

} // namespace zv::update
