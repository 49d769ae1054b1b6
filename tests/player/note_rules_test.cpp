// Instrument syncs follow FT2's note-on rules, each event at the exact output frame of the
// tick that strikes the note.
#include "tests/player/player_fixture.h"

#include <algorithm>

namespace {

constexpr uint8_t C4 = xm::XmNote(4, 0), D4 = xm::XmNote(4, 2), E4 = xm::XmNote(4, 4),
                  F4 = xm::XmNote(4, 5), G4 = xm::XmNote(4, 7), A4 = xm::XmNote(4, 9),
                  C5 = xm::XmNote(5, 0), D5 = xm::XmNote(5, 2);
constexpr uint8_t FX_TONE_PORTAMENTO = 0x3, FX_VIBRATO = 0x4, FX_PORTAMENTO_VOLUME_SLIDE = 0x5,
                  FX_EXTENDED = 0xE;
constexpr uint8_t NOTE_DELAY = 0xD0;    // EDx: the note waits x ticks
constexpr uint8_t PATTERN_DELAY = 0xE0; // EEx: the row lasts x more times its ticks
constexpr uint8_t VOLUME_TONE_PORTAMENTO = 0xF4, VOLUME_SET_64 = 0x50;

uint32_t NoteData(uint8_t note, uint16_t channel) {
    return uint32_t(note) | uint32_t(channel) << 16;
}

using NoteRules = PlayerTest;

// Row 2 also holds a pattern delay, so its ticks run on past the speed: a delay of 6 still
// strikes nothing there.
TEST_F(NoteRules, NoteDelayStrikesOnItsTickAndNeverAtOrPastTheSpeed) {
    xm::Module module = TestModule(2, 1, 4, 6, 1);
    xm::Pattern &p = module.patterns[0];
    p.At(0, 0) = {C4, 1, 0, 0, 0};
    p.At(1, 0) = {D4, 1, 0, FX_EXTENDED, NOTE_DELAY | 3};
    p.At(2, 0) = {E4, 1, 0, FX_EXTENDED, NOTE_DELAY | 6};   // speed 6: never struck
    p.At(2, 1) = {0, 0, 0, FX_EXTENDED, PATTERN_DELAY | 1}; // row 2 lasts 12 ticks
    p.At(3, 0) = {F4, 1, 0, FX_EXTENDED, NOTE_DELAY | 0};   // no delay at all
    Load(module);
    const uint32_t sync =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 7);
    ASSERT_NE(sync, 0u);
    ASSERT_EQ(api.MusicPlay(), 1);
    Decode((6 + 6 + 12 + 6) * TICK_FRAMES);
    const std::vector<SyncRecord> expected = {{sync, NoteData(C4, 0), 7, 0},
                                              {sync, NoteData(D4, 0), 7, 9 * TICK_FRAMES},
                                              {sync, NoteData(F4, 0), 7, 24 * TICK_FRAMES}};
    EXPECT_EQ(Recorded(), expected);
}

TEST_F(NoteRules, DelayedNoteIsHeardFromItsEventFrame) {
    xm::Module module = TestModule(1, 1, 2, 6, 1);
    module.patterns[0].At(1, 0) = {C4, 1, 0, FX_EXTENDED, NOTE_DELAY | 2};
    Load(module);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 1);
    api.MusicPlay();
    const std::vector<int16_t> out = Decode(2 * 6 * TICK_FRAMES);
    ASSERT_EQ(Recorded().size(), 1u);
    const uint32_t frame = Recorded()[0].frame;
    EXPECT_EQ(frame, 8 * TICK_FRAMES);
    const auto first = out.begin() + 2 * frame;
    EXPECT_TRUE(std::all_of(out.begin(), first, [](int16_t s) { return s == 0; }))
        << "sound before the delayed note";
    EXPECT_TRUE(std::any_of(first, first + 2 * TICK_FRAMES, [](int16_t s) { return s != 0; }))
        << "no sound on the delayed note's tick";
}

