// The exports' contract: error codes, loading, pause and play, callbacks that call back in.
#include "tests/player/player_fixture.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr uint8_t C4 = xm::XmNote(4, 0);
constexpr int SPEED = 3;
constexpr int ROWS = 8;
constexpr uint32_t ROW_FRAMES = SPEED * TICK_FRAMES;

// Two orders; instrument 1 strikes on every row of channel 0, instrument 2 on every other
// row of channel 1.
xm::Module BusyModule() {
    xm::Module module = TestModule(2, 2, ROWS, SPEED, 2);
    for (xm::Pattern &pattern : module.patterns)
        for (int row = 0; row < ROWS; ++row) {
            pattern.At(row, 0) = {uint8_t(C4 + row), 1, 0, 0, 0};
            if (row % 2 == 0)
                pattern.At(row, 1) = {C4, 2, 0, 0, 0};
        }
    return module;
}

bool Silent(const std::vector<int16_t> &samples) {
    return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
}

using PlayerApiTest = PlayerTest;

// The call's result, then the error code it left.
#define EXPECT_CODE(call, result, code)                                                            \
    do {                                                                                           \
        EXPECT_EQ(call, result);                                                                   \
        EXPECT_EQ(api.ErrorGetCode(), code) << #call;                                              \
    } while (0)

TEST(PlayerErrors, EveryFailureSetsItsCodeAndSuccessClearsIt) {
    PlayerApi api;
    ASSERT_EQ(OpenPlayer(&api), "");
    const std::vector<uint8_t> module = xm::XmWrite(TestModule(1, 1, 4, 2, 1));
    const uint8_t garbage[64] = {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'};

    EXPECT_CODE(api.MusicLoad(1, module.data(), 0, 0, 0), 0, PLAYER_ERROR_INIT);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0), 0u, PLAYER_ERROR_INIT);
    EXPECT_CODE(api.Init(5, TEST_RATE, 0), 0, PLAYER_ERROR_DEVICE);
    EXPECT_CODE(api.Init(-2, TEST_RATE, 0), 0, PLAYER_ERROR_DEVICE);

    EXPECT_CODE(api.Init(DEVICE_NONE, TEST_RATE, 0), 1, PLAYER_OK);
    EXPECT_CODE(api.Init(DEVICE_NONE, TEST_RATE, 0), 0, PLAYER_ERROR_ALREADY);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0), 0u, PLAYER_ERROR_NOMUSIC);
    EXPECT_CODE(api.MusicPlay(), 0, PLAYER_ERROR_NOMUSIC);
    EXPECT_CODE(api.MusicLoad(1, garbage, 0, 0, 0), 0, PLAYER_ERROR_FORMAT);
    EXPECT_CODE(api.MusicLoad(1, garbage, 0, sizeof garbage, 0), 0, PLAYER_ERROR_FORMAT);
    EXPECT_CODE(api.MusicLoad(0, "/nonexistent/tolvmarka.xm", 0, 0, 0), 0, PLAYER_ERROR_FILEOPEN);

    EXPECT_CODE(api.MusicLoad(1, module.data(), 0, 0, 0), 1, PLAYER_OK);
    EXPECT_CODE(api.MusicSetSync(2, 1, RecordSync, 0), 0u, PLAYER_ERROR_ILLTYPE);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, nullptr, 0), 0u, PLAYER_ERROR_ILLPARAM);
    EXPECT_CODE(api.MusicRemoveSync(12345), 0, PLAYER_ERROR_HANDLE);
    EXPECT_CODE(api.MusicPause(), 0, PLAYER_ERROR_NOPLAY);
    EXPECT_CODE(api.MusicSetPosition(Position(1, 0)), 0, PLAYER_ERROR_POSITION);
    EXPECT_CODE(api.MusicSetPosition(Position(0, 4)), 0, PLAYER_ERROR_POSITION);
    for (auto set : {api.SetVolume, api.MusicSetAmplify, api.MusicSetPanSep}) {
        EXPECT_CODE(set(101), 0, PLAYER_ERROR_ILLPARAM);
        EXPECT_CODE(set(100), 1, PLAYER_OK); // 0 to 100, both ends included
    }
    EXPECT_CODE(api.MusicSetPositionScaler(0), 0, PLAYER_ERROR_ILLPARAM);

    const uint32_t sync = api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0);
    EXPECT_NE(sync, 0u);
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    EXPECT_EQ(api.MusicRemoveSync(sync), 1);
    EXPECT_EQ(api.MusicRemoveSync(sync), 0) << "removed twice";
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_HANDLE);

    // Syncs go with their music.
    const uint32_t kept = api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0);
    api.MusicFree();
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    EXPECT_CODE(api.MusicRemoveSync(kept), 0, PLAYER_ERROR_HANDLE);
    EXPECT_CODE(api.MusicGetName(), nullptr, PLAYER_ERROR_NOMUSIC);

    api.Free();
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    api.Free(); // twice is harmless
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_INIT);
    EXPECT_CODE(api.MusicDecode(nullptr, 16), 0u, PLAYER_ERROR_INIT);
    EXPECT_EQ(api.Init(DEVICE_NONE, TEST_RATE, 0), 1) << "a freed player starts again";
    api.Free();
    ClosePlayer(&api);
}

