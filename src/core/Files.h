#pragma once

#include <QString>

namespace zv {

// True when at least one ordinary, non-hidden file matches `pattern`, a path whose last part
// may hold the wildcards * and ?. Letter case is ignored; a missing folder is simply false.
bool FileExists(const QString &pattern);

// Names of the ordinary, non-hidden files of `folder` that match the wildcard `namePattern`
// (only * and ? are special), ignoring letter case, in the folder's own order.
QStringList matchingFiles(const QString &folder, const QString &namePattern);

} // namespace zv

using zv::FileExists;
