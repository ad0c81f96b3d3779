#include "core/SharedState.h"

#include "core/Version.h"

qint32 VersionNumber = 0;
QString ShortVersion;
QString FullVersion;

namespace zv {

void initVersionValues()
{
    VersionNumber = version::kUpdateNumber;
    ShortVersion = QLatin1String(version::kShort);
    FullVersion = QLatin1String(version::kFull);
}

} // namespace zv
