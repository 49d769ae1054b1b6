// Playing on an output: the SDL device (its dummy driver here), or the silent clock when no
// device opens. Waits are bounded polls; the checks are on order and counts, never on time.
#include "tests/player/player_fixture.h"

#include <dlfcn.h>

#include <chrono>
#include <thread>

namespace {

constexpr int ROWS = 4;
constexpr const char *NO_SUCH_DRIVER = "tolvmarka-no-such-driver";
constexpr auto WAIT_LIMIT = std::chrono::seconds(5);    // generous: order 1 is due after 80 ms
constexpr auto SETTLE = std::chrono::milliseconds(150); // several device buffers

struct Output {
    const char *driver;
    int32_t device;
};
const Output OUTPUTS[] = {{NO_SUCH_DRIVER, DEVICE_DEFAULT}, {"dummy", 1}};

template <typename Done> bool WaitFor(Done done) {
    const auto limit = std::chrono::steady_clock::now() + WAIT_LIMIT;
    while (!done() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

// Opens the player on the output and plays, looped, two orders of four one-tick rows, each
// with a note of instrument 1 (user 2); user 1 is the sync on order 1.
bool StartPlaying(PlayerApi &api, const Output &output) {
    xm::Module module = TestModule(1, 2, ROWS, 1, 1);
    for (xm::Pattern &pattern : module.patterns)
        for (int row = 0; row < ROWS; ++row)
            pattern.At(row, 0) = {C4, 1};
    static std::vector<uint8_t> bytes; // read by the player while it plays
    bytes = xm::XmWrite(module);
    setenv("SDL_AUDIODRIVER", output.driver, 1);
    return StartPlayer(&api, output.device).empty() &&
           api.MusicLoad(1, bytes.data(), 0, 0, MUSIC_LOOP) == 1 &&
           api.MusicSetSync(SYNC_POSITION_ONCE, Position(1, 0), RecordSync, 1) != 0 &&
           api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(1), RecordSync, 2) != 0 &&
           api.MusicPlay() == 1;
}

class PlayerOutput : public ::testing::TestWithParam<Output> {};

// Without a device the silent clock keeps time, saying so once on stderr; the dummy device
// opens quietly and leaves decoding to DEVICE_NONE. Either fires the syncs in order at their
// tick frames, holds them while paused, and ends them with BASSMOD_Free.
TEST_P(PlayerOutput, DeviceOrSilentClockFiresSyncsWhenHeard) {
    PlayerApi api;
    testing::internal::CaptureStderr();
    const bool started = StartPlaying(api, GetParam());
    const std::string printed = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started);
    if (GetParam().driver == NO_SUCH_DRIVER) {
        EXPECT_NE(printed.find("silent clock"), std::string::npos) << printed;
        EXPECT_EQ(printed.find('\n'), printed.size() - 1) << "not one line: " << printed;
    } else {
        EXPECT_EQ(printed, "");
        EXPECT_EQ(api.MusicDecode(nullptr, 16), 0u) << "decoding belongs to DEVICE_NONE";
        EXPECT_EQ(api.ErrorGetCode(), PLAYER_ERROR_DEVICE);
    }
    ASSERT_TRUE(WaitFor([] { return Recorded().size() > ROWS; })) << "order 1 never heard";

    const std::vector<SyncRecord> records = Recorded();
    for (uint32_t i = 0; i <= ROWS; ++i) { // order 0's notes on consecutive ticks, then order 1
        const SyncRecord note = {2, C4, records[0].frame + i * TICK_FRAMES};
        EXPECT_EQ(records[i], i < ROWS ? note : (SyncRecord{1, Position(1, 0), note.frame}));
    }

    ASSERT_EQ(api.MusicPause(), 1);
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
    ClosePlayer(&api);
}
INSTANTIATE_TEST_SUITE_P(Drivers, PlayerOutput, ::testing::ValuesIn(OUTPUTS), [](const auto &info) {
    return std::string(info.param.driver == NO_SUCH_DRIVER ? "SilentClock" : "DummyDevice");
});

// In a child process: plays with live threads, unloads the library without BASSMOD_Free and
// lives on. Exit code 0 when nothing crashed and the library really went.
void UnloadWhilePlaying(const Output &output) {
    PlayerApi api;
    if (!StartPlaying(api, output) || !WaitFor([] { return Recorded().size() >= 2; }))
        exit(3);
    ClosePlayer(&api);
    if (dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_NOLOAD) != nullptr)
        exit(4);                         // still loaded: the test would prove nothing
    std::this_thread::sleep_for(SETTLE); // a thread left behind would now run unmapped code
    exit(0);
}

TEST(PlayerOutputDeathTest, UnloadingWithoutFreeStopsItsThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Output &output : OUTPUTS)
        EXPECT_EXIT(UnloadWhilePlaying(output), ::testing::ExitedWithCode(0), "") << output.driver;
}

} // namespace
