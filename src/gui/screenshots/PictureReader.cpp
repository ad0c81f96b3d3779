#include "gui/screenshots/PictureReader.h"

#include "core/Files.h"

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

namespace zv {

namespace {

// The reader reads from `file`, opened only when it is a regular file: a pipe would keep the
// window waiting for ever.
void prepare(QImageReader &reader, QFile &file)
{
    if (openRegularFile(file))
        reader.setDevice(&file);
    // A picture saved under another format's extension still shows.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
}

bool turnsSideways(const QImageReader &reader)
{
    return reader.transformation() & QImageIOHandler::TransformationRotate90;
}

} // namespace

void limitPictureMemory()
{
    QImageReader::setAllocationLimit(kPictureMemoryLimitMb);
}

QSize shownSize(const QSize &natural, const QSize &bounds)
{
    if (natural.isEmpty() || bounds.isEmpty())
        return natural;
    if (natural.width() <= bounds.width() && natural.height() <= bounds.height())
        return natural;
    return natural.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

PictureHeader readPictureHeader(const QString &path)
{
    limitPictureMemory();
    QFile file(path);
    QImageReader reader;
    prepare(reader, file);
    PictureHeader header;
    if (!reader.canRead())
        return header;
    header.readable = true;
    const QSize size = reader.size();
    header.size = turnsSideways(reader) ? size.transposed() : size;
    header.animated = reader.supportsAnimation() && reader.imageCount() != 1;
    return header;
}

QImage readPicture(const QString &path, const QSize &bounds)
{
    limitPictureMemory();
    QFile file(path);
    QImageReader reader;
    prepare(reader, file);
    const QSize stored = reader.size();
    const bool sideways = turnsSideways(reader);
    if (stored.isValid()) {
        const QSize upright = sideways ? stored.transposed() : stored;
        const QSize shown = shownSize(upright, bounds);
        // The reader scales before it turns the picture upright.
        if (shown != upright)
            reader.setScaledSize(sideways ? shown.transposed() : shown);
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // A format that could not tell its size beforehand is scaled now.
    const QSize shown = shownSize(image.size(), bounds);
    if (shown != image.size())
        image = image.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace zv
