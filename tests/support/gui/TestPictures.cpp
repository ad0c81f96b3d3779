#include "TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>

namespace zvtest::pictures {

namespace {

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

QByteArray bmpHeaders(int width, int height, int bits, int compression, const QList<QRgb> &palette,
                      qsizetype pixelBytes)
{
    QByteArray out("BM");
    const quint32 offset = 14 + 40 + quint32(palette.size()) * 4;
    put32(out, offset + quint32(pixelBytes));
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, quint32(width));
    put32(out, quint32(height)); // positive: rows from the bottom up
    put16(out, 1);
    put16(out, quint16(bits));
    put32(out, quint32(compression));
    put32(out, quint32(pixelBytes));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, quint32(palette.size()));
    put32(out, 0);
    for (const QRgb c : palette)
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    return out;
}

// Runs of one palette index in a row, at most 255 long.
QList<QPair<int, int>> runs(const QList<int> &row)
{
    QList<QPair<int, int>> result;
    for (const int index : row) {
        if (!result.isEmpty() && result.last().second == index && result.last().first < 255)
            ++result.last().first;
        else
            result.append({1, index});
    }
    return result;
}

} // namespace

QImage halves(int width, int height, QColor left, QColor right)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, left);
    painter.fillRect(width / 2, 0, width - width / 2, height, right);
    return image;
}

QByteArray jpeg(const QImage &image, JpegKind kind, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(kind == JpegKind::Progressive);
    writer.write(kind == JpegKind::Grey ? image.convertToFormat(QImage::Format_Grayscale8) : image);
    return bytes;
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray exif;
    exif.append("\xFF\xE1", 2);
    exif.append(char(0)).append(char(34)); // segment length, itself included
    exif.append("Exif\0\0", 6);
    exif.append("MM\0\x2A\0\0\0\x08", 8);       // big-endian TIFF header, first directory at 8
    exif.append("\0\x01", 2);                   // one entry
    exif.append("\x01\x12\0\x03\0\0\0\x01", 8); // orientation, a SHORT, one value
    exif.append(char(0)).append(char(orientation)).append("\0\0", 2);
    exif.append("\0\0\0\0", 4); // no further directory
    return jpeg.left(2) + exif + jpeg.mid(2);
}

QByteArray bmp(const QImage &source, int bits, bool rle)
{
    const int width = source.width();
    const int height = source.height();
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray pixels;
    if (bits >= 24) {
        const int rowBytes = (width * bits / 8 + 3) & ~3;
        for (int y = height - 1; y >= 0; --y) {
            QByteArray row;
            for (int x = 0; x < width; ++x) {
                const QRgb c = image.pixel(x, y);
                row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
                if (bits == 32)
                    row.append('\0');
            }
            row.append(QByteArray(rowBytes - row.size(), '\0'));
            pixels += row;
        }
        return bmpHeaders(width, height, bits, 0, {}, pixels.size()) + pixels;
    }

    QList<QRgb> palette;
    QList<QList<int>> rows; // bottom up
    for (int y = height - 1; y >= 0; --y) {
        QList<int> row;
        for (int x = 0; x < width; ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000;
            qsizetype index = palette.indexOf(c);
            if (index < 0) {
                palette.append(c);
                index = palette.size() - 1;
            }
            row.append(int(index));
        }
        rows.append(row);
    }
    Q_ASSERT(palette.size() <= (1 << bits));
    palette.resize(1 << bits, 0xFF000000);

    if (rle) {
        for (const QList<int> &row : rows) {
            for (const auto &[count, index] : runs(row)) {
                pixels.append(char(count));
                pixels.append(char(bits == 4 ? (index << 4 | index) : index));
            }
            pixels.append("\0\0", 2); // end of line
        }
        pixels.append("\0\x01", 2); // end of picture
        return bmpHeaders(width, height, bits, bits == 8 ? 1 : 2, palette, pixels.size()) + pixels;
    }
    const int rowBytes = ((width * bits + 31) / 32) * 4;
    for (const QList<int> &row : rows) {
        QByteArray packed(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            packed[bit / 8] = char(packed[bit / 8] | (row[x] << shift));
        }
        pixels += packed;
    }
    return bmpHeaders(width, height, bits, 0, palette, pixels.size()) + pixels;
}

QByteArray hugeBmpHeader(int width, int height)
{
    const qint64 rowBytes = (qint64(width) * 3 + 3) & ~3;
    QByteArray bytes = bmpHeaders(width, height, 24, 0, {}, qsizetype(std::min<qint64>(rowBytes * height, 0x7FFFFFFF)));
    return bytes + QByteArray(64, '\x7F');
}

bool convert(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("convert"), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace zvtest::pictures
