#include "core/interchange/Csv.h"

#include "core/interchange/ImportChecks.h"
#include "core/store/Category.h"

#include <csv.h>

namespace zv::interchange {

namespace {

const QStringList kColumns{QStringLiteral("category"), QStringLiteral("name"), QStringLiteral("text"),
                           QStringLiteral("pictures")};

void appendField(QByteArray &out, QByteArrayView bytes)
{
    // Quotes only where RFC 4180 needs them, and around edge spaces a spreadsheet would drop.
    const bool quote = std::any_of(bytes.begin(), bytes.end(),
                                   [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; }) ||
                       (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.back() == ' '));
    if (!quote) {
        out += bytes;
        return;
    }
    out += '"';
    for (qsizetype from = 0;;) {
        const qsizetype at = bytes.indexOf('"', from);
        if (at < 0) {
            out += bytes.sliced(from);
            break;
        }
        out += bytes.sliced(from, at - from + 1);
        out += '"';
        from = at + 1;
    }
    out += '"';
}

// What libcsv hands over while it parses.
struct Parse
{
    std::vector<QStringList> rows;
    QStringList row;
    qsizetype maxRows = 0;
    bool tooMany = false;
};

void fieldDone(void *data, size_t size, void *parse)
{
    auto *p = static_cast<Parse *>(parse);
    p->row << QString::fromUtf8(static_cast<const char *>(data), qsizetype(size));
}

void rowDone(int, void *parse)
{
    auto *p = static_cast<Parse *>(parse);
    if (qsizetype(p->rows.size()) >= p->maxRows) {
        p->tooMany = true;
        p->row.clear();
        return;
    }
    p->rows.push_back(std::exchange(p->row, {}));
}

// Every byte is data: no spaces are trimmed around fields.
int noSpace(unsigned char)
{
    return 0;
}

} // namespace

QByteArray csvHeader()
{
    QByteArray out("\xEF\xBB\xBF");
    appendCsvRow(out, kColumns);
    return out;
}

void appendCsvRow(QByteArray &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendField(out, fields[i].toUtf8());
    }
    out += "\r\n";
}

void appendCsvEntry(QByteArray &out, const Entry &entry, QByteArrayView category)
{
    appendField(out, category);
    out += ',';
    appendField(out, entry.name.toUtf8());
    out += ',';
    appendField(out, entry.text.toUtf8());
    out += ',';
    appendField(out, entry.pictures.join(kPictureSeparator).toUtf8());
    out += "\r\n";
}

void appendCsvEntry(QByteArray &out, const Entry &entry)
{
    const auto category = categoryByTable(entry.table);
    appendCsvEntry(out, entry, (category ? category->displayName : entry.table).toUtf8());
}

CsvRows parseCsv(const QByteArray &bytes, qsizetype maxRows)
{
    CsvRows result;
    if (!isUtf8(bytes)) {
        result.failure = QStringLiteral("Файл не в кодировке UTF-8.");
        return result;
    }
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        result.failure = QStringLiteral("Не хватает памяти, чтобы прочитать файл.");
        return result;
    }
    csv_set_space_func(&parser, noSpace);
    csv_set_blk_size(&parser, 64 * 1024);
    Parse parse;
    parse.maxRows = maxRows;
    // In pieces, so that an overlong field or row count stops the reading early.
    constexpr qsizetype kPiece = 64 * 1024;
    bool broken = false;
    bool overlong = false;
    for (qsizetype at = 0; at < data.size() && !broken && !overlong && !parse.tooMany; at += kPiece) {
        const QByteArrayView piece = data.sliced(at, std::min(kPiece, data.size() - at));
        if (csv_parse(&parser, piece.data(), size_t(piece.size()), fieldDone, rowDone, &parse) != size_t(piece.size()))
            broken = true;
        overlong = parser.entry_pos > size_t(kMaxFieldBytes) ||
                   std::any_of(parse.row.cbegin(), parse.row.cend(),
                               [](const QString &field) { return field.size() > kMaxFieldBytes; });
    }
    if (!broken && !overlong && !parse.tooMany && csv_fini(&parser, fieldDone, rowDone, &parse) != 0)
        broken = true;
    csv_free(&parser);
    if (overlong)
        result.failure = QStringLiteral("В файле есть слишком длинное поле.");
    else if (parse.tooMany)
        result.failure = QStringLiteral("В файле слишком много строк (больше %1).").arg(maxRows);
    else if (broken)
        result.failure = QStringLiteral("Файл повреждён: это не правильный CSV (кавычки не закрыты или стоят не там).");
    else
        result.rows = std::move(parse.rows);
    return result;
}

ReadResult entriesFromCsv(const QByteArray &bytes)
{
    ReadResult result;
    CsvRows parsed = parseCsv(bytes);
    if (!parsed.failure.isEmpty()) {
        result.failure = parsed.failure;
        return result;
    }
    if (parsed.rows.empty() || parsed.rows.front().size() < 3 || parsed.rows.front().mid(0, 3) != kColumns.mid(0, 3)) {
        result.failure = QStringLiteral("В первой строке файла должны быть столбцы category, name, text, pictures.");
        return result;
    }
    result.entries.reserve(parsed.rows.size() - 1);
    for (size_t i = 1; i < parsed.rows.size(); ++i) {
        const QStringList &row = parsed.rows[i];
        // A spreadsheet may leave out an empty last column.
        if (row.size() != 3 && row.size() != 4) {
            result.failure = QStringLiteral("В строке %1 файла не четыре столбца.").arg(i + 1);
            return result;
        }
        const std::optional<QString> table = tableOfCategory(row[0]);
        if (!table) {
            result.failure = QStringLiteral("В строке %1 файла неизвестный раздел «%2».").arg(i + 1).arg(row[0]);
            return result;
        }
        Entry entry{*table, row[1], row[2], {}};
        if (row.size() == 4 && !row[3].isEmpty())
            entry.pictures = row[3].split(kPictureSeparator);
        result.entries.push_back(std::move(entry));
    }
    return result;
}

} // namespace zv::interchange
