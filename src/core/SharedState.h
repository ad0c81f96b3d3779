#pragma once

#include <QString>

// The version values every window shares; set once at start (initVersionValues) and never saved.
// The catalogue's shared values (CurrentTable, CurrentEntry, ScreenShotPath, SeveralScreenShots)
// belong to the catalogue session (core/session/CatalogueSession.h).
extern qint32 VersionNumber; // compared with the update server's number (core/Version.h)
extern QString ShortVersion; // major.minor
extern QString FullVersion;  // major.minor.revision

namespace zv {

// Sets the version values from the version the program is built with.
void initVersionValues();

} // namespace zv
