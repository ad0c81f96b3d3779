#include "core/interchange/ExportWriters.h"

#include "core/interchange/Csv.h"
#include "core/interchange/ExportFiles.h"
#include "core/interchange/Json.h"
#include "core/interchange/WebPages.h"

namespace zv::interchange {

namespace {

class CsvWriter : public FormatWriter
{
public:
    explicit CsvWriter(const QString &folder)
        : m_file(folder + QLatin1Char('/') + kCsvFile)
    {
        m_file.buffer() += csvHeader();
    }
    void beginCategory(const Category &category) override { m_category = category.displayName.toUtf8(); }
    void addEntry(const Entry &entry) override
    {
        appendCsvEntry(m_file.buffer(), entry, m_category);
        m_file.flushIfFull();
    }
    void finish() override { m_file.close(); }

private:
    OutFile m_file;
    QByteArray m_category;
};

class JsonWriter : public FormatWriter
{
public:
    explicit JsonWriter(const QString &folder)
        : m_file(folder + QLatin1Char('/') + kJsonFile)
    {
        m_file.buffer() += jsonOpening();
    }
    void addEntry(const Entry &entry) override
    {
        appendJsonEntry(m_file.buffer(), entry, m_first);
        m_first = false;
        m_file.flushIfFull();
    }
    void finish() override
    {
        m_file.buffer() += jsonClosing();
        m_file.close();
    }

private:
    OutFile m_file;
    bool m_first = true;
};

} // namespace

std::unique_ptr<FormatWriter> makeWriter(Format format, const QString &folder)
{
    switch (format) {
    case Format::Csv:
        return std::make_unique<CsvWriter>(folder);
    case Format::Json:
        return std::make_unique<JsonWriter>(folder);
    case Format::WebPages:
        return makeWebPagesWriter(folder);
    case Format::Markdown:
        return makeMarkdownWriter(folder);
    }
    return nullptr;
}

} // namespace zv::interchange
