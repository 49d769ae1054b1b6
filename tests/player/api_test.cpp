// The exports' contract: error codes, loading, pause and play, gain, callbacks that call back in.
#include "tests/player/player_fixture.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>
#include <xmp.h>

namespace {

constexpr int SPEED = 3, ROWS = 8;
constexpr uint32_t ROW_FRAMES = SPEED * TICK_FRAMES, SONG_FRAMES = 2 * ROWS * ROW_FRAMES;

// Two orders; instrument 1 strikes on every row of channel 0, instrument 2 on every other
// row of channel 1.
xm::Module BusyModule() {
    xm::Module module = TestModule(2, 2, ROWS, SPEED, 2);
    for (xm::Pattern &pattern : module.patterns)
        for (int row = 0; row < ROWS; ++row) {
            pattern.At(row, 0) = {uint8_t(C4 + row), 1};
            if (row % 2 == 0)
                pattern.At(row, 1) = {C4, 2};
        }
    return module;
}

using PlayerApiTest = PlayerTest;

// The call's result, then the error code it left.
#define EXPECT_CODE(call, result, code)                                                            \
    do {                                                                                           \
        EXPECT_EQ(call, result);                                                                   \
        EXPECT_EQ(api.ErrorGetCode(), code) << #call;                                              \
    } while (0)

TEST_F(PlayerApiTest, EveryFailureSetsItsCodeAndSuccessClearsIt) {
    const std::vector<uint8_t> module = xm::XmWrite(BusyModule());
    const uint8_t garbage[64] = {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'};
    api.Free();
    EXPECT_CODE(api.MusicLoad(1, module.data(), 0, 0, 0), 0, PLAYER_ERROR_INIT);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0), 0u, PLAYER_ERROR_INIT);
    EXPECT_CODE(api.MusicDecode(nullptr, 16), 0u, PLAYER_ERROR_INIT);
    EXPECT_CODE(api.Init(2, TEST_RATE, 0), 0, PLAYER_ERROR_DEVICE);
    EXPECT_CODE(api.Init(-2, TEST_RATE, 0), 0, PLAYER_ERROR_DEVICE);
    EXPECT_CODE(api.Init(DEVICE_NONE, 3999, 0), 0, PLAYER_ERROR_ILLPARAM); // libxmp's rates

