#include "gui/controls/VistaFaces.h"

#include <QTest>

#include <cmath>

using namespace zv::vista;

namespace {

struct Rgb
{
    int r, g, b;
};

// Centre column (column 8) by row, and the side borders, as the button's faces must show them.
const Rgb kCentre[4][21] = {
    // normal
    {{142, 143, 143}, {254, 254, 254}, {240, 240, 240}, {240, 240, 240}, {240, 240, 240}, {240, 240, 240},
     {239, 239, 239}, {238, 238, 238}, {237, 237, 237}, {235, 235, 235}, {224, 224, 224}, {222, 222, 222},
     {220, 220, 220}, {218, 218, 218}, {216, 216, 216}, {215, 215, 215}, {215, 215, 215}, {215, 215, 215},
     {215, 215, 215}, {236, 236, 236}, {142, 143, 143}},
    // pressed
    {{29, 65, 92},    {115, 156, 179}, {169, 199, 214}, {186, 218, 236}, {194, 228, 246}, {194, 228, 246},
     {194, 228, 246}, {194, 228, 246}, {194, 228, 246}, {194, 228, 246}, {154, 210, 240}, {154, 210, 240},
     {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240}, {154, 210, 240},
     {154, 210, 240}, {154, 210, 240}, {44, 98, 139}},
    // disabled
    {{177, 182, 184}, {255, 255, 255}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
     {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
     {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244}, {244, 244, 244},
     {244, 244, 244}, {255, 255, 255}, {177, 182, 184}},
    // hover
    {{60, 127, 177},  {253, 254, 255}, {223, 242, 252}, {223, 242, 252}, {223, 242, 252}, {223, 242, 252},
     {221, 241, 252}, {219, 241, 252}, {217, 239, 252}, {213, 238, 252}, {188, 228, 250}, {183, 226, 249},
     {178, 224, 249}, {175, 222, 248}, {171, 221, 248}, {169, 220, 248}, {169, 220, 248}, {169, 220, 248},
     {169, 220, 248}, {215, 239, 252}, {60, 127, 177}},
};
const Rgb kSide[4] = {{142, 143, 143}, {33, 73, 104}, {173, 178, 181}, {60, 127, 177}};

QRgb rgb(Rgb c)
{
    return qRgb(c.r, c.g, c.b);
}

QString describe(QRgb c)
{
    return QStringLiteral("%1,%2,%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

#define COMPARE_RGB(actual, expected) QCOMPARE(describe(actual), describe(expected))

const QColor kWindowBack(240, 238, 224);

} // namespace

class TestVistaFaces : public QObject
{
    Q_OBJECT

private slots:
    void faceColours_data()
    {
        QTest::addColumn<int>("face");
        QTest::newRow("normal") << int(Normal);
        QTest::newRow("pressed") << int(Pressed);
        QTest::newRow("disabled") << int(Disabled);
        QTest::newRow("hover") << int(Hover);
    }

    void faceColours()
    {
        QFETCH(int, face);
        const QImage image = buildFace(static_cast<Face>(face), kWindowBack);
        QCOMPARE(image.size(), QSize(18, 21));
        for (int row = 0; row < 21; ++row) {
            COMPARE_RGB(image.pixel(8, row), rgb(kCentre[face][row]));
            COMPARE_RGB(image.pixel(9, row), rgb(kCentre[face][row]));
        }
        for (int row = 3; row <= 17; ++row) {
            COMPARE_RGB(image.pixel(0, row), rgb(kSide[face]));
            COMPARE_RGB(image.pixel(17, row), rgb(kSide[face]));
        }
        // Row 1 is the highlight from column 1 to 16; the sides mirror each other.
        for (int x = 3; x <= 14; ++x)
            COMPARE_RGB(image.pixel(x, 1), rgb(kCentre[face][1]));
        for (int row = 0; row < 21; ++row)
            for (int x = 0; x < 9; ++x)
                COMPARE_RGB(image.pixel(x, row), image.pixel(17 - x, row));
        // The outermost corner pixel shows the window behind the button.
        for (const QPoint p : {QPoint(0, 0), QPoint(17, 0), QPoint(0, 20), QPoint(17, 20)})
            COMPARE_RGB(image.pixel(p), kWindowBack.rgb());
    }

    void flatFacesAreUniformAcrossRows()
    {
        for (const Face face : {Normal, Disabled}) {
            const QImage image = buildFace(face, kWindowBack);
            for (int row = 2; row <= 19; ++row)
                for (int x = 2; x <= 15; ++x)
                    COMPARE_RGB(image.pixel(x, row), rgb(kCentre[face][row]));
        }
    }

    void glassFacesDarkenEvenlyTowardTheSides()
    {
        const QImage hover = buildFace(Hover, kWindowBack);
        COMPARE_RGB(hover.pixel(2, 10), qRgb(152, 214, 246));
        COMPARE_RGB(hover.pixel(15, 10), qRgb(152, 214, 246));
        const QImage pressed = buildFace(Pressed, kWindowBack);
        for (int row = 10; row <= 18; ++row) {
            COMPARE_RGB(pressed.pixel(2, row), qRgb(78, 171, 220));
            COMPARE_RGB(pressed.pixel(15, row), qRgb(78, 171, 220));
        }
        // Even steps: neighbouring columns differ by the same amount, give or take rounding.
        for (const QImage *image : {&hover, &pressed}) {
            for (int row = 2; row <= 18; ++row) {
                const int first = qRed(image->pixel(3, row)) - qRed(image->pixel(2, row));
                for (int x = 2; x < 8; ++x) {
                    const int step = qRed(image->pixel(x + 1, row)) - qRed(image->pixel(x, row));
                    QVERIFY2(step >= 0, qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(x)));
                    QVERIFY(std::abs(step - first) <= 1);
                }
            }
        }
        QVERIFY(qRed(hover.pixel(2, 12)) < qRed(hover.pixel(8, 12)));
    }

    void cornersFollowTheBackground()
    {
        const QImage onWhite = buildFace(Normal, Qt::white);
        const QImage onDark = buildFace(Normal, QColor(10, 20, 30));
        COMPARE_RGB(onWhite.pixel(0, 0), qRgb(255, 255, 255));
        COMPARE_RGB(onDark.pixel(17, 20), qRgb(10, 20, 30));
        // Only the rounding changes.
        COMPARE_RGB(onWhite.pixel(8, 10), onDark.pixel(8, 10));
        COMPARE_RGB(onWhite.pixel(2, 0), onDark.pixel(2, 0));
    }

    void framesFollowTheBlendRule()
    {
        const auto set = faceSet(kWindowBack);
        // Row 10 of normal (224, 224, 224) toward hover (188, 228, 250), worked out by hand.
        const QRgb moves10[5] = {qRgb(224, 224, 224), qRgb(215, 225, 230), qRgb(205, 226, 238), qRgb(193, 228, 247),
                                 qRgb(188, 228, 250)};
        // Top border of pressed (29, 65, 92) toward hover (60, 127, 177).
        const QRgb downs0[5] = {qRgb(29, 65, 92), qRgb(36, 80, 112), qRgb(45, 97, 136), qRgb(56, 119, 166),
                                qRgb(60, 127, 177)};
        for (int k = 0; k < 5; ++k) {
            COMPARE_RGB(set->moves[k].pixel(8, 10), moves10[k]);
            COMPARE_RGB(set->downs[k].pixel(9, 0), downs0[k]);
        }
        // Every pixel, not just the samples, with the four outermost ones white.
        for (int k = 0; k < 5; ++k) {
            for (int y = 0; y < 21; ++y) {
                for (int x = 0; x < 18; ++x) {
                    const bool outer = (x == 0 || x == 17) && (y == 0 || y == 20);
                    const QRgb a = set->pc[Pressed].pixel(x, y);
                    const QRgb b = set->pc[Hover].pixel(x, y);
                    const double w = kFrameWeights[k];
                    const QRgb expected = outer ? qRgb(255, 255, 255)
                                                : qRgb(int(std::round(qRed(a) + (qRed(b) - qRed(a)) * w)),
                                                       int(std::round(qGreen(a) + (qGreen(b) - qGreen(a)) * w)),
                                                       int(std::round(qBlue(a) + (qBlue(b) - qBlue(a)) * w)));
                    COMPARE_RGB(set->downs[k].pixel(x, y), expected);
                }
            }
        }
        // moves(0) is the normal face and moves(4) the hover face, except for the white corners.
        QImage normal = set->pc[Normal];
        QImage hover = set->pc[Hover];
        for (QImage *image : {&normal, &hover})
            for (const QPoint p : {QPoint(0, 0), QPoint(17, 0), QPoint(0, 20), QPoint(17, 20)})
                image->setPixel(p, qRgb(255, 255, 255));
        QCOMPARE(set->moves[0], normal);
        QCOMPARE(set->moves[4], hover);
    }

    void nineSliceCopiesCornersAndStretchesTheRest()
    {
        const QImage face = buildFace(Hover, kWindowBack);
        const QImage out = nineSlice(face, QSize(75, 25), 1);
        QCOMPARE(out.size(), QSize(75, 25));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                COMPARE_RGB(out.pixel(x, y), face.pixel(x, y));
                COMPARE_RGB(out.pixel(72 + x, y), face.pixel(15 + x, y));
                COMPARE_RGB(out.pixel(x, 22 + y), face.pixel(x, 18 + y));
                COMPARE_RGB(out.pixel(72 + x, 22 + y), face.pixel(15 + x, 18 + y));
            }
        }
        // Rows are stretched, not blended: every row of the middle shows one picture row, in order,
        // and every picture row's colours appear, so the step between the bands stays sharp.
        int previous = 3;
        QSet<QRgb> seen;
        for (int y = 3; y < 22; ++y) {
            int match = -1;
            for (int row = previous; row <= 17 && match < 0; ++row)
                if (out.pixel(1, y) == face.pixel(1, row) && out.pixel(37, y) == face.pixel(8, row))
                    match = row;
            QVERIFY2(match >= 0, qPrintable(QStringLiteral("device row %1").arg(y)));
            seen.insert(out.pixel(37, y));
            previous = match;
        }
        QSet<QRgb> wanted;
        for (int row = 3; row <= 17; ++row)
            wanted.insert(face.pixel(8, row));
        QCOMPARE(seen, wanted);
        // Across, the middle runs from the column-3 colour at the left to the lightest in the middle.
        for (int x = 3; x < 37; ++x)
            QVERIFY(qRed(out.pixel(x, 12)) <= qRed(out.pixel(x + 1, 12)));
        COMPARE_RGB(out.pixel(3, 2), face.pixel(3, 2));
        COMPARE_RGB(out.pixel(37, 0), face.pixel(8, 0));
        // Columns are stretched like rows: every pixel of the middle is a colour of its picture row.
        int sourceRow = 3;
        while (sourceRow < 17 &&
               !(face.pixel(8, sourceRow) == out.pixel(37, 10) && face.pixel(1, sourceRow) == out.pixel(1, 10)))
            ++sourceRow;
        QSet<QRgb> pictureRow;
        for (int column = 3; column <= 14; ++column)
            pictureRow.insert(face.pixel(column, sourceRow));
        for (int x = 3; x < 72; ++x)
            QVERIFY2(pictureRow.contains(out.pixel(x, 10)), qPrintable(QStringLiteral("device column %1").arg(x)));
    }

    void nineSliceStaysCrispAtTwiceTheDensity()
    {
        const QImage face = buildFace(Normal, kWindowBack);
        const QImage out = nineSlice(face, QSize(150, 50), 2);
        // Each picture pixel of a corner becomes a 2 x 2 block.
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                COMPARE_RGB(out.pixel(x, y), face.pixel(x / 2, y / 2));
        // The one-pixel border is two device rows of the border colour, nothing in between.
        for (int x = 6; x < 144; ++x) {
            COMPARE_RGB(out.pixel(x, 0), rgb(kCentre[Normal][0]));
            COMPARE_RGB(out.pixel(x, 1), rgb(kCentre[Normal][0]));
            COMPARE_RGB(out.pixel(x, 2), rgb(kCentre[Normal][1]));
            COMPARE_RGB(out.pixel(x, 49), rgb(kCentre[Normal][20]));
        }
        for (int y = 6; y < 44; ++y) {
            COMPARE_RGB(out.pixel(0, y), rgb(kSide[Normal]));
            COMPARE_RGB(out.pixel(1, y), rgb(kSide[Normal]));
        }
    }
};

QTEST_GUILESS_MAIN(TestVistaFaces)
#include "tst_vistafaces.moc"
