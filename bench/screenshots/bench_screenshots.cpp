// Stepping through 50 photographs of 4000 × 3000 pixels in the screenshot viewer, against a plain
// QImageReader decode of the same files measured in the same run, with the memory it keeps.
// The pictures are made in a temporary folder and go with it. The screen is 1920 × 1080 unless
// the platform is not the offscreen one.
// Usage: bench_screenshots [--quick | number of pictures, default 50]   (quick: two pictures)
#include "SilentSeam.h"
#include "core/SharedState.h"
#include "gui/QtSeam.h"
#include "gui/screenshots/PictureReader.h"
#include "gui/screenshots/frmScreen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using zvtest::SilentSeam;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Something like a photograph: soft light, a few shapes, fine grain; different for each `index`.
QImage photograph(const QImage &grain, int index)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0, QColor::fromHsv((index * 37) % 360, 120, 230));
    sky.setColorAt(1, QColor::fromHsv((index * 37 + 150) % 360, 200, 90));
    painter.fillRect(image.rect(), sky);
    QRandomGenerator random(quint32(index) + 1);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), 160, int(random.bounded(100, 255))));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(int(random.bounded(kWidth)), int(random.bounded(kHeight))),
                            int(random.bounded(50, 600)), int(random.bounded(50, 600)));
    }
    painter.setCompositionMode(QPainter::CompositionMode_Overlay);
    painter.drawImage(0, 0, grain);
    return image;
}

QImage makeGrain()
{
    QImage grain(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(2024);
    for (int y = 0; y < kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(grain.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int v = int(random.bounded(112, 144));
            line[x] = qRgba(v, v, v, 24);
        }
    }
    return grain;
}

// Processor time of the whole process in ms: what a step costs, whatever else the machine runs.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing
{
    std::vector<double> wall;
    std::vector<double> cpu;
};

// Times `work` into `timing`.
template <typename Work> void timed(Timing &timing, Work work)
{
    QElapsedTimer timer;
    const double cpuStart = cpuMs();
    timer.start();
    work();
    timing.wall.push_back(timer.nsecsElapsed() / 1e6);
    timing.cpu.push_back(cpuMs() - cpuStart);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The resident memory now, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1024 * 1024) : 0;
}

void plainDecodes(Timing &timing, const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        timed(timing, [&] {
            QImageReader reader(folder + QLatin1Char('/') + name);
            if (reader.read().isNull())
                std::fprintf(stderr, "could not decode %s\n", qPrintable(name));
        });
    }
}

double maximum(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char *argv[])
{
    // The offscreen platform's screen is 800 × 800; a usual desktop's is larger.
    QTemporaryDir folder;
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")) {
        QFile config(folder.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens":[{"name":"Bench","x":0,"y":0,"width":1920,"height":1080,)"
                         R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
        }
    }
    QApplication app(argc, argv);
    SilentSeam seam;
    zv::setSeam(&seam);
    zv::limitPictureMemory();
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int count = quick ? 2 : argc > 1 ? std::max(2, std::atoi(argv[1])) : 50;

    qputenv("ZORVANELL_HOME", QFile::encodeName(folder.path()));
    const QString pictures = folder.filePath(QStringLiteral("ScreenShots"));
    QDir().mkpath(pictures);
    std::printf("making %d pictures of %d x %d in %s ...\n", count, kWidth, kHeight, qPrintable(pictures));
    std::fflush(stdout);
    const QImage grain = makeGrain();
    QStringList names;
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("Photo_%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        QImageWriter writer(pictures + QLatin1Char('/') + name, "jpeg");
        writer.setQuality(90);
        writer.write(photograph(grain, i));
        bytes += QFileInfo(pictures + QLatin1Char('/') + name).size();
        names << name;
    }
    const QSize screen = app.primaryScreen()->availableGeometry().size();
    std::printf("pictures: %d, %.1f MB each on average; screen %d x %d\n", count, bytes / double(count) / 1048576,
                screen.width(), screen.height());

    // The plain decode before and after the viewer, so that neither side has the warmer caches.
    Timing baseline;
    plainDecodes(baseline, pictures, names);
    const double residentBefore = residentMb();

    const QString first = pictures + QLatin1Char('/') + names.first();
    Timing steps;
    double residentMax = 0;
    {
        frmScreen viewer(nullptr, QStringLiteral("Photo"), first, true, names, 0);
        if (!viewer.isLoaded()) {
            std::fprintf(stderr, "the viewer did not open\n");
            return 1;
        }
        viewer.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < count; ++i) {
            timed(steps, [&] {
                viewer.stepForward();
                viewer.repaint();
                QCoreApplication::processEvents();
            });
            residentMax = std::max(residentMax, residentMb());
        }
        std::printf("viewer window after the last step: %d x %d\n", viewer.width(), viewer.height());
    }
    plainDecodes(baseline, pictures, names);

    const double plainWall = median(baseline.wall);
    const double plainCpu = median(baseline.cpu);
    std::printf("\n%-42s %12s %12s %12s %12s\n", "", "median ms", "max ms", "median cpu", "max cpu");
    std::printf("%-42s %12.1f %12.1f %12.1f %12.1f\n", "plain QImageReader decode (baseline)", plainWall,
                maximum(baseline.wall), plainCpu, maximum(baseline.cpu));
    std::printf("%-42s %12.1f %12.1f %12.1f %12.1f\n", "viewer step (decode to screen size, show)", median(steps.wall),
                maximum(steps.wall), median(steps.cpu), maximum(steps.cpu));
    std::printf("%-42s %12.2f %12s %12.2f\n", "ratio step / baseline", median(steps.wall) / plainWall, "",
                median(steps.cpu) / plainCpu);
    std::printf("\nresident memory: %.0f MB before the viewer, at most %.0f MB while stepping (+%.0f MB);\n"
                "one picture decoded at full size takes %.0f MB\n",
                residentBefore, residentMax, residentMax - residentBefore, kWidth * kHeight * 4 / 1048576.0);
    std::printf("every step within 150 ms: %s (processor time: %s)\n", maximum(steps.wall) <= 150 ? "yes" : "no",
                maximum(steps.cpu) <= 150 ? "yes" : "no");
    return 0;
}
