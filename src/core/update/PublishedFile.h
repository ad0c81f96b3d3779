#pragma once

#include "core/update/Downloader.h"
#include "core/update/TransferFailure.h"

#include <QString>

namespace zv::update {

// Whether the file at `path`, of an update published in a local folder (file://), may be read as
// a file of that kind: only a regular file inside the published folder is (a link could bring in
// any private file of the user's, a pipe would keep the copy waiting, a folder or a device is no
// entry). None when it may; otherwise why not, in the user's terms and, in `why`, in a few words.
TransferFailure publishedFileProblem(const QString &path, FileKind kind, QString *why);

} // namespace zv::update