    EXPECT_CODE(api.Init(DEVICE_NONE, TEST_RATE, 0), 1, PLAYER_OK);
    EXPECT_CODE(api.Init(DEVICE_NONE, TEST_RATE, 0), 0, PLAYER_ERROR_ALREADY);
    EXPECT_EQ(api.GetVolume(), 100); // full, as mixed
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0), 0u, PLAYER_ERROR_NOMUSIC);
    EXPECT_CODE(api.MusicPlay(), 0, PLAYER_ERROR_NOMUSIC);
    EXPECT_CODE(api.MusicGetName(), nullptr, PLAYER_ERROR_NOMUSIC);
    EXPECT_CODE(api.MusicLoad(1, garbage, 0, 0, 0), 0, PLAYER_ERROR_FORMAT);
    EXPECT_CODE(api.MusicLoad(1, garbage, 0, sizeof garbage, 0), 0, PLAYER_ERROR_FORMAT);
    EXPECT_CODE(api.MusicLoad(0, "/nonexistent/tolvmarka.xm", 0, 0, 0), 0, PLAYER_ERROR_FILEOPEN);

    EXPECT_CODE(api.MusicLoad(1, module.data(), 0, 0, 0), 1, PLAYER_OK);
    EXPECT_STREQ(api.MusicGetName(), "player test");
    EXPECT_EQ(api.MusicGetLength(0), 2u);
    EXPECT_EQ(api.MusicGetLength(1), 1u); // 2 orders x 8 rows x 3 ticks x 20 ms: 0.96 s
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_STOPPED);
    EXPECT_CODE(api.MusicPause(), 0, PLAYER_ERROR_NOPLAY);
    EXPECT_CODE(api.MusicSetSync(2, 1, RecordSync, 0), 0u, PLAYER_ERROR_ILLTYPE);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, 1, nullptr, 0), 0u, PLAYER_ERROR_ILLPARAM);
    EXPECT_CODE(api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(0), RecordSync, 0), 0u,
                PLAYER_ERROR_ILLPARAM);
    EXPECT_CODE(api.MusicRemoveSync(12345), 0, PLAYER_ERROR_HANDLE);
    EXPECT_CODE(api.MusicSetPosition(Position(2, 0)), 0, PLAYER_ERROR_POSITION);
    EXPECT_CODE(api.MusicSetPosition(Position(0, ROWS)), 0, PLAYER_ERROR_POSITION);
    for (auto set : {api.SetVolume, api.MusicSetAmplify, api.MusicSetPanSep}) {
        EXPECT_CODE(set(101), 0, PLAYER_ERROR_ILLPARAM);
        EXPECT_CODE(set(100), 1, PLAYER_OK); // 0 to 100, both ends included
    }
    EXPECT_CODE(api.MusicSetPositionScaler(0), 0, PLAYER_ERROR_ILLPARAM);
    EXPECT_CODE(api.MusicSetPositionScaler(257), 0, PLAYER_ERROR_ILLPARAM);
    EXPECT_CODE(api.MusicSetPositionScaler(256), 1, PLAYER_OK); // 1 to 256
    EXPECT_STREQ(api.GetDeviceDescription(DEVICE_NONE), "No sound");
    EXPECT_CODE(api.GetDeviceDescription(2), nullptr, PLAYER_ERROR_DEVICE);

    const uint32_t sync = api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0);
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    EXPECT_CODE(api.MusicRemoveSync(sync), 1, PLAYER_OK);
    EXPECT_CODE(api.MusicRemoveSync(sync), 0, PLAYER_ERROR_HANDLE); // removed twice
    const uint32_t kept = api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0);
    int syncs = 1; // kept
    while (syncs <= 256 && api.MusicSetSync(SYNC_INSTRUMENT, 1, RecordSync, 0) != 0)
        ++syncs;
    EXPECT_EQ(syncs, 256);
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_NOSYNC);
    api.MusicFree(); // the syncs go with the music
    EXPECT_CODE(api.MusicRemoveSync(kept), 0, PLAYER_ERROR_HANDLE);

    api.Free();
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    api.Free(); // twice is harmless
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_INIT);
}

// libxmp's own rendering of the module's first `frames` frames at that stereo separation.
std::vector<int16_t> LibxmpMix(const std::vector<uint8_t> &module, uint32_t frames,
                               int separation) {
    xmp_context context = xmp_create_context();
    EXPECT_EQ(xmp_load_module_from_memory(context, module.data(), long(module.size())), 0);
    xmp_start_player(context, TEST_RATE, 0);
    xmp_set_player(context, XMP_PLAYER_MIX, separation);
    std::vector<int16_t> out(size_t(frames) * 2);
    xmp_play_buffer(context, out.data(), int(out.size() * sizeof(int16_t)), 0);
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return out;
}

