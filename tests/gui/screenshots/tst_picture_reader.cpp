#include "PipeWatch.h"
#include "TempHome.h"
#include "TestPictures.h"
#include "gui/screenshots/PictureReader.h"

#include <QImageReader>
#include <QTest>

#include <sys/resource.h>

using namespace zvtest::pictures;

namespace {

const QColor kRed(220, 30, 30);
const QColor kBlue(30, 30, 220);

bool near(QRgb actual, QColor expected, int tolerance = 40)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestPictureReader : public QObject
{
    Q_OBJECT

private slots:
    void shownSizeKeepsSmallPicturesAndShrinksLargeOnes()
    {
        const QSize screen(1920, 1080);
        QCOMPARE(zv::shownSize(QSize(800, 600), screen), QSize(800, 600));
        QCOMPARE(zv::shownSize(QSize(1920, 1080), screen), QSize(1920, 1080));
        QCOMPARE(zv::shownSize(QSize(4000, 3000), screen), QSize(1440, 1080));
        QCOMPARE(zv::shownSize(QSize(3840, 1000), screen), QSize(1920, 500));
        QCOMPARE(zv::shownSize(QSize(100000, 1), screen), QSize(1920, 1));
    }

    void pipeIsNoPicture()
    {
        zvtest::TempHome home;
        const zvtest::PipeWatch pipe(home.file(QStringLiteral("shot.jpg")));
        QVERIFY(pipe.made());
        QVERIFY(!zv::readPictureHeader(pipe.path()).readable);
        QVERIFY(zv::readPicture(pipe.path(), QSize(1920, 1080)).isNull());
        QVERIFY2(!pipe.wasRead(), "the viewer would have waited for ever");
    }

    void jpegKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("baseline") << int(JpegKind::Baseline);
        QTest::newRow("progressive") << int(JpegKind::Progressive);
        QTest::newRow("greyscale") << int(JpegKind::Grey);
    }

