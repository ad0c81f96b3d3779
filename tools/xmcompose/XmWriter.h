#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xm {

// Note numbers as the format counts them: 1 is C-0, 49 is C-4, 97 releases the note.
constexpr int kKeyOff = 97;

struct Cell
{
    uint8_t note = 0;
    uint8_t instrument = 0; // 1-based, 0 = none
    uint8_t volume = 0;     // volume column: 0x10 + 0..64 sets the volume, 0 = none
    uint8_t effect = 0;
    uint8_t param = 0;

    bool empty() const { return !note && !instrument && !volume && !effect && !param; }
};

struct Pattern
{
    Pattern(int rows, int channels)
        : rows(rows)
        , channels(channels)
        , cells(size_t(rows) * channels)
    {
    }
    Cell &at(int row, int channel) { return cells.at(size_t(row) * channels + channel); }
    const Cell &at(int row, int channel) const { return cells.at(size_t(row) * channels + channel); }

    int rows;
    int channels;
    std::vector<Cell> cells;
};

struct EnvelopePoint
{
    uint16_t tick;
    uint16_t value; // 0..64
};

// One instrument with one 16-bit sample, mapped to every note.
struct Instrument
{
    std::string name;
    std::vector<int16_t> sample;
    uint32_t loopStart = 0;  // in sample frames
    uint32_t loopLength = 0; // 0 = plays once
    uint8_t volume = 64;
    int8_t finetune = 0;     // 1/128 semitone
    int8_t relativeNote = 0; // semitones above C-4 at 8363 Hz
    uint8_t panning = 128;
    std::vector<EnvelopePoint> volumeEnvelope; // empty = no envelope
    int sustainPoint = -1;
    uint16_t fadeout = 0;
    uint8_t vibratoDepth = 0, vibratoRate = 0, vibratoSweep = 0;
};

struct Module
{
    std::string name;
    int channels = 8;
    int speed = 6;   // ticks per row
    int tempo = 125; // beats per minute
    int restartPosition = 0;
    std::vector<int> order;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The module in the XM 1.04 layout, ready to be written to a file.
std::vector<uint8_t> encode(const Module &module);

} // namespace xm
