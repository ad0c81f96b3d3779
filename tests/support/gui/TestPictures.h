#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

// Picture files made on the spot for the screenshot tests: the kinds people keep, and
// damaged or hostile ones.
namespace zvtest::pictures {

// A picture whose left half is `left` and right half `right`, so that turning it shows.
QImage halves(int width, int height, QColor left, QColor right);

enum class JpegKind { Baseline, Progressive, Grey };
QByteArray jpeg(const QImage &image, JpegKind kind = JpegKind::Baseline, int quality = 90);
// The JPEG with an EXIF orientation tag (6: to be turned a quarter clockwise to stand upright).
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

// A BMP written byte by byte: 1, 4 or 8 bits with a palette (`rle` compresses 4 and 8 bits),
// or 24 or 32 bits. The picture may have at most 2, 16 or 256 colours for the paletted kinds.
QByteArray bmp(const QImage &image, int bits, bool rle = false);
// A BMP header claiming `width` × `height` at 24 bits, followed by a few bytes only.
QByteArray hugeBmpHeader(int width, int height);

// Runs ImageMagick's convert with `arguments`; false when it failed.
bool convert(const QStringList &arguments);

// Writes `bytes` to `path`, creating its folder; false when that failed.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace zvtest::pictures
