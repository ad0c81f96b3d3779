#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

#include <array>
#include <memory>

// The pictures of the styled push button: four 18 x 21 faces drawn in code, and the two
// five-frame transitions blended from them. The outermost corner pixel of a face takes the
// colour behind the button, so a set is built per background colour.
namespace zv::vista {

inline constexpr int kFaceWidth = 18;
inline constexpr int kFaceHeight = 21;
inline constexpr int kFrameCount = 5;

enum Face { Normal = 0, Pressed = 1, Disabled = 2, Hover = 3 };

// Blend weights of frames 0..4.
inline constexpr std::array<double, kFrameCount> kFrameWeights{0.0, 0.24, 0.52, 0.875, 1.0};

struct FaceSet
{
    std::array<QImage, 4> pc;              // indexed by Face
    std::array<QImage, kFrameCount> moves; // normal -> hover
    std::array<QImage, kFrameCount> downs; // pressed -> hover
};

// One face, 18 x 21, RGB32.
QImage buildFace(Face face, QColor behind);

// round(a + (b - a) * w) per channel; the four outermost corner pixels become white.
QImage blendFrame(const QImage &a, const QImage &b, double weight);

// All ten frames and four faces for one background colour, built once and shared.
std::shared_ptr<const FaceSet> faceSet(QColor behind);

// Nine-slice scaling of an 18 x 21 picture to `deviceSize` device pixels: the 3 x 3 corners are
// copied (each picture pixel becoming `scale` x `scale` device pixels, so they stay crisp), the
// edges and the centre are stretched (rows to the nearest picture row, which keeps the step
// between the bands sharp; columns interpolated, which keeps the glass gradient smooth).
QImage nineSlice(const QImage &picture, QSize deviceSize, int scale);

} // namespace zv::vista
