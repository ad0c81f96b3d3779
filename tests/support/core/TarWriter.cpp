#include "TarWriter.h"

#include <cstring>

namespace zvtest {

namespace {

constexpr int kBlock = 512;

void put(QByteArray &block, int at, int width, const QByteArray &text)
{
    std::memcpy(block.data() + at, text.constData(), size_t(qMin<qsizetype>(width, text.size())));
}

// An octal number filling `width` bytes, the last one a zero byte.
void putOctal(QByteArray &block, int at, int width, qint64 value)
{
    put(block, at, width, QByteArray::number(value, 8).rightJustified(width - 1, '0'));
}

void pad(QByteArray &data)
{
    if (const qsizetype rest = data.size() % kBlock)
        data.append(QByteArray(kBlock - rest, '\0'));
}

} // namespace

void TarWriter::header(const QByteArray &name, Type type, qint64 size, int mode, const QByteArray &link)
{
    QByteArray block(kBlock, '\0');
    put(block, 0, 100, name);
    putOctal(block, 100, 8, mode);
    putOctal(block, 108, 8, 0);
    putOctal(block, 116, 8, 0);
    putOctal(block, 124, 12, size);
    putOctal(block, 136, 12, 1700000000);
    put(block, 148, 8, QByteArray(8, ' '));
    block[156] = char(type);
    put(block, 157, 100, link);
    put(block, 257, 6, QByteArrayLiteral("ustar"));
    put(block, 263, 2, QByteArrayLiteral("00"));
    putOctal(block, 329, 8, 0);
    putOctal(block, 337, 8, 0);
    unsigned sum = 0;
    for (const char c : std::as_const(block))
        sum += static_cast<unsigned char>(c);
    QByteArray checksum = QByteArray::number(sum, 8).rightJustified(6, '0');
    checksum.append('\0').append(' ');
    put(block, 148, 8, checksum);
    m_data += block;
}

TarWriter &TarWriter::file(const QByteArray &name, const QByteArray &content, int mode)
{
    header(name, Type::File, content.size(), mode, {});
    m_data += content;
    pad(m_data);
    return *this;
}

TarWriter &TarWriter::directory(const QByteArray &name)
{
    QByteArray folder = name;
    if (!folder.endsWith('/'))
        folder.append('/');
    header(folder, Type::Directory, 0, 0755, {});
    return *this;
}

TarWriter &TarWriter::member(const QByteArray &name, Type type, const QByteArray &link)
{
    header(name, type, 0, 0644, link);
    return *this;
}

QByteArray TarWriter::bytes() const
{
    QByteArray archive = m_data;
    archive.append(QByteArray(2 * kBlock, '\0'));
    return archive;
}

} // namespace zvtest
