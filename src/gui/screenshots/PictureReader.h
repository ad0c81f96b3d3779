#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace zv {

// The most memory one decoded picture may take. A file whose header claims a huge picture is
// refused before anything is allocated.
inline constexpr int kPictureMemoryLimitMb = 256;

// Sets Qt's image allocation limit to kPictureMemoryLimitMb; start-up and every picture read call it.
void limitPictureMemory();

// The size a picture of `natural` size is shown at: its own, or scaled down to fit `bounds`,
// keeping its proportions.
QSize shownSize(const QSize &natural, const QSize &bounds);

// What a picture file holds, learnt from its header without decoding it.
struct PictureHeader
{
    bool readable = false; // a picture format that Qt reads
    QSize size;            // upright (after the EXIF orientation); invalid when unknown before decoding
    bool animated = false; // more than one frame
};
PictureHeader readPictureHeader(const QString &path);

// Decodes the picture at `path` upright, at its shown size within `bounds`; large JPEG files are
// decoded at a reduced scale straight away. A null image when the file is not a picture, is
// damaged, or would take more memory than the limit.
QImage readPicture(const QString &path, const QSize &bounds);

} // namespace zv
