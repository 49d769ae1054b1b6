// Tolvmarka's music: the instrument designs and the score, assembled into an XM module.
#pragma once

#include "tools/xmgen/xm_writer.h"

#include <vector>

namespace song {

constexpr int CHANNELS = 14;
constexpr int ROWS = 64;
constexpr int PATTERNS = 16;
constexpr int TEMPO = 3; // ticks per row: eight rows make one beat
constexpr int BPM = 155;
constexpr double TICK_SECONDS = 2.5 / BPM;

// Instrument numbers as the pattern data counts them (from 1). The show pulses on notes of
// the clap (from the start) and of the kick (from order 6 on).
enum InstrumentNumber {
    BASS = 1,
    KICK,
    HAT,
    OPEN_HAT,
    SUB,
    CLAP,
    LEAD,
    PAD,
    PLUCK,
    BELL,
    CRASH,
    RISER,
    SHAKER,
    RIM,
    TOM_HIGH,
    TOM_LOW,
    RIDE,
    CHOIR,
    SQUARE,
    REVERSE,
    PIANO,
    STAB,
    ZAP,
    GHOST,
    BOOM,
    INSTRUMENT_COUNT = BOOM
};

// The 25 instruments, in numbering order.
std::vector<xm::Instrument> MakeInstruments();

// The whole module, ready for xm::XmWrite.
xm::Module BuildSong();

} // namespace song
