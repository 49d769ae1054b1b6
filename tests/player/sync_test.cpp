// Syncs fire at the first output frame of their event's tick, which is also where its sound
// begins: instrument syncs on FT2's note-ons, position syncs once per run whatever jumps and
// loops bring the music back.
#include "tests/player/player_fixture.h"

namespace {

constexpr uint8_t D4 = xm::XmNote(4, 2), E4 = xm::XmNote(4, 4), F4 = xm::XmNote(4, 5),
                  G4 = xm::XmNote(4, 7), A4 = xm::XmNote(4, 9), C5 = xm::XmNote(5, 0),
                  D5 = xm::XmNote(5, 2);
constexpr uint8_t FX_TONE_PORTAMENTO = 0x3, FX_VIBRATO = 0x4, FX_PORTAMENTO_VOLUME_SLIDE = 0x5,
                  FX_POSITION_JUMP = 0xB, FX_PATTERN_BREAK = 0xD, FX_EXTENDED = 0xE;
constexpr uint8_t PATTERN_LOOP = 0x60;  // E60 marks the loop's start, E6x plays it x more times
constexpr uint8_t NOTE_DELAY = 0xD0;    // EDx: the note waits x ticks
constexpr uint8_t PATTERN_DELAY = 0xE0; // EEx: the row lasts x more times its ticks
constexpr uint8_t VOLUME_TONE_PORTAMENTO = 0xF4, VOLUME_SET_64 = 0x50;

using SyncSpec = std::pair<uint32_t, uint32_t>; // type, param
SyncSpec OnNote(uint16_t instrument, uint16_t note = SYNC_ANY_NOTE) {
    return {SYNC_INSTRUMENT, InstrumentParam(instrument, note)};
}
SyncSpec OnRow(uint16_t order, uint16_t row) {
    return {SYNC_POSITION_ONCE, Position(order, row)};
}
SyncRecord RowAt(uint32_t user, uint16_t order, uint16_t row, uint32_t tick) {
    return {user, Position(order, row), tick * TICK_FRAMES};
}

struct PlacedCell {
    int pattern, row, channel;
    xm::Cell cell;
};

// TestModule's arguments, the restart order and the ticks played.
struct Shape {
    int channels, patterns, rows, speed, instruments, restart, ticks;
};

// A test module of that shape, played looped; sync i has user value i + 1.
struct SyncCase {
    const char *name;
    Shape shape;
    std::vector<PlacedCell> cells;
    std::vector<SyncSpec> syncs;
    std::vector<SyncRecord> expected;
};

const SyncCase CASES[] = {
    {"a note delay strikes on its tick, never at or past the speed (row 2 lasts 12 ticks)",
     {2, 1, 4, 6, 1, 0, 30},
     {{0, 0, 0, {C4, 1}},
      {0, 1, 0, {D4, 1, 0, FX_EXTENDED, NOTE_DELAY | 3}},
      {0, 2, 0, {E4, 1, 0, FX_EXTENDED, NOTE_DELAY | 6}},
      {0, 2, 1, {0, 0, 0, FX_EXTENDED, PATTERN_DELAY | 1}},
      {0, 3, 0, {F4, 1, 0, FX_EXTENDED, NOTE_DELAY | 0}}},
     {OnNote(1)},
     {NoteAt(1, C4, 0, 0), NoteAt(1, D4, 0, 9), NoteAt(1, F4, 0, 24)}},
    {"a channel without an instrument yet strikes nothing; a delayed note sounds from its tick",
     {1, 1, 2, 6, 1, 0, 12},
     {{0, 0, 0, {C4}}, {0, 1, 0, {C4, 1, 0, FX_EXTENDED, NOTE_DELAY | 2}}},
     {OnNote(1)},
     {NoteAt(1, C4, 0, 8)}},
    {"no note-on under a tone portamento in either column",
     {1, 1, 6, 2, 1, 0, 12},
     {{0, 0, 0, {C4, 1}},
      {0, 1, 0, {D4, 1, 0, FX_TONE_PORTAMENTO, 0x10}},
      {0, 2, 0, {E4, 1, 0, FX_PORTAMENTO_VOLUME_SLIDE, 0x01}},
      {0, 3, 0, {F4, 1, VOLUME_TONE_PORTAMENTO}},
      {0, 4, 0, {G4, 1, VOLUME_SET_64}},
      {0, 5, 0, {A4, 0, 0, FX_VIBRATO, 0x44}}},
     {OnNote(1)},
     {NoteAt(1, C4, 0, 0), NoteAt(1, G4, 0, 8), NoteAt(1, A4, 0, 10)}},
    {"each channel keeps its last instrument; an instrument alone or a key off strikes nothing",
     {2, 1, 5, 2, 2, 0, 10},
     {{0, 0, 0, {C4, 2}},
      {0, 0, 1, {C5, 1}},
      {0, 1, 0, {D4}},
      {0, 1, 1, {xm::NOTE_OFF}},
      {0, 2, 0, {xm::NOTE_NONE, 1}},
      {0, 2, 1, {D5}},
      {0, 3, 0, {E4}},
      {0, 4, 0, {F4, 2, 0, FX_EXTENDED, NOTE_DELAY | 1}}},
     {OnNote(1), OnNote(2)},
     {NoteAt(2, C4, 0, 0), NoteAt(1, C5, 1, 0), NoteAt(2, D4, 0, 2), NoteAt(1, D5, 1, 4),
      NoteAt(1, E4, 0, 6), NoteAt(2, F4, 0, 9)}},
    {"a sync for one note ignores the others; syncs on one note fire in registration order",
     {1, 1, 3, 2, 1, 0, 6},
     {{0, 0, 0, {C4, 1}}, {0, 1, 0, {D4, 1}}, {0, 2, 0, {C4, 1}}},
     {OnNote(1, C4), OnNote(1)},
     {NoteAt(1, C4, 0, 0), NoteAt(2, C4, 0, 0), NoteAt(2, D4, 0, 2), NoteAt(1, C4, 0, 4),
      NoteAt(2, C4, 0, 4)}},
    {"orders 0 1 2 1 2 1 2 of 8 ticks: a jump back passes orders again, order 3 never",
     {1, 4, 4, 2, 1, 0, 56},
     {{1, 0, 0, {C4, 1}}, {2, 3, 0, {0, 0, 0, FX_POSITION_JUMP, 1}}},
     {OnRow(1, 0), OnRow(1, 2), OnRow(2, 0), OnRow(3, 0), OnNote(1)},
     {RowAt(1, 1, 0, 8), NoteAt(5, C4, 0, 8), RowAt(2, 1, 2, 12), RowAt(3, 2, 0, 16),
      NoteAt(5, C4, 0, 24), NoteAt(5, C4, 0, 40)}},
    {"orders 0 1 2 1 2 1 2 of 8 ticks: the loop goes back to the restart position",
     {1, 3, 4, 2, 2, 1, 56},
     {{0, 0, 0, {C4, 1}}, {1, 0, 0, {C4, 2}}},
     {OnRow(0, 0), OnRow(1, 0), OnNote(1), OnNote(2)},
     {RowAt(1, 0, 0, 0), NoteAt(3, C4, 0, 0), RowAt(2, 1, 0, 8), NoteAt(4, C4, 0, 8),
      NoteAt(4, C4, 0, 24), NoteAt(4, C4, 0, 40)}},
    {"rows 0 1 2 1 2 1 2 3: a pattern loop plays its notes again, its row's sync once",
     {1, 1, 4, 2, 1, 0, 16},
     {{0, 1, 0, {C4, 1, 0, FX_EXTENDED, PATTERN_LOOP}},
      {0, 2, 0, {0, 0, 0, FX_EXTENDED, PATTERN_LOOP | 2}}},
     {OnRow(0, 1), OnNote(1)},
     {RowAt(1, 0, 1, 2), NoteAt(2, C4, 0, 2), NoteAt(2, C4, 0, 6), NoteAt(2, C4, 0, 10)}},
    {"a pattern break enters the next order at its row: the rows it skips fire nothing",
     {1, 2, 4, 2, 1, 0, 8},
     {{0, 1, 0, {0, 0, 0, FX_PATTERN_BREAK, 0x02}}, {1, 2, 0, {C4, 1}}},
     {OnRow(1, 0), OnRow(1, 2), OnNote(1)},
     {RowAt(2, 1, 2, 4), NoteAt(3, C4, 0, 4)}},
};

using Syncs = PlayerTest;

TEST_F(Syncs, FireOnTheFirstFrameOfTheirEventsTick) {
    for (const SyncCase &c : CASES) {
        SCOPED_TRACE(c.name);
        const Shape &s = c.shape;
        xm::Module module = TestModule(s.channels, s.patterns, s.rows, s.speed, s.instruments);
        module.restart = s.restart;
        for (const PlacedCell &placed : c.cells)
            module.patterns[size_t(placed.pattern)].At(placed.row, placed.channel) = placed.cell;
        api.Free(); // each case on a fresh player, its stream at frame 0
        ASSERT_EQ(api.Init(DEVICE_NONE, TEST_RATE, 0), 1);
        Load(module, MUSIC_LOOP);
        ClearRecorded();
        for (size_t i = 0; i < c.syncs.size(); ++i)
            Sync(c.syncs[i].first, c.syncs[i].second, uint32_t(i + 1));
        ASSERT_EQ(api.MusicPlay(), 1);
        const std::vector<int16_t> out = Decode(uint32_t(s.ticks) * TICK_FRAMES);
        EXPECT_EQ(Recorded(), c.expected);
        const uint32_t first = c.expected[0].frame;
        EXPECT_TRUE(Silent(out, 0, first)) << "sound before the first event";
        EXPECT_FALSE(Silent(out, first, first + TICK_FRAMES)) << "no sound on its tick";
    }
}

// A run ends at the song's end (without MUSIC_LOOP: at the jump) or at a stop, which rewinds;
// each new run starts over and fires the sync again.
TEST_F(Syncs, EveryRunFiresThemAgain) {
    constexpr uint32_t ORDER_FRAMES = 8 * TICK_FRAMES;
    xm::Module module = TestModule(1, 4, 4, 2, 1);
    module.patterns[1].At(0, 0) = {C4, 1};
    module.patterns[2].At(3, 0) = {0, 0, 0, FX_POSITION_JUMP, 1};
    Load(module);
    Sync(SYNC_POSITION_ONCE, Position(1, 0), 1);
    api.MusicPlay();
    EXPECT_TRUE(Silent(Decode(5 * ORDER_FRAMES), 3 * ORDER_FRAMES)) << "sound after the end";
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_STOPPED);
    ASSERT_EQ(api.MusicPlay(), 1);
    Decode(2 * ORDER_FRAMES);
    ASSERT_EQ(api.MusicStop(), 1);
    EXPECT_TRUE(Silent(Decode(ORDER_FRAMES)));
    api.MusicPlay();
    Decode(2 * ORDER_FRAMES);
    EXPECT_EQ(Recorded(), std::vector<SyncRecord>(
                              {RowAt(1, 1, 0, 8), RowAt(1, 1, 0, 6 * 8), RowAt(1, 1, 0, 9 * 8)}));
}

