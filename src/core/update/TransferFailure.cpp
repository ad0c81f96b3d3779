#include "core/update/TransferFailure.h"

namespace zv::update {

bool stopsUpdate(TransferFailure why)
{
    // A slow or silent server would hold every one of thousands of entries as long; a full disk
    // and an oversized update only get worse with each file.
    switch (why) {
    case TransferFailure::TimedOut:
    case TransferFailure::TooSlow:
    case TransferFailure::UpdateTooLarge:
    case TransferFailure::DiskFull:
        return true;
    default:
        return false;
    }
}

QString failureText(TransferFailure why)
{
    switch (why) {
    case TransferFailure::TimedOut:
        return kNoAnswerText;
    case TransferFailure::TooSlow:
        return kTooSlowText;
    case TransferFailure::FileTooLarge:
        return kFileTooLargeText;
    case TransferFailure::UpdateTooLarge:
        return kUpdateTooLargeText;
    case TransferFailure::DiskFull:
        return kDiskFullText;
    case TransferFailure::NotRegularFile:
        return kNotRegularFileText;
    case TransferFailure::CannotWrite:
        return kCannotWriteText;
    case TransferFailure::None:
    case TransferFailure::Failed:
    case TransferFailure::HostNotFound:
    case TransferFailure::ConnectionRefused:
    case TransferFailure::NotOnServer:
    case TransferFailure::Aborted:
        break;
    }
    return QString();
}

QString failureReason(TransferFailure why)
{
    // Short enough to stay whole in the update window's status line.
    switch (why) {
    case TransferFailure::HostNotFound:
        return QStringLiteral("имя сервера не найдено");
    case TransferFailure::ConnectionRefused:
        return QStringLiteral("сервер отклонил соединение");
    case TransferFailure::NotOnServer:
        return QStringLiteral("файла нет на сервере");
    case TransferFailure::TimedOut:
        return QStringLiteral("сервер не отвечает");
    case TransferFailure::TooSlow:
        return QStringLiteral("сервер слишком медленный");
    case TransferFailure::FileTooLarge:
        return QStringLiteral("слишком большой файл");
    case TransferFailure::NotRegularFile:
        return QStringLiteral("не обычный файл");
    case TransferFailure::CannotWrite:
    case TransferFailure::DiskFull:
        return QStringLiteral("файл не записан на диск");
    case TransferFailure::None:
    case TransferFailure::Failed:
    case TransferFailure::UpdateTooLarge:
    case TransferFailure::Aborted:
        break;
    }
    return QString();
}

QString boundsText(TransferFailure why)
{
    const bool bound =
        why == TransferFailure::TooSlow || why == TransferFailure::UpdateTooLarge || why == TransferFailure::DiskFull;
    return bound ? failureText(why) : QString();
}

QString skippedEntryText(const QString &name, TransferFailure why)
{
    switch (why) {
    case TransferFailure::NotRegularFile:
        return QStringLiteral("Пропущено «") + name + QStringLiteral("»: не обычный файл");
    case TransferFailure::FileTooLarge:
        return QStringLiteral("Пропущено «") + name + QStringLiteral("»: слишком большой файл");
    default:
        return QString();
    }
}

} // namespace zv::update
