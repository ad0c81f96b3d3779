// End to end: the credits play through a real sound server. A private PulseAudio with
// only a null sink is started for this test; its monitor is recorded with parec.
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "gui/windows/frmTitles.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

constexpr int kRate = 44100;
constexpr int kFrameBytes = 4; // 16-bit stereo

struct Level
{
    double rms = 0;
    int peak = 0;
};

Level measure(const QByteArray &raw)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    const qsizetype count = raw.size() / 2;
    Level level;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        sum += double(samples[i]) * samples[i];
        level.peak = std::max(level.peak, std::abs(int(samples[i])));
    }
    level.rms = count ? std::sqrt(sum / double(count)) : 0.0;
    return level;
}

// Asks the process to end, and insists only if it does not within a few seconds.
void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

} // namespace

class TestCreditsAudio : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_recorder;
    QByteArray m_recorded;

    QByteArray recordFor(int milliseconds)
    {
        const qsizetype from = m_recorded.size();
        QTest::qWait(milliseconds);
        return m_recorded.mid(from);
    }

private slots:
    void initTestCase()
    {
        const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        const QString parec = QStandardPaths::findExecutable(QStringLiteral("parec"));
        if (pulseaudio.isEmpty() || parec.isEmpty())
            QSKIP("pulseaudio and parec are needed (Debian pulseaudio, pulseaudio-utils)");
        QVERIFY(m_dir.isValid());

        // Everything the server keeps goes into the temporary folder, so it meets no other server.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.filePath(QStringLiteral("pulse")));
        env.remove(QStringLiteral("PULSE_SERVER"));
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // -n: no default script, only the two modules; root gets a warning and goes on.
        m_server.start(pulseaudio,
                       {QStringLiteral("-n"), QStringLiteral("--system=false"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=false"),
                        QStringLiteral("--disable-shm=true"), QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                        QStringLiteral("module-null-sink sink_name=zvnull"), QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket});
        QVERIFY2(m_server.waitForStarted(5000), qPrintable(m_server.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket) || m_server.state() == QProcess::NotRunning, 10000);
        QVERIFY2(m_server.state() == QProcess::Running, "the sound server ended at once");

        const QByteArray server = "unix:" + QFile::encodeName(socket);
        qputenv("PULSE_SERVER", server);
        env.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(server));
        m_recorder.setProcessEnvironment(env);
        m_recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&m_recorder, &QProcess::readyReadStandardOutput, this,
                [this] { m_recorded += m_recorder.readAllStandardOutput(); });
        m_recorder.start(parec, {QStringLiteral("-d"), QStringLiteral("zvnull.monitor"), QStringLiteral("--raw"),
                                 QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                                 QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
        QVERIFY2(m_recorder.waitForStarted(5000), qPrintable(m_recorder.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorded.isEmpty(), 10000);
    }

    void theTuneSoundsWhileTheCreditsAreOpenAndStopsWithThem()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;

        const QByteArray before = recordFor(500);
        QCOMPARE(measure(before).peak, 0); // nothing else plays into the sink

        frmTitles titles;
        titles.show();
        QTest::qWait(1500); // the sound reaches the sink and the monitor
        const QByteArray open = recordFor(1500);
        QVERIFY2(open.size() >= kRate * kFrameBytes, "the recording did not keep up");
        const Level playing = measure(open);
        QVERIFY2(playing.rms > 500.0, qPrintable(QStringLiteral("rms %1").arg(playing.rms)));

        QTest::keyClick(&titles, Qt::Key_Escape);
        QVERIFY(!titles.isVisible());
        QTest::qWait(700); // what the server still held has played out
        const QByteArray closed = recordFor(1500);
        QVERIFY2(closed.size() >= kRate * kFrameBytes, "the recording did not keep up");
        QCOMPARE(measure(closed).peak, 0);
    }

    void cleanupTestCase()
    {
        stopProcess(m_recorder);
        stopProcess(m_server);
        qunsetenv("PULSE_SERVER");
    }
};

QTEST_MAIN(TestCreditsAudio)
#include "tst_credits_audio.moc"
