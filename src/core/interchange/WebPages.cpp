#include "core/interchange/WebPages.h"

#include "core/interchange/ExportFiles.h"

#include <QUrl>

#include <optional>
#include <vector>

namespace zv::interchange {

namespace {

const QString kIndex = QStringLiteral("index.html");

QString pageStart(const QString &title)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>") +
           htmlEscaped(title) +
           QStringLiteral("</title>\n<style>body{font-family:sans-serif;max-width:50em;margin:1em auto;padding:0 1em;"
                          "line-height:1.4}img{max-width:100%;display:block;margin:1em 0}</style>\n</head>\n<body>\n");
}

const QString kPageEnd = QStringLiteral("</body>\n</html>\n");

QString categoryPage(const Category &category)
{
    return category.table + QStringLiteral(".html");
}

class WebPagesWriter : public FormatWriter
{
public:
    explicit WebPagesWriter(QString folder)
        : m_folder(std::move(folder))
    {
    }

    void beginCategory(const Category &category) override
    {
        m_category = category;
        m_categories.push_back({category, 0});
        m_page.emplace(m_folder + QLatin1Char('/') + categoryPage(category));
        m_page->buffer() += (pageStart(category.displayName) + QStringLiteral("<p><a href=\"") + kIndex +
                             QStringLiteral("\">Все разделы</a></p>\n<h1>") + htmlEscaped(category.displayName) +
                             QStringLiteral("</h1>\n<ul>\n"))
                                .toUtf8();
    }

    void addEntry(const Entry &entry) override
    {
        const QString page = QStringLiteral("entry-%1.html").arg(++m_entries);
        ++m_categories.back().second;
        m_page->buffer() += (QStringLiteral("<li><a href=\"") + page + QStringLiteral("\">") + htmlEscaped(entry.name) +
                             QStringLiteral("</a></li>\n"))
                                .toUtf8();
        m_page->flushIfFull();

        QString html = pageStart(entry.name) + QStringLiteral("<p><a href=\"") + categoryPage(m_category) +
                       QStringLiteral("\">") + htmlEscaped(m_category.displayName) + QStringLiteral("</a></p>\n<h1>") +
                       htmlEscaped(entry.name) + QStringLiteral("</h1>\n<p>") +
                       htmlEscaped(entry.text).replace(QLatin1Char('\n'), QStringLiteral("<br>\n")) +
                       QStringLiteral("</p>\n");
        for (const QString &picture : entry.pictures)
            html += QStringLiteral("<img src=\"") + pictureAddress(picture) + QStringLiteral("\" alt=\"") +
                    htmlEscaped(picture) + QStringLiteral("\">\n");
        OutFile file(m_folder + QLatin1Char('/') + page);
        file.buffer() += (html + kPageEnd).toUtf8();
        file.close();
    }

    void endCategory() override
    {
        m_page->buffer() += (QStringLiteral("</ul>\n") + kPageEnd).toUtf8();
        m_page->close();
        m_page.reset();
    }

    void finish() override
    {
        OutFile index(m_folder + QLatin1Char('/') + kIndex);
        QString html =
            pageStart(QStringLiteral("Каталог пасхалок")) + QStringLiteral("<h1>Каталог пасхалок</h1>\n<ul>\n");
        for (const auto &[category, count] : m_categories)
            html += QStringLiteral("<li><a href=\"") + categoryPage(category) + QStringLiteral("\">") +
                    htmlEscaped(category.displayName) + QStringLiteral("</a> (%1)</li>\n").arg(count);
        index.buffer() += (html + QStringLiteral("</ul>\n") + kPageEnd).toUtf8();
        index.close();
    }

private:
    QString m_folder;
    Category m_category;
    std::vector<std::pair<Category, int>> m_categories;
    std::optional<OutFile> m_page;
    int m_entries = 0;
};

class MarkdownWriter : public FormatWriter
{
public:
    explicit MarkdownWriter(QString folder)
        : m_folder(std::move(folder))
    {
    }

    void beginCategory(const Category &category) override
    {
        m_file.emplace(m_folder + QLatin1Char('/') + category.table + QStringLiteral(".md"));
        m_file->buffer() +=
            (QStringLiteral("# ") + markdownEscaped(category.displayName) + QStringLiteral("\n\n")).toUtf8();
    }

    void addEntry(const Entry &entry) override
    {
        QString md = QStringLiteral("## ") + markdownEscaped(entry.name) + QStringLiteral("\n\n");
        // Each line of the text a paragraph: Markdown would join them otherwise.
        for (const QString &line : entry.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            md += markdownEscaped(line) + QStringLiteral("\n\n");
        for (const QString &picture : entry.pictures)
            md += QStringLiteral("![") + markdownEscaped(picture) + QStringLiteral("](") + pictureAddress(picture) +
                  QStringLiteral(")\n\n");
        m_file->buffer() += md.toUtf8();
        m_file->flushIfFull();
    }

    void endCategory() override
    {
        m_file->close();
        m_file.reset();
    }

    void finish() override {}

private:
    QString m_folder;
    std::optional<OutFile> m_file;
};

} // namespace

QString htmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString markdownEscaped(const QString &text)
{
    // Every ASCII punctuation Markdown or inline HTML could take as markup gets a backslash,
    // which CommonMark allows before any of them.
    static const QString marks = QStringLiteral("\\`*_{}[]()<>#+-.!|&~\"'=:");
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (marks.contains(c))
            out += QLatin1Char('\\');
        out += c == QLatin1Char('\r') ? QLatin1Char(' ') : c;
    }
    return out;
}

QString pictureAddress(const QString &fileName)
{
    return kPictureFolder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

std::unique_ptr<FormatWriter> makeWebPagesWriter(const QString &folder)
{
    return std::make_unique<WebPagesWriter>(folder);
}

std::unique_ptr<FormatWriter> makeMarkdownWriter(const QString &folder)
{
    return std::make_unique<MarkdownWriter>(folder);
}

} // namespace zv::interchange