    void jpegKinds()
    {
        QFETCH(int, kind);
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("shot.jpg"));
        QVERIFY(writeFile(path, jpeg(halves(120, 80, kRed, kBlue), JpegKind(kind))));
        const QImage image = zv::readPicture(path, QSize(1920, 1080));
        QCOMPARE(image.size(), QSize(120, 80));
        if (JpegKind(kind) == JpegKind::Grey) {
            QCOMPARE(qRed(image.pixel(10, 40)), qGreen(image.pixel(10, 40)));
        } else {
            QVERIFY(near(image.pixel(10, 40), kRed));
            QVERIFY(near(image.pixel(110, 40), kBlue));
        }
    }

    void cmykJpegKeepsItsColours()
    {
        zvtest::TempHome home;
        const QString rgb = home.file(QStringLiteral("rgb.png"));
        const QString cmyk = home.file(QStringLiteral("cmyk.jpg"));
        QVERIFY(halves(120, 80, kRed, kBlue).save(rgb));
        QVERIFY(convert({rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk}));
        const QImage image = zv::readPicture(cmyk, QSize(1920, 1080));
        QCOMPARE(image.size(), QSize(120, 80));
        QVERIFY(near(image.pixel(10, 40), kRed, 60));
        QVERIFY(near(image.pixel(110, 40), kBlue, 60));
    }

    void exifOrientationStandsUpright()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("phone.jpg"));
        // Taken sideways: the left half ends up on top.
        QVERIFY(writeFile(path, withExifOrientation(jpeg(halves(200, 100, kRed, kBlue)), 6)));
        QCOMPARE(zv::readPictureHeader(path).size, QSize(100, 200));
        const QImage image = zv::readPicture(path, QSize(1920, 1080));
        QCOMPARE(image.size(), QSize(100, 200));
        QVERIFY(near(image.pixel(50, 20), kRed));
        QVERIFY(near(image.pixel(50, 180), kBlue));
        // Scaled down to a screen, still upright and in proportion.
        const QImage small = zv::readPicture(path, QSize(300, 100));
        QCOMPARE(small.size(), QSize(50, 100));
        QVERIFY(near(small.pixel(25, 10), kRed));
        QVERIFY(near(small.pixel(25, 90), kBlue));
    }

    void bmpDepths_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("rle");
        QTest::newRow("1 bit") << 1 << false;
        QTest::newRow("4 bits") << 4 << false;
        QTest::newRow("4 bits, run-length") << 4 << true;
        QTest::newRow("8 bits") << 8 << false;
        QTest::newRow("8 bits, run-length") << 8 << true;
        QTest::newRow("24 bits") << 24 << false;
        QTest::newRow("32 bits") << 32 << false;
    }

    void bmpDepths()
    {
        QFETCH(int, bits);
        QFETCH(bool, rle);
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("shot.bmp"));
        // Odd width and a third colour in one corner catch row padding and bottom-up order.
        QImage picture = halves(37, 21, Qt::black, bits == 1 ? Qt::white : kBlue);
        if (bits > 1)
            picture.setPixel(0, 0, kRed.rgb());
        QVERIFY(writeFile(path, bmp(picture, bits, rle)));
        const QImage image = zv::readPicture(path, QSize(1920, 1080));
        QCOMPARE(image.size(), QSize(37, 21));
        for (const QPoint p :
             {QPoint(0, 0), QPoint(1, 0), QPoint(36, 0), QPoint(0, 20), QPoint(36, 20), QPoint(18, 10)})
            QCOMPARE(image.pixel(p) | 0xFF000000, picture.pixel(p) | 0xFF000000);
    }

    void gifStillAndAnimated()
    {
        zvtest::TempHome home;
        const QString still = home.file(QStringLiteral("still.gif"));
        const QString moving = home.file(QStringLiteral("moving.gif"));
        QVERIFY(convert({QStringLiteral("-size"), QStringLiteral("40x30"), QStringLiteral("xc:red"), still}));
        QVERIFY(convert({QStringLiteral("-delay"), QStringLiteral("10"), QStringLiteral("-size"),
                         QStringLiteral("40x30"), QStringLiteral("xc:red"), QStringLiteral("xc:blue"),
                         QStringLiteral("-loop"), QStringLiteral("0"), moving}));
        QCOMPARE(zv::readPictureHeader(still).size, QSize(40, 30));
        QVERIFY(!zv::readPictureHeader(still).animated);
        QVERIFY(zv::readPictureHeader(moving).animated);
        const QImage first = zv::readPicture(moving, QSize(1920, 1080));
        QCOMPARE(first.size(), QSize(40, 30));
        QVERIFY(near(first.pixel(5, 5), QColor(255, 0, 0)));
    }

    void tiffFromAScanner()
    {
        // Stored under the extension "tiff"; Qt reads it through the image formats plugins.
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("scan.tiff"));
        QVERIFY(convert({QStringLiteral("-size"), QStringLiteral("40x30"), QStringLiteral("xc:blue"), path}));
        QCOMPARE(zv::readPictureHeader(path).size, QSize(40, 30));
        const QImage image = zv::readPicture(path, QSize(1920, 1080));
        QCOMPARE(image.size(), QSize(40, 30));
        QVERIFY(near(image.pixel(5, 5), QColor(0, 0, 255)));
    }

    void largePicturesAreDecodedSmall()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("big.jpg"));
        QVERIFY(writeFile(path, jpeg(halves(4000, 3000, kRed, kBlue), JpegKind::Baseline, 80)));
        const QImage image = zv::readPicture(path, QSize(800, 600));
        QCOMPARE(image.size(), QSize(800, 600));
        QVERIFY(near(image.pixel(100, 300), kRed));
        QVERIFY(near(image.pixel(700, 300), kBlue));
        // A picture wider than tall is fitted to the width.
        const QString wide = home.file(QStringLiteral("wide.bmp"));
        QVERIFY(writeFile(wide, bmp(halves(1600, 200, kRed, kBlue), 24)));
        QCOMPARE(zv::readPicture(wide, QSize(800, 600)).size(), QSize(800, 100));
    }

    void brokenFilesGiveNothing()
    {
        zvtest::TempHome home;
        const QByteArray good = jpeg(halves(64, 64, kRed, kBlue));
        const QList<QPair<QString, QByteArray>> files = {
            {QStringLiteral("empty.jpg"), QByteArray()},
            {QStringLiteral("text.jpg"), QByteArray("These are my notes, not a picture.\n")},
            {QStringLiteral("header-only.jpg"), good.left(20)},
            {QStringLiteral("gif-header.gif"), QByteArray("GIF89a\x10\x00")},
            {QStringLiteral("bmp-header.bmp"), bmp(halves(16, 16, kRed, kBlue), 24).left(30)},
        };
        for (const auto &[name, bytes] : files) {
            const QString path = home.file(name);
            QVERIFY(writeFile(path, bytes));
            QVERIFY2(zv::readPicture(path, QSize(800, 600)).isNull(), qPrintable(name));
        }
        QVERIFY(zv::readPicture(home.file(QStringLiteral("missing.jpg")), QSize(800, 600)).isNull());
        QVERIFY(!zv::readPictureHeader(home.file(QStringLiteral("text.jpg"))).readable);
        // A JPEG cut in the middle shows what arrived, or nothing; either way the program goes on.
        const QString cut = home.file(QStringLiteral("cut.jpg"));
        QVERIFY(writeFile(cut, good.left(good.size() / 2)));
        const QImage partial = zv::readPicture(cut, QSize(800, 600));
        QVERIFY(partial.isNull() || partial.size() == QSize(64, 64));
    }

    void hugeHeaderIsRefusedWithoutTheMemory()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("huge.bmp"));
        QVERIFY(writeFile(path, hugeBmpHeader(100000, 100000)));
        // Another program may have raised the limit; the reader sets it back.
        QImageReader::setAllocationLimit(0);
        const long before = peakMemoryKb();
        QVERIFY(zv::readPicture(path, QSize(800, 600)).isNull());
        QVERIFY(zv::readPicture(path, QSize()).isNull());
        QCOMPARE(QImageReader::allocationLimit(), zv::kPictureMemoryLimitMb);
        QVERIFY2(peakMemoryKb() - before < 100 * 1024, qPrintable(QString::number(peakMemoryKb() - before)));
    }
};

QTEST_MAIN(TestPictureReader)
#include "tst_picture_reader.moc"
