#pragma once

#include "core/interchange/ExportWriters.h"

#include <memory>

namespace zv::interchange {

// A folder of web pages that work offline: index.html lists the categories, <Table>.html a
// category's entries, entry-<n>.html one entry with its pictures. Page names come from the
// fixed table names and a counter, never from the catalogue's texts.
std::unique_ptr<FormatWriter> makeWebPagesWriter(const QString &folder);

// A file per category, <Table>.md, with each entry's name, text and pictures.
std::unique_ptr<FormatWriter> makeMarkdownWriter(const QString &folder);

// The address of the picture `fileName` relative to the pages: "pictures/" and the name, encoded.
QString pictureAddress(const QString &fileName);

} // namespace zv::interchange
