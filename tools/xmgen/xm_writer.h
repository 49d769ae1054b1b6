// Writes FastTracker 2 Extended Modules (XM, version 0x0104) from a plain in-memory description.
// Used by the module generator and by tests that need a small module built in a few lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr uint8_t NOTE_NONE = 0;
constexpr uint8_t NOTE_OFF = 97; // key off
constexpr int MAX_CHANNELS = 32;
constexpr int MAX_ROWS = 256;
constexpr int MAX_ENVELOPE_POINTS = 12;
constexpr uint16_t FLAG_LINEAR_FREQUENCIES = 1;

// One pattern cell as the file stores it: note 1-96 (1 = C-0) or NOTE_OFF, instrument 1-128,
// volume column byte (0x10-0x50 set volume 0-64, 0 = none), effect and its parameter.
struct Cell {
    uint8_t note = NOTE_NONE;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

// rows x channels cells, row by row; channels must match the module's.
struct Pattern {
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells;

    Cell &At(int row, int channel) { return cells[size_t(row) * channels + channel]; }
    const Cell &At(int row, int channel) const { return cells[size_t(row) * channels + channel]; }
};

Pattern EmptyPattern(int rows, int channels);

enum class Loop { None, Forward, PingPong };

// Sample data are 16-bit values; an 8-bit sample keeps the high byte of each.
// Loop start and length count sample frames, not bytes.
struct Sample {
    std::string name;
    std::vector<int16_t> data;
    bool sixteenBit = true;
    Loop loop = Loop::None;
    uint32_t loopStart = 0;
    uint32_t loopLength = 0;
    uint8_t volume = 64;     // 0-64
    int8_t finetune = 0;     // -128..127, in 1/128 semitone
    uint8_t panning = 128;   // 0 left, 128 centre, 255 right
    int8_t relativeNote = 0; // semitones; 0 plays C-4 at 8363 Hz
};

// Points are (tick, value 0-64) pairs with rising ticks. A point index of -1 means "none".
struct Envelope {
    std::vector<std::array<uint16_t, 2>> points;
    bool on = false;
    int sustain = -1;
    int loopStart = -1;
    int loopEnd = -1;
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;
    std::array<uint8_t, 96> noteToSample{}; // sample index per note, all 0 by default
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;
};

struct Module {
    std::string name;
    std::string tracker = "xmgen";
    int channels = 4;
    int tempo = 6; // ticks per row
    int bpm = 125;
    int restart = 0;
    uint16_t flags = FLAG_LINEAR_FREQUENCIES;
    std::vector<uint8_t> order;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The whole file. Throws std::invalid_argument when the module breaks the format's limits
// (channel count, order length, pattern shape, envelope points, loop outside the sample).
std::vector<uint8_t> XmWrite(const Module &module);

// Note number for the cell's note field from octave and semitone (0 = C): C-4 is 49.
constexpr uint8_t XmNote(int octave, int semitone) {
    return uint8_t(octave * 12 + semitone + 1);
}

} // namespace xm
