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
#include "music/player_api.h"
#include "runtime/libraries.h"
#include "runtime/runtime.h"
#include "tests/support/gl_trace.h"

#include <cstdlib>
#include <fcntl.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr uint32_t FRAME_MS_REAL = 20;
// The music reaches order 2 (the sprite) about 9 s in. The bound only keeps a broken run
// from hanging: a sanitizer build on a loaded machine runs far slower than the show's pace.
constexpr int MAX_SECONDS = 120;

double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

size_t CountLines(const std::string &text, const std::string &part) {
    size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.find(part) != std::string::npos;
    return count;
}

// A private TMPDIR for the player file.
class PrivateTmp : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/tolvmarka-player-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        setenv("TMPDIR", dir, 1);
    }
    void TearDown() override {
        EXPECT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0);
        unsetenv("SDL_AUDIODRIVER");
    }
    bool Exists(const char *pattern) {
        glob_t found;
        int result = glob((dir_ + "/" + pattern).c_str(), 0, nullptr, &found);
        globfree(&found);
        return result == 0;
    }
    std::string dir_;
};

using LiveMusic = PrivateTmp;

// With no audio device the player says so once and keeps time on its silent clock; SDL's
// dummy output pulls in real time on its own thread. Either way the syncs change the scene
// and the only box is the question.
TEST_F(LiveMusic, TheMusicDrivesTheSceneWithOrWithoutAnAudioDevice) {
    struct Case {
        const char *driver;
        size_t noDeviceLines, silentClockLines;
    };
    for (const Case &c : {Case{"tolvmarka-no-such-driver", 1, 1}, Case{"dummy", 0, 0}}) {
        SCOPED_TRACE(c.driver);
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        testing::internal::CaptureStderr(); // the player's complaints, to count
        HeadlessSetBoxAnswer(IDYES);
        const uint32_t boxesBefore = HeadlessBoxCount();
        PlayerDevice = DEVICE_DEFAULT;
        ASSERT_EQ(DemoStartUp(), 1);
        ASSERT_TRUE(Exists("tolvmarka.*/bassmod.dll"));
        uint32_t frames = 0, pulses = 0; // pulses: frames with the object's instrument pulse
        for (const double start = Now(); Now() - start < MAX_SECONDS; frames++) {
            const double frameStart = Now();
            const int ended = RunFrame();
            GlTraceReset(); // only the scene matters here, not the calls
            pulses += ObjectPulse.load() > 0.0f;
            if (ended || (SceneMask.load() & LAYER_SPRITE))
                break;
            const double spentMs = (Now() - frameStart) * 1000.0;
            if (spentMs < FRAME_MS_REAL)
                usleep(useconds_t((FRAME_MS_REAL - spentMs) * 1000.0));
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
        EXPECT_EQ(CountLines(log, "no audio device"), c.noDeviceLines) << log;
        EXPECT_EQ(CountLines(log, "silent clock"), c.silentClockLines) << log;
    }
}

using PlayerFile = PrivateTmp;

TEST_F(PlayerFile, TheModuleLoaderRefusesWhatIsNoRegularFileOfAModulesSize) {
    ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
    ASSERT_EQ(PlayerInstall(DEVICE_NONE), PLAYER_INSTALLED);
    auto load =
        reinterpret_cast<BASSMOD_MusicLoad_t>(LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicLoad"));
    auto error = reinterpret_cast<BASSMOD_ErrorGetCode_t>(
        LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_ErrorGetCode"));
    ASSERT_TRUE(load && error);
    std::string huge = dir_ + "/huge.xm", fifo = dir_ + "/fifo.xm";
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(fd, off_t(65) << 20), 0); // sparse: no disk needed
    close(fd);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {dir_, huge, fifo}) {
        EXPECT_EQ(load(0, path.c_str(), 0, 0, 0), 0) << path;
        EXPECT_EQ(error(), PLAYER_ERROR_FILEOPEN) << path; // not read, not parsed
    }
    PlayerRelease();
    RuntimeEnd(WindowCloseAll);
    MainHeapDestroy();
}

} // namespace
