#pragma once

#include <QString>
#include <QStringList>

namespace zv {

// Where the catalogue, the settings and everything else the program keeps are:
// - the folder named by ZORVANELL_HOME, when that is set;
// - the executable's folder, when it is writable and already holds Zorvanell.dat or Options.ini
//   (a portable copy, unpacked anywhere);
// - otherwise the user's data folder, $XDG_DATA_HOME/zorvanell (~/.local/share/zorvanell), so an
//   installed program never writes into its installation folder.
struct ProgramFolderChoice
{
    QString path;
    bool userDataFolder = false; // the third case: seeded from the shipped files on start
};

// The choice for an executable lying in `executableFolder`, with the given values of
// ZORVANELL_HOME, XDG_DATA_HOME and HOME (empty when unset).
ProgramFolderChoice chooseProgramFolder(const QString &executableFolder, const QString &zorvanellHome,
                                        const QString &xdgDataHome, const QString &userHome);
// The same for this process and its environment; decided afresh at every call.
ProgramFolderChoice programFolderChoice();

QString programFolder();

// The folder of the executable itself, where the program's own files are installed
// (the install script, a program update), whatever ZORVANELL_HOME says.
QString executableFolder();
// Tests pretend the executable lies in `folder`; an empty path restores the real one.
void setExecutableFolder(const QString &folder);

// programFolder() + "/" + name.
QString programFile(const QString &name);

// The files installed with the program (starter catalogue, caption set, install script):
// <executable folder>/../share/zorvanell, which is /usr/share/zorvanell for /usr/bin/zorvanell
// and build/share/zorvanell for build/src/zorvanell. Empty when there is no such folder.
QString shippedFolder(const QString &executableFolder);

// The shipped files a user data folder starts with: Zorvanell.dat, Language.ini, Options.ini.
const QStringList &seedFileNames();

// Copies every seed file that `to` lacks and `from` has, creating `to` when needed; files the
// user already has are never replaced. Each copy is made under a temporary name and renamed,
// so an interrupted start never leaves half a catalogue, and it is writable by its owner even
// when the shipped file is not. What cannot be copied stays missing. Returns the names copied.
QStringList seedFolder(const QString &from, const QString &to);

// Makes the user's data folder and seeds it from the shipped files, when that is the program
// folder; a portable folder or ZORVANELL_HOME is left as it is. Returns the names copied.
QStringList seedProgramFolder();

} // namespace zv
