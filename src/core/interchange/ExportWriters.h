#pragma once

#include "core/interchange/Interchange.h"
#include "core/store/Category.h"

#include <QString>

#include <memory>

// The formats an export writes into its folder. An exporter hands each writer the categories
// and their entries in order; pictures are copied into the pictures folder by the exporter.
namespace zv::interchange {

enum class Format { WebPages, Markdown, Csv, Json };

class FormatWriter
{
public:
    virtual ~FormatWriter() = default;
    virtual void beginCategory(const Category &) {}
    virtual void addEntry(const Entry &entry) = 0;
    virtual void endCategory() {}
    // Writes what is left; throws ExportFailure.
    virtual void finish() = 0;
};

// A writer of `format` into the folder `folder`, which exists and is empty.
std::unique_ptr<FormatWriter> makeWriter(Format format, const QString &folder);

// `text` as HTML text: never markup.
QString htmlEscaped(const QString &text);
// `text` as Markdown text: never markup, never HTML.
QString markdownEscaped(const QString &text);

} // namespace zv::interchange
