#include "Composition.h"

#include "Synth.h"

#include <sstream>
#include <stdexcept>

namespace {

constexpr int kRows = 64;
constexpr int kBar = 16; // rows per bar: four beats of four rows

enum Instrument { Lead = 1, Bass, Pad, Bell, Kick, Snare, Hat };
enum Channel { LeadCh, HarmonyCh, EchoCh, BassCh, Pad1Ch, Pad2Ch, Pad3Ch, BellCh, DrumCh, HatCh, ChannelCount };

constexpr uint8_t volume(int v)
{
    return uint8_t(0x10 + v);
}

// "A4", "C#5", "G#3" to the format's note number (C-0 is 1).
int noteNumber(const std::string &name)
{
    static const std::string letters = "C D EF G A B";
    const size_t semitone = letters.find(name.at(0));
    if (semitone == std::string::npos)
        throw std::runtime_error("bad note " + name);
    int n = int(semitone);
    size_t pos = 1;
    if (name.at(pos) == '#') {
        ++n;
        ++pos;
    }
    return 12 * std::stoi(name.substr(pos)) + n + 1;
}

struct Chord
{
    std::string bass; // root in the bass register
    std::string voicing[3];
    std::string arpeggio[3]; // the same chord an octave or two higher
};

const Chord Am{"A2", {"A3", "C4", "E4"}, {"A4", "C5", "E5"}};
const Chord F{"F2", {"A3", "C4", "F4"}, {"F4", "A4", "C5"}};
const Chord C{"C3", {"G3", "C4", "E4"}, {"G4", "C5", "E5"}};
const Chord G{"G2", {"G3", "B3", "D4"}, {"G4", "B4", "D5"}};
const Chord Em{"E2", {"G3", "B3", "E4"}, {"G4", "B4", "E5"}};
const Chord Dm{"D2", {"A3", "D4", "F4"}, {"F4", "A4", "D5"}};
const Chord E{"E2", {"G#3", "B3", "E4"}, {"G#4", "B4", "E5"}};

void put(xm::Pattern &p, int row, int channel, int note, int instrument, uint8_t vol = 0, uint8_t fx = 0,
         uint8_t param = 0)
{
    if (row < 0 || row >= p.rows)
        return;
    xm::Cell &c = p.at(row, channel);
    c.note = uint8_t(note);
    c.instrument = uint8_t(instrument);
    c.volume = vol;
    c.effect = fx;
    c.param = param;
}

// A line written as "E5:4 A4:2 -:2", lengths in rows; "-" rests (releases the note).
struct NoteEvent
{
    int row;
    int note; // 0 for a rest
};

std::vector<NoteEvent> parseLine(const std::string &line)
{
    std::vector<NoteEvent> events;
    std::istringstream in(line);
    std::string token;
    int row = 0;
    while (in >> token) {
        const size_t colon = token.find(':');
        const std::string name = token.substr(0, colon);
        events.push_back({row, name == "-" ? 0 : noteNumber(name)});
        row += std::stoi(token.substr(colon + 1));
    }
    if (row != kRows)
        throw std::runtime_error("a melody line must fill 64 rows: " + line);
    return events;
}

// One diatonic third lower in A minor (G# counts as G).
int thirdBelow(int note)
{
    static const int scale[] = {0, 2, 3, 5, 7, 8, 10}; // A B C D E F G, from A
    const int fromA = (note - noteNumber("A0") + 120) % 12;
    int degree = 0;
    for (int i = 0; i < 7; ++i) {
        if (scale[i] <= fromA)
            degree = i;
    }
    const int target = (degree + 5) % 7; // two steps down
    int interval = scale[degree] - scale[target];
    if (interval <= 0)
        interval += 12;
    return note - interval - (fromA - scale[degree]);
}

struct Section
{
    const Chord *chords[4];
    const char *melody; // nullptr: no lead
    bool harmony = false;
    bool arpeggio = true;
    bool halfTime = false;
    bool fill = false; // drum fill in the last bar
};

void writeMelody(xm::Pattern &p, const Section &s)
{
    if (!s.melody)
        return;
    for (const NoteEvent &e : parseLine(s.melody)) {
        if (!e.note) {
            put(p, e.row, LeadCh, xm::kKeyOff, 0);
            if (s.harmony)
                put(p, e.row, HarmonyCh, xm::kKeyOff, 0);
            put(p, e.row + 3, EchoCh, xm::kKeyOff, 0);
            continue;
        }
        put(p, e.row, LeadCh, e.note, Lead);
        if (s.harmony)
            put(p, e.row, HarmonyCh, thirdBelow(e.note), Lead, volume(30), 0x08, 0x50);
        // A quieter copy three rows later, to the right, stands in for an echo.
        put(p, e.row + 3, EchoCh, e.note, Lead, volume(16), 0x08, 0xc0);
    }
}

void writeHarmony(xm::Pattern &p, const Section &s)
{
    for (int bar = 0; bar < 4; ++bar) {
        const Chord &chord = *s.chords[bar];
        const int top = bar * kBar;
        for (int v = 0; v < 3; ++v)
            put(p, top, Pad1Ch + v, noteNumber(chord.voicing[v]), Pad, 0, 0x08, uint8_t(0x50 + 0x30 * v));

        // Bass: eighth notes on the root with an octave jump and a fifth for movement.
        const int root = noteNumber(chord.bass);
        const int line[8] = {root, root, root + 12, root, root + 7, root, root + 12, root + 10};
        for (int i = 0; i < 8; ++i) {
            if (s.halfTime && i % 2)
                continue;
            put(p, top + 2 * i, BassCh, line[i], Bass, volume(i % 2 ? 40 : 56));
        }

        if (s.arpeggio) {
            static const int walk[8] = {0, 1, 2, 1, 2, 0, 1, 2};
            for (int i = 0; i < 8; ++i)
                put(p, top + 2 * i, BellCh, noteNumber(chord.arpeggio[walk[i]]) + (i >= 4 ? 12 : 0), Bell,
                    volume(i % 4 == 0 ? 34 : 22));
        }
    }
}

void writeDrums(xm::Pattern &p, const Section &s)
{
    for (int bar = 0; bar < 4; ++bar) {
        const int top = bar * kBar;
        const bool fillBar = s.fill && bar == 3;
        if (s.halfTime) {
            put(p, top, DrumCh, noteNumber("C4"), Kick, volume(64));
            put(p, top + 8, DrumCh, noteNumber("C4"), Snare, volume(56));
        } else if (!fillBar) {
            put(p, top, DrumCh, noteNumber("C4"), Kick, volume(64));
            put(p, top + 4, DrumCh, noteNumber("C4"), Snare, volume(52));
            put(p, top + 8, DrumCh, noteNumber("C4"), Kick, volume(64));
            if (bar % 2)
                put(p, top + 10, DrumCh, noteNumber("C4"), Kick, volume(48));
            put(p, top + 12, DrumCh, noteNumber("C4"), Snare, volume(52));
        } else {
            put(p, top, DrumCh, noteNumber("C4"), Kick, volume(64));
            put(p, top + 4, DrumCh, noteNumber("C4"), Snare, volume(48));
            put(p, top + 6, DrumCh, noteNumber("C4"), Kick, volume(56));
            for (int r = 8; r < kBar; ++r)
                put(p, top + r, DrumCh, noteNumber("C4"), Snare, volume(28 + 4 * (r - 8)));
        }
        for (int r = 0; r < kBar; r += 2) {
            if (fillBar && r >= 8)
                break;
            put(p, top + r, HatCh, noteNumber("C4"), Hat, volume(r % 4 == 0 ? 40 : 22));
        }
    }
}

xm::Pattern section(const Section &s)
{
    xm::Pattern p(kRows, ChannelCount);
    writeMelody(p, s);
    writeHarmony(p, s);
    writeDrums(p, s);
    return p;
}

} // namespace

