#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace synth {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBaseRate = 8363.0;     // a sample plays at this rate on C-4
constexpr double kMiddleC = 261.6255653; // C-4
constexpr int kDrumRelativeNote = 24;    // drums are drawn at 4 x 8363 Hz and played on C-4

int16_t clip(double v)
{
    return int16_t(std::lround(std::clamp(v, -1.0, 1.0) * 32000.0));
}

// A looped waveform of `length` frames holding `cycles` periods; `wave` gets the phase
// in periods. Relative note and finetune are set so that C-4 sounds as C-4.
xm::Instrument looped(const std::string &name, int length, int cycles, const std::function<double(double)> &wave)
{
    xm::Instrument ins;
    ins.name = name;
    ins.sample.resize(size_t(length));
    for (int i = 0; i < length; ++i)
        ins.sample[size_t(i)] = clip(wave(double(i) * cycles / length));
    ins.loopStart = 0;
    ins.loopLength = uint32_t(length);

    const double semitones = 12.0 * std::log2(kMiddleC * length / (cycles * kBaseRate));
    const int relative = int(std::lround(semitones));
    ins.relativeNote = int8_t(relative);
    ins.finetune = int8_t(std::clamp<long>(std::lround((semitones - relative) * 128.0), -128, 127));
    return ins;
}

// Sum of harmonics with the given amplitudes (index 0 is the fundamental), normalised to `peak`.
std::function<double(double)> harmonics(std::vector<double> amplitude, double peak)
{
    double sum = 0;
    for (double a : amplitude)
        sum += std::abs(a);
    return [amplitude = std::move(amplitude), scale = peak / sum](double phase) {
        double v = 0;
        for (size_t h = 0; h < amplitude.size(); ++h)
            v += amplitude[h] * std::sin(2 * kPi * double(h + 1) * phase);
        return v * scale;
    };
}

std::vector<double> sawtooth(int count)
{
    std::vector<double> a;
    for (int h = 1; h <= count; ++h)
        a.push_back(1.0 / h);
    return a;
}

// A one-shot sound of `seconds`, drawn at the drums' rate; `shape` gets the time in seconds.
xm::Instrument oneShot(const std::string &name, double seconds, const std::function<double(double)> &shape)
{
    const double rate = kBaseRate * std::exp2(kDrumRelativeNote / 12.0);
    xm::Instrument ins;
    ins.name = name;
    ins.relativeNote = kDrumRelativeNote;
    const int frames = int(seconds * rate);
    for (int i = 0; i < frames; ++i) {
        const double t = i / rate;
        const double fadeTail = std::min(1.0, (frames - i) / (0.004 * rate)); // no click at the end
        ins.sample.push_back(clip(shape(t) * fadeTail));
    }
    return ins;
}

// Reproducible noise.
class Noise
{
public:
    double next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return double(m_state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t m_state = 2463534242u;
};

} // namespace

xm::Instrument lead()
{
    // A pulse wave of 30 % duty: hollow but bright enough to carry the tune.
    std::vector<double> a;
    for (int h = 1; h <= 14; ++h)
        a.push_back(std::sin(kPi * h * 0.3) / h);
    xm::Instrument ins = looped("Lead", 256, 1, harmonics(a, 0.9));
    ins.volumeEnvelope = {{0, 0}, {2, 64}, {12, 44}, {40, 36}, {90, 0}};
    ins.sustainPoint = 3;
    ins.fadeout = 0x300;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 10;
    ins.volume = 48;
    return ins;
}

xm::Instrument bass()
{
    xm::Instrument ins = looped("Bass", 256, 1, harmonics(sawtooth(18), 0.95));
    ins.volumeEnvelope = {{0, 64}, {4, 50}, {24, 36}, {40, 30}, {60, 0}};
    ins.sustainPoint = 3;
    ins.fadeout = 0x800;
    ins.volume = 52;
    return ins;
}

xm::Instrument pad()
{
    // Three slightly detuned saws in one loop give a slow chorus.
    const auto saw = harmonics(sawtooth(9), 1.0);
    xm::Instrument ins = looped("Pad", 16384, 128, [&saw](double phase) {
        return 0.3 * (saw(phase * 127.0 / 128.0) + saw(phase) + saw(phase * 129.0 / 128.0));
    });
    ins.volumeEnvelope = {{0, 0}, {30, 48}, {60, 40}, {120, 0}};
    ins.sustainPoint = 2;
    ins.fadeout = 0x200;
    ins.volume = 28;
    return ins;
}

xm::Instrument bell()
{
    xm::Instrument ins = looped("Bell", 256, 1, harmonics({1.0, 0.0, 0.35, 0.0, 0.12}, 0.9));
    ins.volumeEnvelope = {{0, 64}, {3, 40}, {16, 14}, {48, 0}};
    ins.fadeout = 0x400;
    ins.volume = 30;
    return ins;
}

xm::Instrument kick()
{
    return oneShot("Kick", 0.32, [](double t) {
        // The pitch falls from 150 Hz to 45 Hz; its phase is the integral of that sweep.
        const double k = 28.0;
        const double phase = 45.0 * t + (150.0 - 45.0) * (1.0 - std::exp(-k * t)) / k;
        const double click = t < 0.003 ? 0.3 * (1.0 - t / 0.003) : 0.0;
        return 0.95 * std::sin(2 * kPi * phase) * std::exp(-t / 0.11) + click;
    });
}

xm::Instrument snare()
{
    Noise noise;
    xm::Instrument ins = oneShot("Snare", 0.24, [&noise](double t) {
        const double body = std::sin(2 * kPi * 185.0 * t) * std::exp(-t / 0.035);
        return 0.45 * body + 0.55 * noise.next() * std::exp(-t / 0.07);
    });
    ins.volume = 50;
    return ins;
}

xm::Instrument hihat()
{
    Noise noise;
    double previous = 0;
    xm::Instrument ins = oneShot("Hat", 0.07, [&noise, &previous](double t) {
        // The difference of neighbouring noise values keeps only the hiss.
        const double n = noise.next();
        const double high = n - previous;
        previous = n;
        return 0.4 * high * std::exp(-t / 0.018);
    });
    ins.volume = 34;
    return ins;
}

} // namespace synth
