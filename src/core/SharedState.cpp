#include "SharedState.h"

qint32 VersionNumber = 0;
QString ShortVersion;
QString FullVersion;
QString CurrentTable;
QString CurrentEntry;
QString ScreenShotPath;
bool SeveralScreenShots = false;

namespace zv {

void initVersionValues()
{
    VersionNumber = kVersionNumber;
    ShortVersion = QString::number(ZV_VERSION_MAJOR) + QLatin1Char('.') + QString::number(ZV_VERSION_MINOR);
    FullVersion = ShortVersion + QLatin1Char('.') + QString::number(ZV_VERSION_REVISION);
}

} // namespace zv
