#include "core/store/TextStart.h"

#include "core/store/SqlStatement.h"

#include <sqlite3.h>

namespace zv {

namespace {

// The length of the longest start of `bytes` that ends between two UTF-8 characters.
qsizetype wholeCharacters(const char *bytes, qsizetype size)
{
    qsizetype end = size;
    while (end > 0 && (uchar(bytes[end - 1]) & 0xC0) == 0x80)
        --end;
    if (end == 0)
        return size;
    const uchar lead = uchar(bytes[end - 1]);
    const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return size - (end - 1) >= length ? size : end - 1;
}

} // namespace

TextStartReader::TextStartReader(sqlite3 *db, const QString &table)
    : m_db(db)
    , m_table(table)
{
    SqlStatement encoding(db, QStringLiteral("PRAGMA encoding"));
    m_utf8 = encoding.step() && encoding.text(0) == QLatin1String("UTF-8");
    // typeof() of a column alone does not load its value: a long text stays on disk here.
    m_select = std::make_unique<SqlStatement>(
        db, QStringLiteral("SELECT Name, typeof(Ref) IN ('text', 'blob'), "
                           "CASE WHEN typeof(Ref) IN ('text', 'blob') THEN NULL ELSE Ref END FROM ") +
                quotedName(table) + QStringLiteral(" WHERE rowid = ?1 AND Name IS NOT NULL"));
}

TextStartReader::~TextStartReader()
{
    release();
}

void TextStartReader::release()
{
    sqlite3_blob_close(m_blob);
    m_blob = nullptr;
}

std::optional<TextStartReader::Record> TextStartReader::read(qint64 rowId, qsizetype maxBytes)
{
    Record record;
    m_select->bind(1, rowId);
    if (!m_select->step()) {
        m_select->reset();
        return std::nullopt;
    }
    record.name = m_select->text(0);
    const bool textOrBlob = m_select->integer(1) != 0;
    if (!textOrBlob)
        record.text = m_select->text(2);
    m_select->reset();
    if (!textOrBlob)
        return record;
    if (!m_utf8) {
        // A file kept in UTF-16, as other tools can make it: read in characters instead.
        SqlStatement part(m_db, QStringLiteral("SELECT substr(Ref, 1, ?2), length(Ref) FROM ") + quotedName(m_table) +
                                    QStringLiteral(" WHERE rowid = ?1"));
        part.bind(1, rowId);
        part.bind(2, qint64(maxBytes / 2));
        if (part.step()) {
            record.text = part.text(0);
            record.cut = part.integer(1) > record.text.size();
        }
        return record;
    }
    const QByteArray table = m_table.toUtf8();
    int rc = m_blob ? sqlite3_blob_reopen(m_blob, rowId) : SQLITE_ERROR;
    if (rc != SQLITE_OK) {
        // A handle that failed to move is of no further use.
        release();
        rc = sqlite3_blob_open(m_db, "main", table.constData(), "Ref", rowId, 0, &m_blob);
    }
    if (rc != SQLITE_OK) {
        release();
        throwSqlError(m_db, rc, QStringLiteral("Текст записи не прочитан"));
    }
    const qsizetype size = sqlite3_blob_bytes(m_blob);
    QByteArray bytes(std::min(size, maxBytes), Qt::Uninitialized);
    rc = sqlite3_blob_read(m_blob, bytes.data(), int(bytes.size()), 0);
    if (rc != SQLITE_OK)
        throwSqlError(m_db, rc, QStringLiteral("Текст записи не прочитан"));
    record.cut = size > bytes.size();
    if (record.cut)
        bytes.truncate(wholeCharacters(bytes.constData(), bytes.size()));
    record.text = QString::fromUtf8(bytes);
    return record;
}

} // namespace zv