// From memory (length 0: the size the module's own structure gives, also at an offset into a
// larger block) or from a file, the music mixes as libxmp mixes it at the separation set,
// times volume / 100 times amplification / 50. Syncs go on when nothing is heard.
TEST_F(PlayerApiTest, MixesAsLibxmpFromEverySourceAtTheLevelsSet) {
    xm::Module module = BusyModule();
    module.instruments[0].samples[0].panning = 0x20; // apart, so the separation matters
    module.instruments[1].samples[0].panning = 0xE0;
    const std::vector<uint8_t> bytes = xm::XmWrite(module);
    std::vector<uint8_t> block(100 + bytes.size() + 100, 0xEE);
    std::copy(bytes.begin(), bytes.end(), block.begin() + 100);
    char path[] = "/tmp/player_test_XXXXXX";
    const int file = mkstemp(path);
    struct RemovedAtTheEnd { // also when an assertion ends the test early
        const char *path;
        ~RemovedAtTheEnd() { unlink(path); }
    } removed{path};
    ASSERT_EQ(write(file, block.data(), block.size()), ssize_t(block.size()));
    close(file);
    const uint32_t size = uint32_t(bytes.size());
    const struct {
        int32_t fromMemory;
        const void *source;
        uint32_t offset, length, separation, volume, amplify;
        double gain;
    } loads[] = {{1, bytes.data(), 0, 0, 100, 100, 50, 1},
                 {1, block.data(), 100, 0, 50, 0, 50, 0},
                 {1, block.data(), 100, size, 0, 50, 50, 0.5},
                 {0, path, 100, size, 100, 100, 100, 2},
                 {0, path, 100, 0, 20, 50, 100, 1}};
    for (const auto &load : loads) {
        SCOPED_TRACE("load " + std::to_string(&load - loads));
        ASSERT_EQ(api.MusicLoad(load.fromMemory, load.source, load.offset, load.length, 0), 1)
            << api.ErrorGetCode();
        ASSERT_EQ(api.MusicSetPanSep(load.separation), 1);
        ASSERT_EQ(api.SetVolume(load.volume), 1);
        ASSERT_EQ(api.MusicSetAmplify(load.amplify), 1);
        EXPECT_EQ(api.GetVolume(), int32_t(load.volume));
        ClearRecorded();
        Sync(SYNC_INSTRUMENT, InstrumentParam(1), 1);
        api.MusicPlay();
        const std::vector<int16_t> out = Decode(SONG_FRAMES);
        const std::vector<int16_t> mix = LibxmpMix(bytes, SONG_FRAMES, int(load.separation));
        ASSERT_FALSE(Silent(mix));
        for (size_t i = 0; i < mix.size(); ++i) // far from clipping
            ASSERT_EQ(out[i], int16_t(std::floor(mix[i] * load.gain))) << "sample " << i;
        EXPECT_EQ(Recorded().size(), size_t(2 * ROWS));
    }
}

// A callback fires when decoding reaches its event's first frame. From inside it, the show's
// pattern (remove this sync, register another) and a pause: the new sync hears the notes from
// that very tick on; the pause silences that frame and all after it, fires nothing more and
// holds the position; playing on gives exactly the uninterrupted music.
TEST_F(PlayerApiTest, CallbackReplacesItselfAndPausesUntilPlayResumes) {
    Load(BusyModule());
    Sync(SYNC_INSTRUMENT, InstrumentParam(1), 1);
    api.MusicPlay();
    const std::vector<int16_t> reference = Decode(SONG_FRAMES);
    const std::vector<SyncRecord> notes = Recorded();
    ASSERT_EQ(notes.size(), size_t(2 * ROWS));
    api.MusicStop();
    ClearRecorded();
    constexpr uint32_t PAUSE = 5 * ROW_FRAMES, PAUSED = 7 * ROW_FRAMES + 100;
    Sync(SYNC_POSITION_ONCE, Position(0, 5), 2, [](uint32_t sync, uint32_t data, uint32_t user) {
        RecordSync(sync, data, user);
        EXPECT_EQ(Recording->MusicRemoveSync(sync), 1);
        EXPECT_NE(Recording->MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1), RecordSync, 3), 0u);
        Recording->MusicPause();
    });
    const uint32_t start = api.MusicGetFrame();
    api.MusicPlay();
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PLAYING);
    std::vector<int16_t> heard = Decode(PAUSE + PAUSED);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PAUSED);
    EXPECT_EQ(api.MusicGetPosition(), Position(0, 5));
    EXPECT_TRUE(Silent(heard, PAUSE));
    heard.resize(2 * PAUSE);
    ASSERT_EQ(api.MusicPlay(), 1);
    ASSERT_EQ(api.MusicPlay(), 1); // playing already: goes on
    const std::vector<int16_t> rest = Decode(SONG_FRAMES - PAUSE);
    heard.insert(heard.end(), rest.begin(), rest.end());
    EXPECT_TRUE(heard == reference);
    std::vector<SyncRecord> expected;
    for (SyncRecord note : notes) {
        note.frame += start + (note.frame >= PAUSE ? PAUSED : 0);
        expected.push_back(note);
        if (note.frame >= start + PAUSE)
            expected.push_back({3, note.data, note.frame});
    }
    expected.insert(expected.begin() + 5, {2, Position(0, 5), start + PAUSE});
    EXPECT_EQ(Recorded(), expected);
}

} // namespace
