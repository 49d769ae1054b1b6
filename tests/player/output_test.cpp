// Playing on an output: the SDL device (its dummy driver here), or the silent clock when no
// device opens. Waits are bounded polls; the checks are on order and counts, never on time.
#include "tests/player/player_fixture.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr uint8_t C4 = xm::XmNote(4, 0);
constexpr int ROWS = 4;
constexpr const char *NO_SUCH_DRIVER = "tolvmarka-no-such-driver";
// Generous against a loaded machine: the order-1 sync is due after 80 ms of music.
constexpr auto WAIT_LIMIT = std::chrono::seconds(5);
constexpr auto SETTLE = std::chrono::milliseconds(150); // several device buffers

// Speed 1: a row is one 20 ms tick. Instrument 1 strikes on every row of both orders.
xm::Module QuickModule() {
    xm::Module module = TestModule(1, 2, ROWS, 1, 1);
    for (xm::Pattern &pattern : module.patterns)
        for (int row = 0; row < ROWS; ++row)
            pattern.At(row, 0) = {C4, 1, 0, 0, 0};
    return module;
}

template <typename Done> bool WaitFor(Done done) {
    const auto limit = std::chrono::steady_clock::now() + WAIT_LIMIT;
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Plays QuickModule until order 1 is heard, checks what came before it, then frees the
// player and checks that nothing comes after.
void PlayUntilOrderOne(PlayerApi &api, std::vector<uint8_t> &bytes) {
    bytes = xm::XmWrite(QuickModule());
    ASSERT_EQ(api.MusicLoad(1, bytes.data(), 0, 0, MUSIC_LOOP), 1);
    api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 1);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 2);
    ASSERT_EQ(api.MusicPlay(), 1);
    ASSERT_TRUE(WaitFor([] { return !RecordedFor(1).empty(); })) << "order 1 never heard";

    // The order's sync comes after exactly the four notes of order 0 (and before or after
    // order 1's first note, which shares its frame), at consecutive tick frames.
    const std::vector<SyncRecord> records = Recorded();
    size_t order = 0;
    while (records[order].user != 1)
        ++order;
    ASSERT_EQ(order, size_t(ROWS));
    const uint32_t first = records[0].frame;
    for (size_t i = 0; i < order; ++i)
        EXPECT_EQ(records[i].frame, first + i * TICK_FRAMES);
    EXPECT_EQ(records[order].frame, first + ROWS * TICK_FRAMES);
    EXPECT_EQ(records[order].data, Position(1, 0));

    ASSERT_EQ(api.MusicPause(), 1);
    EXPECT_EQ(api.MusicIsActive(), ACTIVE_PAUSED);
    std::this_thread::sleep_for(SETTLE); // what was mixed before the pause plays out
    const size_t paused = Recorded().size();
    const uint32_t position = api.MusicGetPosition();
    std::this_thread::sleep_for(SETTLE);
    EXPECT_EQ(Recorded().size(), paused) << "syncs while paused";
    EXPECT_EQ(api.MusicGetPosition(), position);
    ASSERT_EQ(api.MusicPlay(), 1);
    ASSERT_TRUE(WaitFor([paused] { return Recorded().size() > paused; })) << "no resume";

    api.Free();
    const size_t total = Recorded().size();
    std::this_thread::sleep_for(SETTLE);
    EXPECT_EQ(Recorded().size(), total) << "a callback after BASSMOD_Free";
}

// Without a device the silent clock keeps time, saying so once on stderr; the dummy device
// opens quietly and leaves decoding to DEVICE_NONE.
class PlayerOutput : public ::testing::TestWithParam<const char *> {};

TEST_P(PlayerOutput, DeviceOrSilentClockFiresSyncsWhenHeard) {
    const char *driver = GetParam();
    const bool silent = driver == NO_SUCH_DRIVER;
    setenv("SDL_AUDIODRIVER", driver, 1);
    PlayerApi api;
    ASSERT_EQ(OpenPlayer(&api), "");
    Recording = &api;
    ClearRecorded();
    testing::internal::CaptureStderr();
    const int32_t started = api.Init(DEVICE_DEFAULT, TEST_RATE, 0);
    const std::string printed = testing::internal::GetCapturedStderr();
    ASSERT_EQ(started, 1);
    EXPECT_EQ(api.ErrorGetCode(), PLAYER_OK);
    if (silent) {
        EXPECT_NE(printed.find("silent clock"), std::string::npos) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        EXPECT_EQ(printed.back(), '\n');
    } else {
        EXPECT_EQ(printed, "");
        EXPECT_EQ(api.MusicDecode(nullptr, 16), 0u) << "decoding belongs to DEVICE_NONE";
        EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_DEVICE);
    }
    std::vector<uint8_t> bytes;
    PlayUntilOrderOne(api, bytes);
    ClosePlayer(&api);
}
INSTANTIATE_TEST_SUITE_P(Drivers, PlayerOutput, ::testing::Values(NO_SUCH_DRIVER, "dummy"));

// In a child process: plays with live threads, unloads the library without BASSMOD_Free and
// lives on. Exit code 0 when nothing crashed and the library really went.
void UnloadWhilePlaying(const char *driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    PlayerApi api;
    if (!OpenPlayer(&api).empty())
        exit(2);
    Recording = &api;
    ClearRecorded();
    const std::vector<uint8_t> bytes = xm::XmWrite(QuickModule());
    api.Init(DEVICE_DEFAULT, TEST_RATE, 0);
    api.MusicLoad(1, bytes.data(), 0, 0, MUSIC_LOOP);
    api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1, SYNC_ANY_NOTE), RecordSync, 1);
    api.MusicPlay();
    if (!WaitFor([] { return Recorded().size() >= 2; }))
        exit(3);
    ClosePlayer(&api);
    if (dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_NOLOAD) != nullptr)
        exit(4);                         // still loaded: the test would prove nothing
    std::this_thread::sleep_for(SETTLE); // a thread left behind would now run unmapped code
    exit(0);
}

TEST(PlayerOutputDeathTest, UnloadingWithoutFreeStopsItsThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(UnloadWhilePlaying("dummy"), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(UnloadWhilePlaying(NO_SUCH_DRIVER), ::testing::ExitedWithCode(0), "");
}

} // namespace
