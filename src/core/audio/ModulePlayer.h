#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace openmpt {
class module;
}

namespace zv {

// Decodes a tracker module with libopenmpt into 16-bit interleaved stereo.
class ModuleRenderer
{
public:
    // nullptr when the data is not a module libopenmpt can read. With `loop` the module
    // plays from its end back to its start for ever.
    static std::unique_ptr<ModuleRenderer> open(const QByteArray &data, int sampleRate, bool loop = true);
    ~ModuleRenderer();

    // Fills up to `frames` stereo frames; fewer only at the end of a module that does not loop.
    int render(qint16 *interleaved, int frames);
    // Length of one pass through the module.
    double durationSeconds() const;
    int sampleRate() const { return m_sampleRate; }

private:
    ModuleRenderer(std::unique_ptr<openmpt::module> module, int sampleRate);

    std::unique_ptr<openmpt::module> m_module;
    int m_sampleRate;
};

// Where the player's sound goes. Made on the thread that starts the player; opened, fed and
// destroyed on the player's own thread.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // The sample rate to render at (stereo, 16 bit), or 0 when nothing can be played.
    virtual int open() = 0;
    // How many bytes can be written now without waiting.
    virtual qint64 bytesFree() = 0;
    virtual void write(const char *data, qint64 size) = 0;
};

// Makes the output for one playback; returns nullptr when there is no sound device.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// The sound device: Qt Multimedia's sink on the default output at that device's rate.
std::unique_ptr<AudioOutput> defaultAudioOutput();
// Replaces where every player sends its sound (tests capture it); returns the previous factory.
AudioOutputFactory setAudioOutputFactory(AudioOutputFactory factory);

// Plays a module from the program's resources in a loop, rendering on a thread of its own.
// Without a sound device, or with a module that cannot be decoded, it stays silent.
class ModulePlayer
{
public:
    static inline const QString creditsTune = QStringLiteral(":/music/credits.xm");

    ModulePlayer();
    ~ModulePlayer();
    ModulePlayer(const ModulePlayer &) = delete;
    ModulePlayer &operator=(const ModulePlayer &) = delete;

    // Plays `resource` from its beginning (a tune already playing is stopped first) and returns at once.
    void start(const QString &resource = creditsTune);
    // Ends playback and the player's thread; does nothing when nothing plays.
    void stop();
    // True while the player's thread runs.
    bool isPlaying() const;

private:
    class Thread;
    std::unique_ptr<Thread> m_thread;
};

} // namespace zv
