#include "core/update/ProgramUpdate.h"

#include "core/INI.h"

#include <limits>

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

} // namespace zv::update
