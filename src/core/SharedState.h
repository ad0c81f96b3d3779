#pragma once

#include <QString>

// Values every window shares; they live as long as the process and are never saved.
extern qint32 VersionNumber;    // compared with the update server's number (core/Version.h)
extern QString ShortVersion;    // major.minor
extern QString FullVersion;     // major.minor.revision
extern QString CurrentTable;    // table of the category the main window shows
extern QString CurrentEntry;    // name selected last in the main list
extern QString ScreenShotPath;  // picture chosen for the viewer
extern bool SeveralScreenShots; // the viewer was reached through the picker

namespace zv {

// Sets the version values from the version the program is built with.
void initVersionValues();

} // namespace zv
