#include "CaptureOutput.h"
#include "core/audio/ModulePlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

using zv::ModulePlayer;
using zv::ModuleRenderer;
using zvtest::Capture;

namespace {

constexpr int kRate = 48000;
// Eight sections of 64 rows, six ticks a row at 125 beats a minute: 0.12 s a row.
constexpr double kTuneSeconds = 8 * 64 * 0.12;

QByteArray tune()
{
    QFile file(ModulePlayer::creditsTune);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double rms(const qint16 *samples, size_t count)
{
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

std::vector<qint16> renderFrames(ModuleRenderer &renderer, int frames)
{
    std::vector<qint16> out(size_t(frames) * 2);
    int done = 0;
    while (done < frames) {
        const int got = renderer.render(out.data() + 2 * done, std::min(4096, frames - done));
        if (got <= 0)
            break;
        done += got;
    }
    out.resize(size_t(done) * 2);
    return out;
}

// The first `frames` of the tune as a fresh renderer gives them.
QByteArray openingBytes(int frames, int rate = kRate)
{
    auto renderer = ModuleRenderer::open(tune(), rate);
    const std::vector<qint16> samples = renderFrames(*renderer, frames);
    return QByteArray(reinterpret_cast<const char *>(samples.data()), qsizetype(samples.size() * 2));
}

} // namespace

class TestModulePlayer : public QObject
{
    Q_OBJECT

private slots:
    void theTuneIsAnExtendedModuleInTheResources()
    {
        const QByteArray data = tune();
        QVERIFY(data.startsWith("Extended Module: "));
        QCOMPARE(quint8(data.at(58)), quint8(0x04)); // format version 1.04, little-endian
        QCOMPARE(quint8(data.at(59)), quint8(0x01));
    }

    void onePassHasTheExpectedLengthAndIsNeverSilent()
    {
        auto renderer = ModuleRenderer::open(tune(), kRate, false);
        QVERIFY(renderer);
        QCOMPARE(qRound(renderer->durationSeconds() * 100), qRound(kTuneSeconds * 100));

        const std::vector<qint16> all = renderFrames(*renderer, int((kTuneSeconds + 5) * kRate));
        const double seconds = double(all.size() / 2) / kRate;
        // The last row is followed by a few ticks of its notes dying away.
        QVERIFY2(seconds >= kTuneSeconds && seconds < kTuneSeconds + 0.15, qPrintable(QString::number(seconds)));

        // Every half second of it carries sound, and it does not clip.
        const size_t window = kRate; // half a second of stereo samples
        for (size_t at = 0; at + window <= all.size(); at += window)
            QVERIFY2(rms(all.data() + at, window) > 1000.0, qPrintable(QString::number(double(at) / (2 * kRate))));
        const auto [low, high] = std::minmax_element(all.begin(), all.end());
        QVERIFY(*low > -32768 && *high < 32767);
    }

    void loopingRunsOnPastTheEndWithoutASilentSeam()
    {
        auto renderer = ModuleRenderer::open(tune(), kRate);
        QVERIFY(renderer);
        const int seam = int(kTuneSeconds * kRate);
        renderFrames(*renderer, seam - kRate);
        const std::vector<qint16> around = renderFrames(*renderer, 2 * kRate); // one second each side
        QCOMPARE(around.size(), size_t(4 * kRate));                            // it did not stop at the end
        const size_t window = size_t(kRate) / 20 * 2;                          // 50 ms
        for (size_t at = 0; at + window <= around.size(); at += window)
            QVERIFY2(rms(around.data() + at, window) > 300.0, qPrintable(QString::number(at)));
    }

    void dataThatIsNoModuleIsRefused()
    {
        QVERIFY(!ModuleRenderer::open(QByteArray(), kRate));
        QVERIFY(!ModuleRenderer::open(QByteArray(4096, '\x55'), kRate));
        QVERIFY(!ModuleRenderer::open(tune().left(40), kRate)); // cut inside the header
    }

    void startPlaysFromTheBeginningAndStopEndsTheThread()
    {
        QList<std::shared_ptr<Capture>> captures;
        const qint64 capacity = 8192 * 4;
        zvtest::OutputFactoryGuard guard(zvtest::capturingFactory(captures, capacity));

        ModulePlayer player;
        player.start();
        QCOMPARE(captures.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(captures[0]->size(), capacity, 5000);
        QVERIFY(player.isPlaying()); // a full device keeps it waiting, not finished
        QCOMPARE(captures[0]->data(), openingBytes(8192));

        player.stop();
        QVERIFY(!player.isPlaying());
        QVERIFY(captures[0]->destroyed); // the output went with the thread

        // Again: a new playback from the first frame, not from where the last one stopped.
        player.start();
        QCOMPARE(captures.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(captures[1]->size(), capacity, 5000);
        QCOMPARE(captures[1]->data(), openingBytes(8192));

        // Starting while playing restarts instead of adding a second thread.
        player.start();
        QCOMPARE(captures.size(), 3);
        QVERIFY(captures[1]->destroyed);
        player.stop();
        player.stop(); // harmless twice
        QVERIFY(captures[2]->destroyed);
    }

    void rendersAtTheRateTheOutputAsksFor()
    {
        QList<std::shared_ptr<Capture>> captures;
        zvtest::OutputFactoryGuard guard([&captures]() -> std::unique_ptr<zv::AudioOutput> {
            auto capture = std::make_shared<Capture>();
            capture->capacity = 4096 * 4;
            capture->sampleRate = 22050;
            captures.append(capture);
            return std::make_unique<zvtest::CaptureOutput>(capture);
        });
        ModulePlayer player;
        player.start();
        QTRY_COMPARE_WITH_TIMEOUT(captures[0]->size(), 4096 * 4, 5000);
        QCOMPARE(captures[0]->data(), openingBytes(4096, 22050));
    }

    void destroyingAPlayingPlayerStopsIt()
    {
        QList<std::shared_ptr<Capture>> captures;
        zvtest::OutputFactoryGuard guard(zvtest::capturingFactory(captures, 1 << 30));
        {
            ModulePlayer player;
            player.start();
            QTRY_VERIFY_WITH_TIMEOUT(captures[0]->size() > 0, 5000);
        }
        QVERIFY(captures[0]->destroyed);
        const qint64 size = captures[0]->size();
        QTest::qWait(50);
        QCOMPARE(captures[0]->size(), size);
    }

    void withoutADeviceStartAndStopDoNothing()
    {
        zvtest::OutputFactoryGuard guard([] { return std::unique_ptr<zv::AudioOutput>(); });
        ModulePlayer player;
        QElapsedTimer clock;
        clock.start();
        player.start();
        QVERIFY(!player.isPlaying());
        player.stop();
        QVERIFY(clock.elapsed() < 1000);
    }

    void aDeviceThatWillNotOpenLeavesTheThreadToEnd()
    {
        class Refusing : public zv::AudioOutput
        {
        public:
            int open() override { return 0; }
            qint64 bytesFree() override { return 0; }
            void write(const char *, qint64) override { QFAIL("nothing may be written"); }
        };
        zvtest::OutputFactoryGuard guard([] { return std::make_unique<Refusing>(); });
        ModulePlayer player;
        player.start();
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 2000);
        player.stop();
    }

    void aResourceThatIsNoModulePlaysNothing()
    {
        QList<std::shared_ptr<Capture>> captures;
        zvtest::OutputFactoryGuard guard(zvtest::capturingFactory(captures, 1 << 20));
        QTemporaryDir dir;
        const QString junk = dir.filePath(QStringLiteral("junk.xm"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Extended Module: but nothing after it");
        file.close();

        ModulePlayer player;
        for (const QString &resource : {junk, QStringLiteral(":/music/missing.xm")}) {
            player.start(resource);
            QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 2000);
            player.stop();
        }
        for (const auto &capture : captures)
            QCOMPARE(capture->size(), 0);
    }

    void theSoundDeviceIsMissedQuietlyWhenNoServerAnswers()
    {
        // A sound server address that leads nowhere: the real device lookup must find nothing and not wait.
        QTemporaryDir dir;
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.filePath(QStringLiteral("no-server"))));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!zv::defaultAudioOutput());
        ModulePlayer player; // the installed factory is the real one here
        player.start();
        QVERIFY(!player.isPlaying());
        player.stop();
        QVERIFY(clock.elapsed() < 3000);
    }
};

QTEST_GUILESS_MAIN(TestModulePlayer)
#include "tst_moduleplayer.moc"
