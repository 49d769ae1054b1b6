// The score. A minor at 155 BPM; one pattern is two bars (a row is a 32nd note, most tracks
// step in 16ths). The order runs intro (patterns 0, 1), build (2, 3, 4), groove (9, 10, with
// the kick from order 6 on) and wind-down (13, 14, 15, 14) before it loops:
//
//   order    0   1   2   3   4   5   6   7   8   9  10  11  12  13
//   pattern  0   1   0   2   3   4   9  10   9  10  13  14  15  14
//   chords  Am  C   Am  Am  C   Dm  Am  C   Am  C   F   Am  Dm  Am
//           F   G   F   F   G   E   F   G   F   G   G   Em  E   Em
#include "tools/xmgen/song.h"
#include "tools/xmgen/score.h"

namespace song {

namespace {

using score::Echo;
using score::Part;
using score::Track;

enum Channel {
    CH_KICK,
    CH_CLAP,
    CH_HATS,
    CH_PERC,
    CH_BASS,
    CH_SUB,
    CH_ARP,
    CH_LEAD,
    CH_ECHO,
    CH_PAD, // three voices: CH_PAD to CH_PAD + 2
    CH_MELODY = CH_PAD + 3,
    CH_FX,
};

// Panning restated on every note; -1 leaves the drums where their samples put them.
const std::vector<int> CHANNEL_PANS = {-1,  -1,  -1, -1,  128, 128, 168,
                                       104, 184, 64, 128, 192, 150, -1};

const std::vector<score::KitSound> KIT = {
    {'k', KICK, xm::XmNote(4, 0)},     {'s', CLAP, xm::XmNote(4, 0)},
    {'h', HAT, xm::XmNote(4, 0)},      {'o', OPEN_HAT, xm::XmNote(4, 0)},
    {'z', SHAKER, xm::XmNote(4, 0)},   {'r', RIM, xm::XmNote(4, 0)},
    {'t', TOM_HIGH, xm::XmNote(4, 0)}, {'u', TOM_HIGH, xm::XmNote(3, 7)},
    {'l', TOM_LOW, xm::XmNote(4, 0)},  {'f', TOM_LOW, xm::XmNote(3, 7)},
    {'d', RIDE, xm::XmNote(4, 0)},     {'c', CRASH, xm::XmNote(4, 0)},
    {'x', REVERSE, xm::XmNote(4, 0)},  {'g', GHOST, xm::XmNote(4, 0)},
    {'b', BOOM, xm::XmNote(4, 0)},     {'y', ZAP, xm::XmNote(4, 0)},
};

// Drums, one bar in 16ths (repeated to fill the pattern).
const char *CLAP_BACKBEAT = ". . . . | s . . . | . . . . | s . . .";
const char *KICK_FOUR = "k . . . | k . . . | k . . . | k . . .";
const char *HATS_GROOVE = "h@48 h@22 o@42 h@26";
const char *HATS_BUILD = "h@30 h@14 h@34 h@14";
const char *SHAKER_OFFBEAT = ". z@14 z@34 z@14";
const char *GHOSTS = ". . . g@18 | . . . . | . g@16 . . | . . . g@22";
const char *RIDE_QUARTERS = "d@34 . d@16 . | d@30 . d@16 . | d@34 . d@16 . | d@30 . d@16 g@20";

// Arpeggios cycle three chord tones against the four 16ths of a beat.
const std::string ARP_AM = "A4 C5 E5 A4 | C5 E5 A4 C5 | E5 A4 C5 E5 | A4 C5 E5 A5 ";
const std::string ARP_F = "A4 C5 F5 A4 | C5 F5 A4 C5 | F5 A4 C5 F5 | A4 C5 F5 A5 ";
const std::string ARP_C = "G4 C5 E5 G4 | C5 E5 G4 C5 | E5 G4 C5 E5 | G4 C5 E5 G5 ";
const std::string ARP_G = "G4 B4 D5 G4 | B4 D5 G4 B4 | D5 G4 B4 D5 | G4 B4 D5 G5 ";
const std::string ARP_DM = "A4 D5 F5 A4 | D5 F5 A4 D5 | F5 A4 D5 F5 | A4 D5 F5 A5 ";
const std::string ARP_E = "G#4 B4 E5 G#4 | B4 E5 G#4 B4 | E5 G#4 B4 E5 | G#4 B4 E5 G#5 ";
const std::string ARP_EM = "G4 B4 E5 G4 | B4 E5 G4 B4 | E5 G4 B4 E5 | G4 B4 E5 G5 ";

// Rolling bass: off the kick, octave on the last 16th, a walk into the next chord.
const std::string BASS_AM = ". A2 A2 A3 | . A2 A2 A3 | . A2 A2 A3 | . A2 G2 E2 ";
const std::string BASS_F = ". F2 F2 F3 | . F2 F2 F3 | . F2 F2 F3 | . F2 G2 A2 ";
const std::string BASS_C = ". C2 C2 C3 | . C2 C2 C3 | . C2 C2 C3 | . C2 D2 E2 ";
const std::string BASS_G = ". G2 G2 G3 | . G2 G2 G3 | . G2 G2 G3 | . G2 A2 B2 ";

// Pad voicings, one chord a bar over three channels.
const char *PADS_AM_F = "A3+C4+E4 A3+C4+F4";
const char *PADS_C_G = "G3+C4+E4 G3+B3+D4";

// The theme, in a 3-3-2 rhythm.
const std::string THEME_A = "E5 . . D5 | . . C5 . | D5 . . C5 | . . A4 . "   // Am
                            "C5 . . A4 | . . F4 . | A4 . C5 . | D5 . C5 . "; // F
const std::string THEME_B = "E5 . . G5 | . . E5 . | D5 . . C5 | . . D5 . "   // C
                            "B4 . . . | . . . . | D5 . . B4 | . . G4 . ";    // G

const Echo LEAD_ECHO = {CH_LEAD, CH_ECHO, 6, 0.45}; // a dotted 8th later

std::vector<Part> Score() {
    return {
        // Intro: pads, a soft arpeggio, the clap from the first bar, sub underneath.
        {0,
         {
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 44},
             {CH_PERC, 0, 2, SHAKER_OFFBEAT},
             {CH_SUB, SUB, 4, "A1 . . . . . . . | F1 . . . . . . =", 40},
             {CH_ARP, PLUCK, 2, ARP_AM + ARP_F, 30},
             {CH_PAD, PAD, 32, PADS_AM_F},
             {CH_MELODY, BELL, 4, "E5 . . . . . B4 . | C5 . . . . . A4 .", 40},
         }},
        {1,
         {
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 48},
             {CH_PERC, 0, 2, SHAKER_OFFBEAT},
             {CH_SUB, SUB, 32, "C2 G1", 48},
             {CH_ARP, PLUCK, 2, ARP_C + ARP_G, 34},
             {CH_PAD, PAD, 32, PADS_C_G},
             {CH_MELODY, BELL, 4, "E5 . . . G5 . . . | D5 . . . . . B4 .", 40},
             {CH_FX, 0, 2, ".*17 x@40 . . . . . . . . . . . . . ."},
         }},
        // Build: the rolling bass and the hats come in.
        {2,
         {
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 54},
             {CH_HATS, 0, 2, HATS_BUILD},
             {CH_PERC, 0, 2, GHOSTS},
             {CH_BASS, BASS, 2, BASS_AM + BASS_F, 52},
             {CH_ARP, PLUCK, 2, ARP_AM + ARP_F, 34},
             {CH_PAD, PAD, 32, PADS_AM_F},
             {CH_FX, 0, 32, "c@36 ."},
         }},
        // The lead's first phrase over C and G.
        {3,
         {
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 56},
             {CH_HATS, 0, 2, HATS_BUILD},
             {CH_PERC, 0, 2, GHOSTS},
             {CH_BASS, BASS, 2, BASS_C + BASS_G, 54},
             {CH_ARP, PLUCK, 2, ARP_C + ARP_G, 32},
             {CH_LEAD, LEAD, 2,
              "G4 . . C5 | . . E5 . | . . . . | D5 . C5 . "
              "B4 . . . | . . G4 . | . . . . | = . . . ",
              50},
             {CH_PAD, PAD, 32, PADS_C_G},
         },
         {LEAD_ECHO}},
        // Tension on D minor and E: a clap roll that doubles its speed, a rising noise,
        // toms, and one 16th of silence before the drop.
        {4,
         {
             {CH_CLAP, 0, 2,
              "s@20 . s@22 . | s@24 . s@26 . | s@28 . s@30 . | s@32 . s@34 . "
              "s@36 s@38 s@40 s@42 | s@44 s@46 s@48 s@50 | . . . . | . . . ."},
             {CH_CLAP, 0, 1,
              "s@52 s@53 s@54 s@55 s@56 s@57 s@58 s@59 | s@60 s@61 s@62 s@64 . . . .", -1, 48},
             {CH_HATS, 0, 2, "h@24 h@24 h@28 h@24"},
             {CH_PERC, 0, 2, ".*24 t@48 u@50 l@54 f@58 . . . ."},
             {CH_BASS, BASS, 2,
              ". D2 . D2 | . D2 . D2 | . D2 . D2 | . D2 . D2 "
              "E2 E2 E2 E2 | E2 E2 E2 E2 | E2 E2 E2 E2 | E2 E2 = . ",
              50},
             {CH_ARP, PLUCK, 2, ARP_DM + ARP_E, 36},
             {CH_PAD, PAD, 32, "A3+D4+F4 G#3+B3+E4"},
             {CH_FX, RISER, 1,
              "C3@8:103 .:103*7 | .@14:103 .:103*7 | .@20:103 .:103*7 | .@26:103 .:103*7 | "
              ".@32:103 .:103*7 | .@38:103 .:103*7 | .@44:103 .:103*7 | .@50:103 .:103*3 = . . ."},
         }},
        // The groove: four to the floor, theme with its echo.
        {9,
         {
             {CH_KICK, 0, 2, KICK_FOUR},
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 60},
             {CH_HATS, 0, 2, HATS_GROOVE},
             {CH_PERC, 0, 2,
              "b@48 . . . | . . . g@18 | . g@16 . . | . . . g@22 " + std::string(GHOSTS)},
             {CH_BASS, BASS, 2, BASS_AM + BASS_F},
             {CH_ARP, PLUCK, 2, ARP_AM + ARP_F, 28},
             {CH_LEAD, LEAD, 2, THEME_A},
             {CH_PAD, PAD, 32, PADS_AM_F, 48},
             {CH_FX, 0, 32, "c ."},
         },
         {LEAD_ECHO}},
        {10,
         {
             {CH_KICK, 0, 2, KICK_FOUR},
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 60},
             {CH_HATS, 0, 2, HATS_GROOVE},
             {CH_PERC, 0, 2, RIDE_QUARTERS},
             {CH_BASS, BASS, 2, BASS_C + BASS_G},
             {CH_ARP, PLUCK, 2, ARP_C + ARP_G, 28},
             {CH_LEAD, LEAD, 2, THEME_B},
             {CH_PAD, PAD, 32, PADS_C_G, 48},
             {CH_MELODY, STAB, 2,
              "C4 . . C4 | . . C4 . | . . . . | . . . . "
              "G3 . . G3 | . . G3 . | . . . . | . . . . ",
              36},
             {CH_FX, 0, 2, ".*30 y@36 ."},
         },
         {LEAD_ECHO}},
        // Wind-down: half-time kick, piano chords, the theme's tail on the chip lead.
        {13,
         {
             {CH_KICK, 0, 2, "k . . . | . . . . | . . k . | . . . ."},
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 54},
             {CH_HATS, 0, 2, ". . o@30 ."},
             {CH_PERC, 0, 2, ". . . . | . . . r@30 | . . r@24 . | . . . . "},
             {CH_SUB, SUB, 4, "F1 . . . . . . . | G1 . . . . . . =", 52},
             {CH_BASS, 0, 32, "= ."}, // release what the groove left sounding
             {CH_LEAD, 0, 32, "= ."},
             {CH_ECHO, 0, 32, "= ."},
             {CH_ARP, PLUCK, 2, ARP_F + ARP_G, 26},
             {CH_PAD, PIANO, 2,
              "A3+C4+F4 . . A3+C4+F4 | . . A3+C4+F4 . | . . . . | . . =+=+= . "
              "G3+B3+D4 . . G3+B3+D4 | . . G3+B3+D4 . | . . . . | . . =+=+= . ",
              40},
             {CH_MELODY, SQUARE, 2,
              "C5 . . A4 | . . F4 . | A4 . C5 . | D5 . C5 . "
              "B4 . . . | . . . . | D5 . . B4 | . . G4 . ",
              36},
             {CH_FX, 0, 32, "c@40 ."},
         }},
        {14,
         {
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 46},
             {CH_PERC, 0, 2, SHAKER_OFFBEAT},
             {CH_ARP, PLUCK, 2, ARP_AM + ARP_EM, 26},
             {CH_PAD, PAD, 32, "A3+C4+E4 G3+B3+E4"},
             {CH_MELODY, BELL, 4, "E5 . . D5 . C5 . . | B4 . . . G4 . . .", 40},
         }},
        // The last turn: choir on D minor and E, a single kick a bar, a swell back into the
        // start.
        {15,
         {
             {CH_KICK, 0, 32, "k@40 k@40"},
             {CH_CLAP, 0, 2, CLAP_BACKBEAT, 44},
             {CH_ARP, PLUCK, 2, ARP_DM + ARP_E, 24},
             {CH_PAD, CHOIR, 32, "A3+D4+F4 G#3+B3+E4"},
             {CH_MELODY, BELL, 4, "F5 . . . E5 . D5 . | E5 . . . . . . .", 36},
             {CH_FX, 0, 2, ".*17 x@44 . . . . . . . . . . . . . ."},
         }},
    };
}

} // namespace

xm::Module BuildSong() {
    xm::Module m;
    m.name = "tolvmarka";
    m.channels = CHANNELS;
    m.tempo = TEMPO;
    m.bpm = BPM;
    m.restart = 0;
    m.flags = xm::FLAG_LINEAR_FREQUENCIES;
    m.order = {0, 1, 0, 2, 3, 4, 9, 10, 9, 10, 13, 14, 15, 14};
    m.instruments = MakeInstruments();
    // Patterns the order never plays stay empty.
    m.patterns.assign(PATTERNS, xm::EmptyPattern(ROWS, CHANNELS));
    for (const Part &part : Score())
        m.patterns[size_t(part.pattern)] = score::BuildPattern(part, ROWS, CHANNEL_PANS, KIT);
    return m;
}

} // namespace song
