// The score notation: each track is a string of tokens, one token per `step` rows.
//
//   .            nothing (the cell is left as it is)
//   =            key off
//   A4 C#5 Bb3   a note in the track's instrument; C-4 is middle C
//   A3+C4+E4     a chord: one note each on the track's channel and the channels after it
//   =+=+=        key off on three channels
//   k s h ...    a drum hit from the kit (instrument and note of its own)
//   | and line breaks are only for the eye.
//
// Any token may carry modifiers: @NN volume 0-64 (decimal), iNN instrument (decimal),
// :Epp effect E (0-9, A-Z) with hex parameter pp. Examples: "A4@40", "s@24", ".:A04",
// "E5:302". A trailing *N repeats the token N times: ".:103*7", "h*4".
//
// A text shorter than the rows it covers repeats, so a one-bar drum loop fills a pattern;
// its length in rows must divide the rows it covers.
#pragma once

#include "tools/xmgen/xm_writer.h"

#include <string>
#include <vector>

namespace score {

struct KitSound {
    char alias;
    int instrument;
    uint8_t note;
};

struct Track {
    int channel;
    int instrument; // for note tokens; 0 when the track only uses the kit
    int step;       // rows per token
    std::string text;
    int volume = -1; // for notes without their own @, -1 for the sample's default
    int firstRow = 0;
};

// A delayed, quieter copy of one channel's notes on another channel.
struct Echo {
    int from;
    int to;
    int delayRows;
    double level;
};

struct Part {
    int pattern;
    std::vector<Track> tracks;
    std::vector<Echo> echoes = {};
};

// Parses "C#4" style names into the cell's note number; throws std::invalid_argument.
uint8_t ParseNote(const std::string &name);

// Writes one track into the pattern. Throws std::invalid_argument with the track's channel
// and the offending token for a malformed token, a text that does not fill its rows, or a
// cell that another track already filled.
void WriteTrack(xm::Pattern &pattern, const Track &track, const std::vector<KitSound> &kit);

void WriteEcho(xm::Pattern &pattern, const Echo &echo);

// Gives every note of a channel with a panning (0-255, -1 for none) the set-panning effect,
// where its effect column is free: a note with an instrument resets the channel's panning to
// the sample's, so the position has to be restated on each note.
void ApplyPanning(xm::Pattern &pattern, const std::vector<int> &channelPans);

xm::Pattern BuildPattern(const Part &part, int rows, const std::vector<int> &channelPans,
                         const std::vector<KitSound> &kit);

} // namespace score
