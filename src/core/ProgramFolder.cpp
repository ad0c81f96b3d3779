#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace zv {

QString programFolder()
{
    const QString home = qEnvironmentVariable("ZORVANELL_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return executableFolder();
}

QString executableFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString &name)
{
    return programFolder() + QLatin1Char('/') + name;
}

} // namespace zv
