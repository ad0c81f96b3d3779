#include "gui/controls/VistaFaces.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace zv::vista {

namespace {

struct Rgb
{
    int r, g, b;
};

// Colour of the centre column (columns 8 and 9) by row, and of the side borders.
struct FaceColours
{
    std::array<Rgb, kFaceHeight> centre;
    Rgb side;
    // How much darker column 2 is than the centre, in the lower band (rows 10-19); the upper
    // band (rows 2-9) darkens half as much. Zero for the flat faces.
    Rgb edgeDelta;
};

FaceColours coloursOf(Face face)
{
    switch (face) {
    case Normal:
        return {{{{142, 143, 143}, {254, 254, 254}, {240, 240, 240}, {240, 240, 240}, {240, 240, 240}, {240, 240, 240},
                  {239, 239, 239}, {238, 238, 238}, {237, 237, 237}, {235, 235, 235}, {224, 224, 224}, {222, 222, 222},
                  {220, 220, 220}, {218, 218, 218}, {216, 216, 216}, {215, 215, 215}, {215, 215, 215}, {215, 215, 215},
                  {215, 215, 215}, {236, 236, 236}, {142, 143, 143}}},
                {142, 143, 143},
                {0, 0, 0}};
    case Pressed:
        return {{{{29, 65, 92},    {115, 156, 179}, {169, 199, 214}, {186, 218, 236}, {194, 228, 246}, {194, 228, 246},
                  {194, 228, 246}, {194, 228, 246}, {194, 228, 246}, {194, 228, 246}, {154, 210, 240}, {154, 210, 240},
                  {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240},
                  {154, 210, 240}, {154, 210, 240}, {44, 98, 139}}},
                {33, 73, 104},
                {-76, -39, -20}};
    case Disabled:
        return {{{{177, 182, 184}, {255, 255, 255}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
                  {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
                  {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
                  {244, 244, 244}, {255, 255, 255}, {177, 182, 184}}},
                {173, 178, 181},
                {0, 0, 0}};
    case Hover:
        break;
    }
    return {{{{60, 127, 177},  {253, 254, 255}, {223, 242, 252}, {223, 242, 252}, {223, 242, 252}, {223, 242, 252},
              {221, 241, 252}, {219, 241, 252}, {217, 239, 252}, {213, 238, 252}, {188, 228, 250}, {183, 226, 249},
              {178, 224, 249}, {175, 222, 248}, {171, 221, 248}, {169, 220, 248}, {169, 220, 248}, {169, 220, 248},
              {169, 220, 248}, {215, 239, 252}, {60, 127, 177}}},
            {60, 127, 177},
            {-36, -14, -4}};
}

int clampChannel(double v)
{
    return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

QRgb toRgb(Rgb c)
{
    return qRgb(c.r, c.g, c.b);
}

QRgb mix(QRgb a, QRgb b, double t)
{
    return qRgb(clampChannel(qRed(a) + (qRed(b) - qRed(a)) * t), clampChannel(qGreen(a) + (qGreen(b) - qGreen(a)) * t),
                clampChannel(qBlue(a) + (qBlue(b) - qBlue(a)) * t));
}

// Colour inside the border and highlight, rows 2..19, columns 2..15: lightest in columns 8-9,
// darkening evenly toward columns 2 and 15.
QRgb innerColour(const FaceColours &f, int row, int column)
{
    const Rgb c = f.centre[row];
    const double distance = column <= 8 ? (8 - column) / 6.0 : (column - 9) / 6.0;
    const double band = row >= 10 ? 1.0 : 0.5;
    const double t = distance * band;
    return qRgb(clampChannel(c.r + f.edgeDelta.r * t), clampChannel(c.g + f.edgeDelta.g * t),
                clampChannel(c.b + f.edgeDelta.b * t));
}

} // namespace

QImage buildFace(Face face, QColor behind)
{
    const FaceColours f = coloursOf(face);
    const QRgb side = toRgb(f.side);
    const QRgb top = toRgb(f.centre[0]);
    const QRgb bottom = toRgb(f.centre[kFaceHeight - 1]);
    const QRgb highlight = toRgb(f.centre[1]);
    const QRgb back = behind.rgb();
    constexpr int last = kFaceWidth - 1;
    constexpr int bottomRow = kFaceHeight - 1;

    QImage image(kFaceWidth, kFaceHeight, QImage::Format_RGB32);
    for (int y = 0; y < kFaceHeight; ++y) {
        for (int x = 0; x < kFaceWidth; ++x) {
            QRgb c;
            if (y == 0)
                c = top;
            else if (y == bottomRow)
                c = bottom;
            else if (x == 0 || x == last)
                c = side;
            else if (y == 1)
                c = highlight;
            else if (x == 1 || x == last - 1)
                c = mix(innerColour(f, y, 2), highlight, 0.5); // the inner highlight down the sides
            else
                c = innerColour(f, y, x);
            image.setPixel(x, y, c);
        }
    }

    // Rounded corners: the outermost pixel shows what is behind the button, its two neighbours
    // are half border and half background, and the diagonal pixel closes the curve.
    const QRgb topCorner = mix(top, side, 0.5);
    const QRgb bottomCorner = mix(bottom, side, 0.5);
    for (const int x : {0, last}) {
        const int inward = x == 0 ? 1 : -1;
        image.setPixel(x, 0, back);
        image.setPixel(x + inward, 0, mix(topCorner, back, 0.5));
        image.setPixel(x, 1, mix(topCorner, back, 0.5));
        image.setPixel(x + inward, 1, topCorner);

        image.setPixel(x, bottomRow, back);
        image.setPixel(x + inward, bottomRow, mix(bottomCorner, back, 0.5));
        image.setPixel(x, bottomRow - 1, mix(bottomCorner, back, 0.5));
        image.setPixel(x + inward, bottomRow - 1, bottomCorner);
    }
    return image;
}

QImage blendFrame(const QImage &a, const QImage &b, double weight)
{
    QImage frame(a.size(), QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y);
            const QRgb pb = b.pixel(x, y);
            frame.setPixel(x, y,
                           qRgb(clampChannel(qRed(pa) + (qRed(pb) - qRed(pa)) * weight),
                                clampChannel(qGreen(pa) + (qGreen(pb) - qGreen(pa)) * weight),
                                clampChannel(qBlue(pa) + (qBlue(pb) - qBlue(pa)) * weight)));
        }
    }
    const QRgb white = qRgb(255, 255, 255);
    const int r = frame.width() - 1;
    const int bottom = frame.height() - 1;
    frame.setPixel(0, 0, white);
    frame.setPixel(r, 0, white);
    frame.setPixel(0, bottom, white);
    frame.setPixel(r, bottom, white);
    return frame;
}

std::shared_ptr<const FaceSet> faceSet(QColor behind)
{
    // Only a handful of window backgrounds ever exist, so the cache stays tiny.
    static QHash<QRgb, std::shared_ptr<const FaceSet>> cache;
    const QRgb key = behind.rgb();
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return found.value();

    auto set = std::make_shared<FaceSet>();
    for (int i = 0; i < 4; ++i)
        set->pc[i] = buildFace(static_cast<Face>(i), behind);
    for (int k = 0; k < kFrameCount; ++k) {
        set->moves[k] = blendFrame(set->pc[Normal], set->pc[Hover], kFrameWeights[k]);
        set->downs[k] = blendFrame(set->pc[Pressed], set->pc[Hover], kFrameWeights[k]);
    }
    cache.insert(key, set);
    return set;
}

namespace {

// Picture row for device row `dy` of a surface `dh` device pixels high.
int sourceRow(int dy, int dh, int scale)
{
    const int corner = 3 * scale;
    if (dy < corner)
        return dy / scale;
    if (dy >= dh - corner)
        return kFaceHeight - 3 + (dy - (dh - corner)) / scale;
    const int row = 3 + static_cast<int>(std::floor((dy - corner + 0.5) * 15.0 / (dh - 2 * corner)));
    return std::min(row, kFaceHeight - 4);
}

} // namespace

QImage nineSlice(const QImage &picture, QSize deviceSize, int scale)
{
    const int dw = deviceSize.width();
    const int dh = deviceSize.height();
    QImage out(deviceSize, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    scale = std::max(1, scale);
    const int corner = 3 * scale;
    if (dw <= 2 * corner || dh <= 2 * corner) {
        // Too small for the corners: the whole picture squeezed, nearest pixel.
        for (int dy = 0; dy < dh; ++dy)
            for (int dx = 0; dx < dw; ++dx)
                out.setPixel(dx, dy, picture.pixel(dx * kFaceWidth / dw, dy * kFaceHeight / dh));
        return out;
    }

    for (int dy = 0; dy < dh; ++dy) {
        const int sy = sourceRow(dy, dh, scale);
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(dy));
        for (int dx = 0; dx < dw; ++dx) {
            if (dx < corner) {
                line[dx] = picture.pixel(dx / scale, sy);
            } else if (dx >= dw - corner) {
                line[dx] = picture.pixel(kFaceWidth - 3 + (dx - (dw - corner)) / scale, sy);
            } else {
                // Stretched by repeating picture columns, not by blending neighbours.
                const int column = 3 + static_cast<int>(std::floor((dx - corner + 0.5) * 12.0 / (dw - 2 * corner)));
                line[dx] = picture.pixel(std::min(column, kFaceWidth - 4), sy);
            }
        }
    }
    return out;
}

} // namespace zv::vista