xm::Module composeCreditsTune()
{
    xm::Module m;
    m.name = "Zorvanell credits";
    m.channels = ChannelCount;
    m.speed = 6;
    m.tempo = 125; // 0.12 s a row, 7.68 s a section

    const Chord *verse[4] = {&Am, &F, &C, &G};
    const Chord *chorus[4] = {&F, &G, &Em, &Am};
    const Chord *bridge[4] = {&Dm, &Em, &F, &E};

    const char *verseA = "E5:4 A4:2 C5:2 E5:4 D5:2 C5:2 "
                         "A4:6 C5:2 F5:4 E5:2 C5:2 "
                         "G4:4 C5:2 E5:2 G5:4 F5:2 E5:2 "
                         "D5:6 B4:2 G4:4 -:4";
    const char *verseB = "E5:4 A4:2 C5:2 E5:4 G5:2 E5:2 "
                         "F5:6 E5:2 C5:4 A4:4 "
                         "G4:2 A4:2 C5:4 E5:2 D5:2 C5:4 "
                         "B4:4 D5:4 G5:8";
    const char *chorusA = "A5:4 G5:2 F5:2 C5:4 F5:4 "
                          "G5:4 F5:2 D5:2 B4:4 D5:4 "
                          "E5:4 G5:4 B5:4 G5:2 E5:2 "
                          "A5:10 E5:2 C5:2 A4:2";
    const char *chorusB = "A5:4 G5:2 F5:2 C5:4 A5:4 "
                          "B5:4 A5:2 G5:2 D5:4 G5:4 "
                          "E5:2 F5:2 G5:4 B5:4 C6:2 B5:2 "
                          "A5:12 -:4";
    const char *bridgeLine = "D5:6 F5:2 A5:4 F5:4 "
                             "E5:6 G5:2 B5:4 G5:4 "
                             "F5:4 A5:4 C6:4 A5:4 "
                             "G#5:8 E5:4 B4:4";
    const char *outro = "C5:8 B4:4 A4:4 "
                        "A4:8 C5:4 F5:4 "
                        "E5:8 D5:4 C5:4 "
                        "D5:8 B4:4 G4:2 B4:2";

    // The intro doubles as the landing of the loop, so it starts on the tonic with a full beat.
    m.patterns.push_back(section({{verse[0], verse[1], verse[2], verse[3]}, nullptr, false, true, false, true}));
    m.patterns.push_back(section({{verse[0], verse[1], verse[2], verse[3]}, verseA}));
    m.patterns.push_back(section({{verse[0], verse[1], verse[2], verse[3]}, verseB, false, true, false, true}));
    m.patterns.push_back(section({{chorus[0], chorus[1], chorus[2], chorus[3]}, chorusA}));
    m.patterns.push_back(section({{chorus[0], chorus[1], chorus[2], chorus[3]}, chorusB, true, true, false, true}));
    m.patterns.push_back(section({{bridge[0], bridge[1], bridge[2], bridge[3]}, bridgeLine, false, false, true}));
    m.patterns.push_back(section({{verse[0], verse[1], verse[2], verse[3]}, verseA, true}));
    m.patterns.push_back(section({{verse[0], verse[1], verse[2], verse[3]}, outro, true, true, false, true}));
    m.order = {0, 1, 2, 3, 4, 5, 6, 7};
    m.restartPosition = 0;

    m.instruments = {synth::lead(), synth::bass(),  synth::pad(),  synth::bell(),
                     synth::kick(), synth::snare(), synth::hihat()};
    return m;
}
