// Position syncs: once per run, at the first frame of their row, whatever jumps and loops
// bring the music back.
#include "tests/player/player_fixture.h"

#include <algorithm>

namespace {

constexpr uint8_t C4 = xm::XmNote(4, 0);
constexpr uint8_t FX_POSITION_JUMP = 0xB;
constexpr int SPEED = 2;
constexpr int ROWS = 4;
constexpr uint32_t ORDER_FRAMES = ROWS * SPEED * TICK_FRAMES;

// Orders 0 1 2 3; order 2 ends with a jump back to order 1, so order 3 is never reached and
// orders 1 and 2 repeat. Order 1 strikes a note of instrument 1 on its first row.
xm::Module JumpBackModule() {
    xm::Module module = TestModule(1, 4, ROWS, SPEED, 1);
    module.patterns[1].At(0, 0) = {C4, 1, 0, 0, 0};
    module.patterns[2].At(ROWS - 1, 0) = {0, 0, 0, FX_POSITION_JUMP, 1};
    return module;
}

using PositionSyncs = PlayerTest;

TEST_F(PositionSyncs, JumpBackPassesAnOrderAgainWithoutFiringItsSyncAgain) {
    Load(JumpBackModule(), MUSIC_LOOP);
    const uint32_t order1 = api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 1);
    const uint32_t order1row2 = api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 2), RecordSync, 2);
    const uint32_t order2 = api.MusicSetSync(SYNC_POSITION_ONCE, Position(2, 0), RecordSync, 3);
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(3, 0), RecordSync, 9);
    const uint32_t note =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 4);
    api.MusicPlay();
    Decode(ORDER_FRAMES * 7); // order 0, then orders 1 and 2 three times

    EXPECT_EQ(RecordedFor(1), std::vector<SyncRecord>({{order1, Position(1, 0), 1, ORDER_FRAMES}}));
    EXPECT_EQ(RecordedFor(2), std::vector<SyncRecord>({{order1row2, Position(1, 2), 2,
                                                        ORDER_FRAMES + 2 * SPEED * TICK_FRAMES}}));
    EXPECT_EQ(RecordedFor(3),
              std::vector<SyncRecord>({{order2, Position(2, 0), 3, 2 * ORDER_FRAMES}}));
    EXPECT_TRUE(RecordedFor(9).empty());
    // The notes come on every pass: the music did go round.
    const uint32_t c4 = C4;
    EXPECT_EQ(RecordedFor(4), std::vector<SyncRecord>({{note, c4, 4, ORDER_FRAMES},
                                                       {note, c4, 4, 3 * ORDER_FRAMES},
                                                       {note, c4, 4, 5 * ORDER_FRAMES}}));
}

TEST_F(PositionSyncs, WithoutLoopTheSongEndsAtTheJumpAndPlayStartsANewRun) {
    Load(JumpBackModule());
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 1);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 4);
    api.MusicPlay();
    const std::vector<int16_t> out = Decode(ORDER_FRAMES * 5);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_STOPPED);
    EXPECT_TRUE(std::all_of(out.begin() + 2 * 3 * ORDER_FRAMES, out.end(), [](int16_t s) {
        return s == 0;
    })) << "sound after the end of the song";
    EXPECT_EQ(RecordedFor(1).size(), 1u);
    EXPECT_EQ(RecordedFor(4).size(), 1u);

    ASSERT_EQ(api.MusicPlay(), 1);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PLAYING);
    Decode(ORDER_FRAMES * 2);
    const std::vector<SyncRecord> again = RecordedFor(1);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].frame, 5 * ORDER_FRAMES + ORDER_FRAMES) << "the new run starts over";
}

// Orders 0 1 2 with restart position 1: looping goes back to order 1, never to order 0.
TEST_F(PositionSyncs, LoopRestartsAtTheRestartPositionAndFiresNothingTwice) {
    xm::Module module = TestModule(1, 3, ROWS, SPEED, 2);
    module.restart = 1;
    module.patterns[0].At(0, 0) = {C4, 1, 0, 0, 0};
    module.patterns[1].At(0, 0) = {C4, 2, 0, 0, 0};
    Load(module, MUSIC_LOOP);
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(0, 0), RecordSync, 1);
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 2);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 3);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(2, SYNC_ANY_NOTE), RecordSync, 4);
    api.MusicPlay();
    Decode(ORDER_FRAMES * 7); // orders 0 1 2 1 2 1 2

    ASSERT_EQ(RecordedFor(1).size(), 1u);
    EXPECT_EQ(RecordedFor(1)[0].frame, 0u);
    ASSERT_EQ(RecordedFor(2).size(), 1u);
    EXPECT_EQ(RecordedFor(2)[0].frame, ORDER_FRAMES);
    EXPECT_EQ(RecordedFor(3).size(), 1u);
    const std::vector<SyncRecord> loops = RecordedFor(4);
    ASSERT_EQ(loops.size(), 3u);
    EXPECT_EQ(loops[1].frame, 3 * ORDER_FRAMES);
    EXPECT_EQ(loops[2].frame, 5 * ORDER_FRAMES);
}

TEST_F(PositionSyncs, StopRewindsAndArmsThemAgain) {
    Load(JumpBackModule(), MUSIC_LOOP);
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 1);
    api.MusicPlay();
    Decode(ORDER_FRAMES * 2);
    ASSERT_EQ(api.MusicStop(), 1);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_STOPPED);
    EXPECT_EQ(api.MusicGetPosition(), Position(0, 0));
    const std::vector<int16_t> stopped = Decode(ORDER_FRAMES);
    EXPECT_TRUE(std::all_of(stopped.begin(), stopped.end(), [](int16_t s) { return s == 0; }));
    api.MusicPlay();
    Decode(ORDER_FRAMES * 2);
    const std::vector<SyncRecord> fired = RecordedFor(1);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[1].frame, 3 * ORDER_FRAMES + ORDER_FRAMES);
}

// A seek lands on the first tick of its row: that row's position sync and notes sound at
// the first frame decoded after it, and the heard position follows.
TEST_F(PositionSyncs, SeekLandsOnTheFirstTickOfItsRow) {
    xm::Module module = JumpBackModule();
    module.patterns[3].At(2, 0) = {C4, 1, 0, 0, 0};
    Load(module, MUSIC_LOOP);
    const uint32_t target = api.MusicSetSync(SYNC_POSITION_ONCE, Position(3, 2), RecordSync, 1);
    const uint32_t note =
        api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 2);
    api.MusicPlay();
    Decode(TICK_FRAMES / 2); // mid-tick: the rest of the tick is dropped by the seek
    ASSERT_EQ(api.MusicSetPosition(Position(3, 2)), 1);
    Decode(TICK_FRAMES);
    const std::vector<SyncRecord> expected = {{target, Position(3, 2), 1, TICK_FRAMES / 2},
                                              {note, C4, 2, TICK_FRAMES / 2}};
    EXPECT_EQ(Recorded(), expected);
    EXPECT_EQ(api.MusicGetPosition(), Position(3, 2));
}

} // namespace