TEST_F(NoteRules, NoNoteOnUnderATonePortamentoInEitherColumn) {
    xm::Module module = TestModule(1, 1, 6, 2, 1);
    xm::Pattern &p = module.patterns[0];
    p.At(0, 0) = {C4, 1, 0, 0, 0};
    p.At(1, 0) = {D4, 1, 0, FX_TONE_PORTAMENTO, 0x10};
    p.At(2, 0) = {E4, 1, 0, FX_PORTAMENTO_VOLUME_SLIDE, 0x01};
    p.At(3, 0) = {F4, 1, VOLUME_TONE_PORTAMENTO, 0, 0};
    p.At(4, 0) = {G4, 1, VOLUME_SET_64, 0, 0}; // a volume column that is no portamento
    p.At(5, 0) = {A4, 0, 0, FX_VIBRATO, 0x44};
    Load(module);
    const uint32_t sync =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 3);
    api.MusicPlay();
    Decode(6 * 2 * TICK_FRAMES);
    const std::vector<SyncRecord> expected = {{sync, NoteData(C4, 0), 3, 0},
                                              {sync, NoteData(G4, 0), 3, 8 * TICK_FRAMES},
                                              {sync, NoteData(A4, 0), 3, 10 * TICK_FRAMES}};
    EXPECT_EQ(Recorded(), expected);
}

// Each channel keeps its own last instrument; an instrument without a note changes it but
// strikes nothing, and neither does a key off.
TEST_F(NoteRules, CellWithoutInstrumentUsesTheChannelsLastOne) {
    xm::Module module = TestModule(2, 1, 5, 2, 2);
    xm::Pattern &p = module.patterns[0];
    p.At(0, 0) = {C4, 2, 0, 0, 0};
    p.At(0, 1) = {C5, 1, 0, 0, 0};
    p.At(1, 0) = {D4, 0, 0, 0, 0};
    p.At(1, 1) = {xm::NOTE_OFF, 0, 0, 0, 0};
    p.At(2, 0) = {xm::NOTE_NONE, 1, 0, 0, 0};
    p.At(2, 1) = {D5, 0, 0, 0, 0};
    p.At(3, 0) = {E4, 0, 0, 0, 0};
    p.At(4, 0) = {F4, 2, 0, FX_EXTENDED, NOTE_DELAY | 1};
    Load(module);
    const uint32_t one =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 1);
    const uint32_t two =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(2, SYNC_ANY_NOTE), RecordSync, 2);
    api.MusicPlay();
    Decode(5 * 2 * TICK_FRAMES);
    const std::vector<SyncRecord> expected = {{two, NoteData(C4, 0), 2, 0},
                                              {one, NoteData(C5, 1), 1, 0},
                                              {two, NoteData(D4, 0), 2, 2 * TICK_FRAMES},
                                              {one, NoteData(D5, 1), 1, 4 * TICK_FRAMES},
                                              {one, NoteData(E4, 0), 1, 6 * TICK_FRAMES},
                                              {two, NoteData(F4, 0), 2, 9 * TICK_FRAMES}};
    EXPECT_EQ(Recorded(), expected);
}

// A sync for one note ignores the instrument's other notes; syncs matching the same note
// fire in the order they were registered.
TEST_F(NoteRules, NoteParameterSelectsOneNote) {
    xm::Module module = TestModule(1, 1, 3, 2, 1);
    xm::Pattern &p = module.patterns[0];
    p.At(0, 0) = {C4, 1, 0, 0, 0};
    p.At(1, 0) = {D4, 1, 0, 0, 0};
    p.At(2, 0) = {C4, 1, 0, 0, 0};
    Load(module);
    const uint32_t onlyC4 =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, C4), RecordSync, 1);
    const uint32_t any =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 2);
    api.MusicPlay();
    Decode(3 * 2 * TICK_FRAMES);
    const std::vector<SyncRecord> expected = {{onlyC4, NoteData(C4, 0), 1, 0},
                                              {any, NoteData(C4, 0), 2, 0},
                                              {any, NoteData(D4, 0), 2, 2 * TICK_FRAMES},
                                              {onlyC4, NoteData(C4, 0), 1, 4 * TICK_FRAMES},
                                              {any, NoteData(C4, 0), 2, 4 * TICK_FRAMES}};
    EXPECT_EQ(Recorded(), expected);
}

} // namespace
