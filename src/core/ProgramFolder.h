#pragma once

#include <QString>

namespace zv {

// The folder that holds the catalogue, the settings and everything else the program keeps:
// the folder of the executable, or ZORVANELL_HOME when that is set.
QString programFolder();

// programFolder() + "/" + name.
QString programFile(const QString &name);

} // namespace zv