// A seek lands on the first tick of its row: that row's position sync and notes come at the
// first frame decoded after it (mid-tick: the rest of the tick is dropped), and the heard
// position follows; with a scaler, its row field also counts the ticks passed in the row.
TEST_F(Syncs, SeekLandsOnTheFirstTickOfItsRow) {
    xm::Module module = TestModule(1, 4, 4, 2, 1);
    module.patterns[3].At(2, 0) = {C4, 1};
    Load(module);
    Sync(SYNC_POSITION_ONCE, Position(3, 2), 1);
    Sync(SYNC_INSTRUMENT, InstrumentParam(1), 2);
    api.MusicPlay();
    Decode(TICK_FRAMES / 2);
    ASSERT_EQ(api.MusicSetPosition(Position(3, 2)), 1);
    Decode(TICK_FRAMES + 1); // into the row's second tick
    EXPECT_EQ(Recorded(), std::vector<SyncRecord>(
                              {{1, Position(3, 2), TICK_FRAMES / 2}, {2, C4, TICK_FRAMES / 2}}));
    EXPECT_EQ(api.MusicGetPosition(), Position(3, 2));
    ASSERT_EQ(api.MusicSetPositionScaler(2), 1);
    EXPECT_EQ(api.MusicGetPosition(), Position(3, 2 * 2 + 1));
}

} // namespace
