#include "XmWriter.h"

#include <algorithm>
#include <stdexcept>

namespace xm {

namespace {

class Bytes
{
public:
    void u8(unsigned v) { data.push_back(uint8_t(v)); }
    void u16(unsigned v)
    {
        u8(v & 0xff);
        u8((v >> 8) & 0xff);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    // Fixed-width text field, padded with `pad`.
    void text(const std::string &s, size_t width, char pad = '\0')
    {
        for (size_t i = 0; i < width; ++i)
            u8(i < s.size() ? uint8_t(s[i]) : uint8_t(pad));
    }
    void zeros(size_t n) { data.insert(data.end(), n, 0); }
    void append(const std::vector<uint8_t> &other) { data.insert(data.end(), other.begin(), other.end()); }

    std::vector<uint8_t> data;
};

std::vector<uint8_t> packPattern(const Pattern &p)
{
    Bytes out;
    for (const Cell &c : p.cells) {
        const bool all = c.note && c.instrument && c.volume && c.effect && c.param;
        if (all) {
            out.u8(c.note);
            out.u8(c.instrument);
            out.u8(c.volume);
            out.u8(c.effect);
            out.u8(c.param);
            continue;
        }
        // Packed form: a flag byte with the high bit set says which fields follow.
        const unsigned flags = 0x80 | (c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) |
                               (c.effect ? 8 : 0) | (c.param ? 16 : 0);
        out.u8(flags);
        if (c.note)
            out.u8(c.note);
        if (c.instrument)
            out.u8(c.instrument);
        if (c.volume)
            out.u8(c.volume);
        if (c.effect)
            out.u8(c.effect);
        if (c.param)
            out.u8(c.param);
    }
    return out.data;
}

void writeInstrument(Bytes &out, const Instrument &ins)
{
    constexpr uint32_t kHeaderSize = 263;
    const size_t start = out.data.size();
    out.u32(kHeaderSize);
    out.text(ins.name, 22);
    out.u8(0);  // type
    out.u16(1); // one sample
    out.u32(40);
    out.zeros(96); // every note uses sample 0

    if (ins.volumeEnvelope.size() > 12)
        throw std::runtime_error("an envelope has at most 12 points");
    for (size_t i = 0; i < 12; ++i) {
        const EnvelopePoint p = i < ins.volumeEnvelope.size() ? ins.volumeEnvelope[i] : EnvelopePoint{0, 0};
        out.u16(p.tick);
        out.u16(p.value);
    }
    out.zeros(48); // panning envelope
    out.u8(uint8_t(ins.volumeEnvelope.size()));
    out.u8(0);
    out.u8(uint8_t(std::max(0, ins.sustainPoint)));
    out.u8(0); // loop start
    out.u8(0); // loop end
    out.zeros(3);
    unsigned volumeType = 0;
    if (!ins.volumeEnvelope.empty())
        volumeType |= 1;
    if (ins.sustainPoint >= 0)
        volumeType |= 2;
    out.u8(volumeType);
    out.u8(0);
    out.u8(0); // sine vibrato
    out.u8(ins.vibratoSweep);
    out.u8(ins.vibratoDepth);
    out.u8(ins.vibratoRate);
    out.u16(ins.fadeout);
    out.zeros(kHeaderSize - (out.data.size() - start));

    // Sample header; lengths are in bytes for 16-bit samples.
    out.u32(uint32_t(ins.sample.size() * 2));
    out.u32(ins.loopStart * 2);
    out.u32(ins.loopLength * 2);
    out.u8(ins.volume);
    out.u8(uint8_t(ins.finetune));
    out.u8((ins.loopLength ? 1 : 0) | 0x10); // forward loop, 16 bit
    out.u8(ins.panning);
    out.u8(uint8_t(ins.relativeNote));
    out.u8(0);
    out.text(ins.name, 22);

    // Sample data is stored as differences between neighbours.
    int16_t previous = 0;
    for (const int16_t s : ins.sample) {
        out.u16(uint16_t(int16_t(s - previous)));
        previous = s;
    }
}

} // namespace

std::vector<uint8_t> encode(const Module &m)
{
    if (m.order.empty() || m.order.size() > 256 || m.patterns.empty() || m.instruments.size() > 128 || m.channels < 2 ||
        m.channels > 32)
        throw std::runtime_error("module out of the format's limits");

    Bytes out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20, ' ');
    out.u8(0x1a);
    out.text("xmcompose", 20, ' ');
    out.u16(0x0104);
    out.u32(276);
    out.u16(uint16_t(m.order.size()));
    out.u16(uint16_t(m.restartPosition));
    out.u16(uint16_t(m.channels));
    out.u16(uint16_t(m.patterns.size()));
    out.u16(uint16_t(m.instruments.size()));
    out.u16(1); // linear frequency table
    out.u16(uint16_t(m.speed));
    out.u16(uint16_t(m.tempo));
    for (size_t i = 0; i < 256; ++i)
        out.u8(i < m.order.size() ? unsigned(m.order[i]) : 0u);

    for (const Pattern &p : m.patterns) {
        if (p.channels != m.channels || p.rows < 1 || p.rows > 256)
            throw std::runtime_error("pattern does not fit the module");
        const std::vector<uint8_t> packed = packPattern(p);
        out.u32(9);
        out.u8(0);
        out.u16(uint16_t(p.rows));
        out.u16(uint16_t(packed.size()));
        out.append(packed);
    }
    for (const Instrument &ins : m.instruments)
        writeInstrument(out, ins);
    return out.data;
}

} // namespace xm
