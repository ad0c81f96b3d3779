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