TEST_F(PlayerApiTest, DescribesTheLoadedMusic) {
    xm::Module module = BusyModule();
    module.name = "busy";
    Load(module);
    EXPECT_STREQ(api.MusicGetName(), "busy");
    EXPECT_EQ(api.MusicGetLength(0), 2u);
    // 2 orders x 8 rows x 3 ticks x 20 ms = 0.96 s, in whole seconds.
    EXPECT_EQ(api.MusicGetLength(1), 1u);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_STOPPED);
    EXPECT_STREQ(api.GetDeviceDescription(DEVICE_NONE), "No sound");
    EXPECT_CODE(api.GetDeviceDescription(7), nullptr, PLAYER_ERROR_DEVICE);
}

// Length 0 takes the size from the module's own structure: the same music as with the exact
// length, also from an offset into a larger block and from a file.
TEST_F(PlayerApiTest, LoadsFromMemoryWithoutLengthAndFromAFile) {
    Load(BusyModule());
    api.MusicPlay();
    const std::vector<int16_t> reference = Decode(2 * ROWS * ROW_FRAMES);
    ASSERT_FALSE(Silent(reference));

    std::vector<uint8_t> block(100 + moduleBytes.size() + 100, 0xEE);
    std::copy(moduleBytes.begin(), moduleBytes.end(), block.begin() + 100);
    char path[] = "/tmp/player_test_XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, block.data(), block.size()), ssize_t(block.size()));
    close(file);
    const uint32_t size = uint32_t(moduleBytes.size());
    const struct {
        int32_t fromMemory;
        const void *source;
        uint32_t length;
    } loads[] = {{1, block.data(), 0}, {1, block.data(), size}, {0, path, size}};
    for (const auto &load : loads) {
        ASSERT_EQ(api.MusicLoad(load.fromMemory, load.source, 100, load.length, 0), 1)
            << api.ErrorGetCode() << " length " << load.length;
        api.MusicPlay();
        EXPECT_EQ(Decode(2 * ROWS * ROW_FRAMES), reference) << "length " << load.length;
    }
    unlink(path);
}

// The paused stretch is silent and fires nothing; the rest is exactly the uninterrupted music.
TEST_F(PlayerApiTest, PauseHoldsThePositionAndPlayResumesIt) {
    Load(BusyModule());
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 1);
    api.MusicPlay();
    const std::vector<int16_t> reference = Decode(ROWS * ROW_FRAMES);
    const std::vector<SyncRecord> referenceSyncs = Recorded();
    ASSERT_EQ(referenceSyncs.size(), size_t(ROWS));

    api.MusicStop();
    ClearRecorded();
    const uint32_t start = api.MusicGetFrame();
    const uint32_t before = 3 * ROW_FRAMES + 100; // mid-tick
    const uint32_t paused = 5 * ROW_FRAMES;
    api.MusicPlay();
    std::vector<int16_t> heard = Decode(before);
    ASSERT_EQ(api.MusicPause(), 1);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PAUSED);
    const uint32_t position = api.MusicGetPosition();
    const size_t syncsBeforePause = Recorded().size();
    EXPECT_TRUE(Silent(Decode(paused)));
    EXPECT_EQ(Recorded().size(), syncsBeforePause);
    EXPECT_EQ(api.MusicGetPosition(), position);
    ASSERT_EQ(api.MusicPlay(), 1);
    ASSERT_EQ(api.MusicPlay(), 1); // playing already: goes on
    const std::vector<int16_t> rest = Decode(ROWS * ROW_FRAMES - before);
    heard.insert(heard.end(), rest.begin(), rest.end());
    EXPECT_EQ(heard, reference);

    std::vector<SyncRecord> shifted = referenceSyncs;
    for (SyncRecord &record : shifted)
        record.frame += start + (record.frame >= before ? paused : 0);
    EXPECT_EQ(Recorded(), shifted);
}

