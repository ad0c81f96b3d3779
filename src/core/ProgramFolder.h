#pragma once

#include <QString>

namespace zv {

// The folder that holds the catalogue, the settings and everything else the program keeps:
// the folder of the executable, or ZORVANELL_HOME when that is set.
QString programFolder();

// The folder of the executable itself, where the program's own files are installed
// (the install script, a program update), whatever ZORVANELL_HOME says.
QString executableFolder();

// programFolder() + "/" + name.
QString programFile(const QString &name);

} // namespace zv
