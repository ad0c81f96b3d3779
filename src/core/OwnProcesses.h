#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Stopping processes by name, as "taskkill /F /IM name" does on Windows, but only the
// current user's own processes and only those whose name is exactly the one given.
namespace zv {

// The kernel keeps 15 bytes of a process name; a name that long or longer is compared in full with
// the program's file name (its executable, or the first word of its command line).
inline constexpr int kProcessNameBytes = 15;

// Ids of the processes of the current user (real user id) whose name is exactly `name`,
// letter case included, read from `procRoot` (the /proc file system, or a copy of its layout).
QList<qint64> ownProcessesNamed(const QString &name, const QString &procRoot = QStringLiteral("/proc"));

// Stops the current user's processes of these names at once (SIGKILL) with one "kill" started
// through the seam, never through a shell. Nothing is started when no process matches; false
// then, or when kill could not be started.
bool stopOwnProcesses(const QStringList &names, const QString &procRoot = QStringLiteral("/proc"));

// The first executable file called `name` in `folders`, then on the PATH; empty when there is none.
QString findProgram(const QString &name, const QStringList &folders);

} // namespace zv
