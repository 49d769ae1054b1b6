// The real player library, written out and loaded by start-up: the music on its own threads
// driving the scene while frames run (under ThreadSanitizer the show's one cross-thread
// path), and its module loader on paths that are no module file.
#include "core/frame_loop.h"
#include "core/scene.h"
#include "core/startup.h"
#include "display/headless.h"
#include "display/platform.h"
#include "display/window.h"
#include "music/player.h"
#include "runtime/runtime.h"
#include "tests/support/gl_trace.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto FRAME_REAL = std::chrono::milliseconds(20);
// The music reaches order 2 (the sprite) about 9 s in. The bound only keeps a broken run
// from hanging: a sanitizer build on a loaded machine runs far slower than the show's pace.
constexpr auto MAX_RUN = std::chrono::seconds(120);

class PrivateTmp : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/tolvmarka-player-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        setenv("TMPDIR", dir, 1);
    }
    void TearDown() override { EXPECT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0); }
    bool Exists(const char *pattern) {
        return system(("test -e '" + dir_ + "'/" + pattern).c_str()) == 0;
    }
    std::string dir_;
};

using LiveMusic = PrivateTmp;

// With no audio device the player says so once and keeps time on its silent clock; SDL's
// dummy output pulls in real time on its own thread. Either way the syncs change the scene
// and the only box is the question.
TEST_F(LiveMusic, TheMusicDrivesTheSceneWithOrWithoutAnAudioDevice) {
    const std::pair<const char *, bool> cases[] = {{"no-such-driver", true}, {"dummy", false}};
    for (const auto &[driver, silentClock] : cases) {
        SCOPED_TRACE(driver);
        setenv("SDL_AUDIODRIVER", driver, 1);
        testing::internal::CaptureStderr(); // the player's complaints, to count
        HeadlessSetBoxAnswer(IDYES);
        const uint32_t boxesBefore = HeadlessBoxCount();
        ASSERT_EQ(DemoStartUp(), 1);
        ASSERT_TRUE(Exists("tolvmarka.*/bassmod.dll"));
        uint32_t frames = 0, pulses = 0; // pulses: frames with the object's instrument pulse
        for (const auto start = Clock::now(); Clock::now() - start < MAX_RUN; frames++) {
            const auto next = Clock::now() + FRAME_REAL;
            const int ended = RunFrame();
            GlTraceReset(); // only the scene matters here, not the calls
            pulses += ObjectPulse.load() > 0.0f;
            if (ended || (SceneMask.load() & LAYER_SPRITE))
                break;
            std::this_thread::sleep_until(next);
        }
        EXPECT_TRUE(SceneMask.load() & LAYER_SPRITE) << "no order 2 after " << frames << " frames";
        EXPECT_GT(pulses, 0u) << "no instrument-6 note reached the object";
        EXPECT_EQ(HeadlessBoxCount() - boxesBefore, 1u);
        PlayerRelease();
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        PlatformShutdown();
        EXPECT_FALSE(Exists("tolvmarka.*")) << "the release must delete the player file and folder";
        const std::string log = testing::internal::GetCapturedStderr();
        const size_t said = log.find("no audio device");
        EXPECT_EQ(said != std::string::npos, silentClock) << log;
        EXPECT_EQ(said, log.rfind("no audio device")) << log; // not more than once
    }
}

using PlayerFile = PrivateTmp;

TEST_F(PlayerFile, TheModuleLoaderRefusesWhatIsNoRegularFileOfAModulesSize) {
    ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
    ASSERT_EQ(PlayerInstall(DEVICE_NONE), PLAYER_INSTALLED);
    // A file just over the size limit (sparse: no disk needed), a FIFO and a folder.
    ASSERT_EQ(system(("cd " + dir_ + " && truncate -s 65M huge.xm && mkfifo fifo.xm").c_str()), 0);
    const uint32_t boxesBefore = HeadlessBoxCount();
    for (const std::string &path : {dir_, dir_ + "/huge.xm", dir_ + "/fifo.xm"}) {
        EXPECT_EQ(PlayerMusicLoad(PLAYER_LIBRARY, 0, path.c_str(), 0, 0, 0), 0) << path;
        // Not read, not parsed: the open itself fails.
        EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rCan't Open the File") << path;
    }
    EXPECT_EQ(HeadlessBoxCount() - boxesBefore, 3u); // one box each
    PlayerRelease();
    RuntimeEnd(WindowCloseAll);
    MainHeapDestroy();
}

} // namespace
