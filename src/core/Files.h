#pragma once

#include <QString>

class QFile;

namespace zv {

// Every file the program opens by name is opened only when it is a regular file, links followed:
// a pipe would keep the program waiting for a writer for ever, and a device or a folder is no file.
// Why `path` is not a regular file, in Russian ("это именованный канал (FIFO)"); an empty text
// when it is one, or when nothing is there at all (a missing file is the caller's own case).
QString irregularFileReason(const QString &path);
// Opens `file`, whose name is set, for reading when that name is a regular file; false, with
// nothing opened and nothing waited for, when it is anything else or cannot be opened. The file
// is opened by its handle, so once open it no longer knows its name (remove it by its path).
bool openRegularFile(QFile &file);
// True when a file may be written at `path` by replacing it: nothing is there, or a regular file.
bool mayReplaceFile(const QString &path);

// True when at least one ordinary, non-hidden file matches `pattern`, a path whose last part
// may hold the wildcards * and ?. Letter case is ignored; a missing folder is simply false.
bool FileExists(const QString &pattern);

// Names of the ordinary, non-hidden files of `folder` that match the wildcard `namePattern`
// (only * and ? are special), ignoring letter case, in the folder's own order.
QStringList matchingFiles(const QString &folder, const QString &namePattern);

} // namespace zv

using zv::FileExists;
