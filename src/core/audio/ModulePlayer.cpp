#include "core/audio/ModulePlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <libopenmpt/libopenmpt.hpp>
#include <ostream>
#include <vector>

namespace zv {

// ---- ModuleRenderer

ModuleRenderer::ModuleRenderer(std::unique_ptr<openmpt::module> module, int sampleRate)
    : m_module(std::move(module))
    , m_sampleRate(sampleRate)
{
}

ModuleRenderer::~ModuleRenderer() = default;

std::unique_ptr<ModuleRenderer> ModuleRenderer::open(const QByteArray &data, int sampleRate, bool loop)
{
    if (data.isEmpty() || sampleRate <= 0)
        return nullptr;
    // libopenmpt's loading remarks would only clutter the console.
    static std::ostream quiet(nullptr);
    try {
        auto module = std::make_unique<openmpt::module>(data.constData(), size_t(data.size()), quiet);
        module->set_repeat_count(loop ? -1 : 0);
        // Without dither the same module always gives the same samples.
        module->ctl_set_integer("dither", 0);
        return std::unique_ptr<ModuleRenderer>(new ModuleRenderer(std::move(module), sampleRate));
    } catch (const std::exception &) {
        return nullptr;
    }
}

int ModuleRenderer::render(qint16 *interleaved, int frames)
{
    if (frames <= 0)
        return 0;
    return int(m_module->read_interleaved_stereo(m_sampleRate, size_t(frames), interleaved));
}

double ModuleRenderer::durationSeconds() const
{
    return m_module->get_duration_seconds();
}

// ---- the sound device

namespace {

// Short enough that the tune falls silent promptly when it is stopped.
constexpr qint64 kSinkBufferMicroseconds = 150000;
constexpr qint64 kFrameBytes = 2 * sizeof(qint16);

class SinkOutput : public AudioOutput
{
public:
    explicit SinkOutput(QAudioDevice device)
        : m_device(std::move(device))
    {
    }
    ~SinkOutput() override
    {
        if (m_sink)
            m_sink->stop();
    }

    int open() override
    {
        int rate = m_device.preferredFormat().sampleRate();
        if (rate < 8000 || rate > 192000)
            rate = 48000;
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!m_device.isFormatSupported(format))
            return 0;
        m_sink = std::make_unique<QAudioSink>(m_device, format);
        m_sink->setBufferSize(format.bytesForDuration(kSinkBufferMicroseconds));
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            m_sink.reset();
            return 0;
        }
        return rate;
    }

    qint64 bytesFree() override { return m_sink ? m_sink->bytesFree() : 0; }

    void write(const char *data, qint64 size) override
    {
        if (m_io)
            m_io->write(data, size);
    }

private:
    QAudioDevice m_device;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_io = nullptr;
};

AudioOutputFactory &installedFactory()
{
    static AudioOutputFactory factory = defaultAudioOutput;
    return factory;
}

} // namespace

std::unique_ptr<AudioOutput> defaultAudioOutput()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return nullptr;
    return std::make_unique<SinkOutput>(device);
}

AudioOutputFactory setAudioOutputFactory(AudioOutputFactory factory)
{
    AudioOutputFactory previous = std::move(installedFactory());
    installedFactory() = std::move(factory);
    return previous;
}

// ---- ModulePlayer

// Decodes and feeds the output from its own event loop, so the sink lives, works and
// goes away on this thread alone.
class ModulePlayer::Thread : public QThread
{
public:
    Thread(QByteArray module, std::unique_ptr<AudioOutput> output)
        : m_module(std::move(module))
        , m_output(std::move(output))
    {
    }

protected:
    void run() override
    {
        play();
        m_output.reset();
    }

private:
    void play()
    {
        const int rate = m_output->open();
        if (rate <= 0 || isInterruptionRequested())
            return;
        const std::unique_ptr<ModuleRenderer> renderer = ModuleRenderer::open(m_module, rate);
        if (!renderer)
            return;
        QTimer pump;
        QObject::connect(&pump, &QTimer::timeout, &pump, [this, &renderer] { feed(*renderer); });
        feed(*renderer);
        pump.start(10);
        exec();
    }

    // Tops the output up to what it can take now.
    void feed(ModuleRenderer &renderer)
    {
        constexpr int kChunkFrames = 2048;
        constexpr int kMostChunks = 16; // then let the event loop look at a stop request
        for (int chunk = 0; chunk < kMostChunks && !isInterruptionRequested(); ++chunk) {
            const int frames = int(std::min<qint64>(m_output->bytesFree() / kFrameBytes, kChunkFrames));
            if (frames <= 0)
                return;
            m_buffer.resize(size_t(frames) * 2);
            const int rendered = renderer.render(m_buffer.data(), frames);
            if (rendered <= 0)
                return;
            m_output->write(reinterpret_cast<const char *>(m_buffer.data()), rendered * kFrameBytes);
        }
    }

    QByteArray m_module;
    std::unique_ptr<AudioOutput> m_output;
    std::vector<qint16> m_buffer;
};

ModulePlayer::ModulePlayer() = default;

ModulePlayer::~ModulePlayer()
{
    stop();
}

void ModulePlayer::start(const QString &resource)
{
    stop();
    QFile file(resource);
    const QByteArray module = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    std::unique_ptr<AudioOutput> output = installedFactory() ? installedFactory()() : nullptr;
    if (!output)
        return; // no sound device: the credits run in silence
    m_thread = std::make_unique<Thread>(module, std::move(output));
    m_thread->start();
}

void ModulePlayer::stop()
{
    if (!m_thread)
        return;
    m_thread->requestInterruption();
    m_thread->quit();
    if (!m_thread->wait(QDeadlineTimer(5000))) {
        // A sound server that stopped answering must not freeze the program; the thread
        // ends on its own once the server lets go.
        qWarning("ModulePlayer: the sound thread did not end in time");
        Thread *stuck = m_thread.release();
        QObject::connect(stuck, &QThread::finished, stuck, &QObject::deleteLater);
        return;
    }
    m_thread.reset();
}

bool ModulePlayer::isPlaying() const
{
    return m_thread && m_thread->isRunning();
}

} // namespace zv
