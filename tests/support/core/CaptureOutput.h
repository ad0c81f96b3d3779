#pragma once

#include "core/audio/ModulePlayer.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <memory>

namespace zvtest {

// What a captured playback received; shared between the test and the player's thread.
struct Capture
{
    mutable QMutex mutex;
    QByteArray bytes;
    qint64 capacity = 0; // the output takes no more than this
    int sampleRate = 48000;
    std::atomic<bool> opened{false};
    std::atomic<bool> destroyed{false};

    qint64 size() const
    {
        QMutexLocker lock(&mutex);
        return bytes.size();
    }
    QByteArray data() const
    {
        QMutexLocker lock(&mutex);
        return bytes;
    }
};

// An output that records instead of playing, taking at most 4 KiB at a time like a device would.
class CaptureOutput : public zv::AudioOutput
{
public:
    explicit CaptureOutput(std::shared_ptr<Capture> capture)
        : m_capture(std::move(capture))
    {
    }
    ~CaptureOutput() override { m_capture->destroyed = true; }

    int open() override
    {
        m_capture->opened = true;
        return m_capture->sampleRate;
    }
    qint64 bytesFree() override
    {
        QMutexLocker lock(&m_capture->mutex);
        return std::min<qint64>(4096, m_capture->capacity - m_capture->bytes.size());
    }
    void write(const char *data, qint64 size) override
    {
        QMutexLocker lock(&m_capture->mutex);
        m_capture->bytes.append(data, size);
    }

private:
    std::shared_ptr<Capture> m_capture;
};

// Installs a factory for the lifetime of the object, then puts the previous one back.
class OutputFactoryGuard
{
public:
    explicit OutputFactoryGuard(zv::AudioOutputFactory factory)
        : m_previous(zv::setAudioOutputFactory(std::move(factory)))
    {
    }
    ~OutputFactoryGuard() { zv::setAudioOutputFactory(std::move(m_previous)); }

private:
    zv::AudioOutputFactory m_previous;
};

// Each playback records into a fresh Capture, appended to `captures`.
inline zv::AudioOutputFactory capturingFactory(QList<std::shared_ptr<Capture>> &captures, qint64 capacity)
{
    return [&captures, capacity]() -> std::unique_ptr<zv::AudioOutput> {
        auto capture = std::make_shared<Capture>();
        capture->capacity = capacity;
        captures.append(capture);
        return std::make_unique<CaptureOutput>(capture);
    };
}

} // namespace zvtest
