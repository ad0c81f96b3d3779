#include "core/Files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {

namespace {

QRegularExpression wildcardPattern(const QString &pattern)
{
    QString regex;
    regex.reserve(pattern.size() * 2 + 4);
    for (const QChar ch : pattern) {
        if (ch == QLatin1Char('*'))
            regex += QLatin1String(".*");
        else if (ch == QLatin1Char('?'))
            regex += QLatin1Char('.');
        else
            regex += QRegularExpression::escape(QString(ch));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(regex),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("это папка, а не файл");
    if (S_ISFIFO(mode))
        return QStringLiteral("это именованный канал (FIFO), а не файл");
    if (S_ISSOCK(mode))
        return QStringLiteral("это сокет, а не файл");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("это устройство, а не файл");
    return QStringLiteral("это не обычный файл");
}

} // namespace

QString irregularFileReason(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return QString();
    return kindOf(info.st_mode);
}

bool openRegularFile(QFile &file)
{
    if (file.isOpen())
        return false;
    const QByteArray name = QFile::encodeName(file.fileName());
    struct stat info = {};
    // Looked at before opening: opening some devices already does something.
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // Without waiting, should a pipe have taken the file's place meanwhile; checked again once open.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

bool mayReplaceFile(const QString &path)
{
    struct stat info = {};
    const QByteArray name = QFile::encodeName(path);
    // A link that leads nowhere is replaced as a missing file would be created.
    return ::stat(name.constData(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
}

QStringList matchingFiles(const QString &folder, const QString &namePattern)
{
    QStringList names;
    const QRegularExpression re = wildcardPattern(namePattern);
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (re.match(name).hasMatch())
            names << name;
    }
    return names;
}

bool FileExists(const QString &pattern)
{
    const QFileInfo info(pattern);
    const QString folder = info.path();
    const QString name = info.fileName();
    if (name.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QRegularExpression re = wildcardPattern(name);
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (re.match(it.fileName()).hasMatch())
            return true;
    }
    return false;
}

} // namespace zv
