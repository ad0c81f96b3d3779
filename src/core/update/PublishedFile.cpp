#include "core/update/PublishedFile.h"

#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace zv::update {

TransferFailure publishedFileProblem(const QString &path, FileKind kind, QString *why)
{
    const QString file = QDir::cleanPath(path);
    struct stat info = {};
    if (::lstat(QFile::encodeName(file).constData(), &info) != 0) {
        *why = QStringLiteral("not found");
        return TransferFailure::NotOnServer;
    }
    if (!S_ISREG(info.st_mode)) {
        *why = S_ISLNK(info.st_mode) ? QStringLiteral("a link") : QStringLiteral("not a regular file");
        return TransferFailure::NotRegularFile;
    }
    const QString root = QFileInfo(publishedFolderOf(file)).canonicalFilePath();
    const QString folder = QFileInfo(QFileInfo(file).path()).canonicalFilePath();
    const QString inside = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (root.isEmpty() || (folder != root && !folder.startsWith(inside))) {
        *why = QStringLiteral("outside the published folder");
        return TransferFailure::NotRegularFile;
    }
    if (info.st_size > sizeCap(kind)) {
        *why = QStringLiteral("too large");
        return TransferFailure::FileTooLarge;
    }
    return TransferFailure::None;
}

} // namespace zv::update