// A callback fires when decoding reaches its event's first frame: pausing from inside it
// leaves that frame and all after it silent.
TEST_F(PlayerApiTest, CallbackFiresBeforeItsEventsFramesAreDecoded) {
    Load(BusyModule());
    static PlayerApi *player;
    player = &api;
    api.MusicSetSync(
        SYNC_POSITION_ONCE, Position(0, 5),
        [](uint32_t sync, uint32_t data, uint32_t user) {
            RecordSync(sync, data, user);
            player->MusicPause();
        },
        1);
    api.MusicPlay();
    const std::vector<int16_t> out = Decode(ROWS * ROW_FRAMES);
    ASSERT_EQ(Recorded().size(), 1u);
    EXPECT_EQ(Recorded()[0].frame, 5 * ROW_FRAMES);
    const std::vector<int16_t> before(out.begin(), out.begin() + 2 * 5 * ROW_FRAMES);
    const std::vector<int16_t> after(out.begin() + 2 * 5 * ROW_FRAMES, out.end());
    EXPECT_FALSE(Silent(before));
    EXPECT_TRUE(Silent(after));
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PAUSED);
}

// The show's pattern: a position sync's callback removes itself and registers an instrument
// sync, which from then on catches that instrument's notes, including one struck on the very
// tick the order begins. An instrument sync that removes itself fires once.
TEST_F(PlayerApiTest, CallbackRemovesItselfAndRegistersAnother) {
    Load(BusyModule());
    static PlayerApi *player;
    static uint32_t registered;
    player = &api;
    registered = 0;
    api.MusicSetSync(
        SYNC_POSITION_ONCE, Position(1, 0),
        [](uint32_t sync, uint32_t data, uint32_t user) {
            RecordSync(sync, data, user);
            EXPECT_EQ(player->MusicRemoveSync(sync), 1);
            registered = player->MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(2, SYNC_ANY_NOTE),
                                              RecordSync, 4);
            EXPECT_NE(registered, 0u);
        },
        3);
    const uint32_t once = api.MusicSetSync(
        SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE),
        [](uint32_t sync, uint32_t data, uint32_t user) {
            RecordSync(sync, data, user);
            player->MusicRemoveSync(sync);
        },
        5);
    api.MusicPlay();
    Decode(2 * ROWS * ROW_FRAMES);

    ASSERT_EQ(RecordedFor(5).size(), 1u);
    EXPECT_EQ(RecordedFor(5)[0].sync, once);
    ASSERT_EQ(RecordedFor(3).size(), 1u);
    const std::vector<SyncRecord> late = RecordedFor(4);
    ASSERT_EQ(late.size(), size_t(ROWS / 2)) << "instrument 2 on every other row of order 1";
    for (size_t i = 0; i < late.size(); ++i) {
        EXPECT_EQ(late[i].sync, registered);
        EXPECT_EQ(late[i].frame, ROWS * ROW_FRAMES + 2 * i * ROW_FRAMES);
        EXPECT_EQ(late[i].data, uint32_t(C4) | 1u << 16) << "note C-4 on channel 1";
    }
}

TEST_F(PlayerApiTest, VolumeZeroSilencesButSyncsGoOn) {
    Load(BusyModule());
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 1);
    ASSERT_EQ(api.SetVolume(0), 1);
    EXPECT_EQ(api.GetVolume(), 0);
    api.MusicPlay();
    EXPECT_TRUE(Silent(Decode(ROWS * ROW_FRAMES)));
    EXPECT_EQ(Recorded().size(), size_t(ROWS));
}

// The scaler splits a row into that many steps of the position's row field.
TEST_F(PlayerApiTest, PositionScalerCountsTicksWithinTheRow) {
    Load(BusyModule());
    api.MusicPlay();
    ASSERT_EQ(api.MusicSetPositionScaler(SPEED), 1);
    Decode(2 * ROW_FRAMES + 2 * TICK_FRAMES + 1); // into row 2's third tick
    EXPECT_EQ(api.MusicGetPosition(), Position(0, 2 * SPEED + 2));
    ASSERT_EQ(api.MusicSetPositionScaler(1), 1);
    EXPECT_EQ(api.MusicGetPosition(), Position(0, 2));
}

} // namespace
