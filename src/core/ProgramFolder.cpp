#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zv {

namespace {

QString g_executableFolder; // set by tests only

bool present(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString userDataRoot(const QString &xdgDataHome, const QString &userHome)
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    if (!xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome))
        return QDir::cleanPath(xdgDataHome);
    const QString home = userHome.isEmpty() ? QDir::homePath() : userHome;
    return QDir::cleanPath(home + QStringLiteral("/.local/share"));
}

} // namespace

ProgramFolderChoice chooseProgramFolder(const QString &executableFolder, const QString &zorvanellHome,
                                        const QString &xdgDataHome, const QString &userHome)
{
    if (!zorvanellHome.isEmpty())
        return {QDir::cleanPath(QDir(zorvanellHome).absolutePath()), false};
    const QString exe = QDir::cleanPath(executableFolder);
    if (QFileInfo(exe).isWritable() &&
        (present(exe + QStringLiteral("/Zorvanell.dat")) || present(exe + QStringLiteral("/Options.ini"))))
        return {exe, false};
    return {userDataRoot(xdgDataHome, userHome) + QStringLiteral("/zorvanell"), true};
}

ProgramFolderChoice programFolderChoice()
{
    return chooseProgramFolder(executableFolder(), qEnvironmentVariable("ZORVANELL_HOME"),
                               qEnvironmentVariable("XDG_DATA_HOME"), qEnvironmentVariable("HOME"));
}

QString programFolder()
{
    return programFolderChoice().path;
}

QString executableFolder()
{
    return g_executableFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_executableFolder;
}

void setExecutableFolder(const QString &folder)
{
    g_executableFolder = folder;
}

QString programFile(const QString &name)
{
    return programFolder() + QLatin1Char('/') + name;
}

QString shippedFolder(const QString &executableFolder)
{
    const QString folder = QDir::cleanPath(executableFolder + QStringLiteral("/../share/zorvanell"));
    return QFileInfo(folder).isDir() ? folder : QString();
}

const QStringList &seedFileNames()
{
    static const QStringList names{QStringLiteral("Zorvanell.dat"), QStringLiteral("Language.ini"),
                                   QStringLiteral("Options.ini")};
    return names;
}

QStringList seedFolder(const QString &from, const QString &to)
{
    QStringList copied;
    if (from.isEmpty())
        return copied;
    for (const QString &name : seedFileNames()) {
        const QString source = from + QLatin1Char('/') + name;
        const QString target = to + QLatin1Char('/') + name;
        if (!QFileInfo(source).isFile() || present(target))
            continue;
        if (!QDir().mkpath(to))
            break;
        const QString temporary = target + QStringLiteral(".seed");
        QFile::remove(temporary);
        if (!QFile::copy(source, temporary))
            continue;
        QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                                             QFile::ReadGroup | QFile::ReadOther);
        if (QFile::rename(temporary, target))
            copied << name;
        else
            QFile::remove(temporary);
    }
    return copied;
}

QStringList seedProgramFolder()
{
    const ProgramFolderChoice choice = programFolderChoice();
    if (!choice.userDataFolder)
        return {};
    // Made even with nothing to copy, so that a new catalogue can be created in it.
    QDir().mkpath(choice.path);
    return seedFolder(shippedFolder(executableFolder()), choice.path);
}

} // namespace zv
