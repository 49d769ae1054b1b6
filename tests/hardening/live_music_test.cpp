// The music driving the scene live, as in the show: the real player library, written out
// and loaded by start-up, plays on its own threads (an audio device, or the silent clock when
// no device opens) and calls SyncCallback there while frames run on this thread. The
// frames draw on the recorded GL stand-in and are paced in real time, because the player
// keeps real time. Under ThreadSanitizer this is the show's one cross-thread path.
#include "core/frame_loop.h"
#include "core/scene.h"
#include "core/startup.h"
#include "display/headless.h"
#include "display/platform.h"
#include "display/window.h"
#include "music/player_api.h"
#include "runtime/runtime.h"
#include "tests/support/gl_trace.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <glob.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr uint32_t FRAME_MS_REAL = 20;
// The music starts with the second title, about 3 s in, and reaches order 2 (the sprite)
// about 6 s later. The bound only keeps a broken run from hanging: a sanitizer build on a
// loaded two-core machine runs far slower than the show's pace.
constexpr int MAX_SECONDS = 120;

double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

class LiveMusic : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/tolvmarka-live-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        setenv("TMPDIR", dir_.c_str(), 1);
        // The player's complaints go to stderr: keep them to read.
        fflush(stderr);
        savedStderr_ = dup(STDERR_FILENO);
        int log = open((dir_ + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(log, 0);
        dup2(log, STDERR_FILENO);
        close(log);
    }

    void TearDown() override {
        fflush(stderr);
        dup2(savedStderr_, STDERR_FILENO);
        close(savedStderr_);
        std::string command = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        unsetenv("SDL_AUDIODRIVER");
    }

    std::string Stderr() {
        fflush(stderr);
        std::ifstream file(dir_ + "/stderr");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Starts the show with the player on a real output, runs frames in real time until the
    // music has brought the sprite in, and ends it. Fills what it saw.
    void RunUntilSprite() {
        HeadlessSetBoxAnswer(IDYES);
        const uint32_t boxesBefore = HeadlessBoxCount();
        PlayerDevice = DEVICE_DEFAULT;
        ASSERT_EQ(DemoStartUp(), 1);
        ASSERT_TRUE(Exists("tolvmarka.*/bassmod.dll"));
        const double start = Now();
        while (Now() - start < MAX_SECONDS) {
            const double frameStart = Now();
            const int ended = RunFrame();
            GlTraceReset(); // only the scene matters here, not the calls
            frames_++;
            if (ObjectPulse.load() > 0.0f)
                pulses_++;
            if (SceneMask.load() & LAYER_SPRITE)
                break;
            if (ended)
                break;
            const double spent = Now() - frameStart;
            if (spent * 1000.0 < FRAME_MS_REAL)
                usleep(useconds_t((FRAME_MS_REAL - spent * 1000.0) * 1000.0));
        }
        sprite_ = (SceneMask.load() & LAYER_SPRITE) != 0;
        boxes_ = HeadlessBoxCount() - boxesBefore;
        PlayerRelease();
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        PlatformShutdown();
        EXPECT_FALSE(Exists("tolvmarka.*")) << "the release must delete the player file and folder";
    }

    bool Exists(const char *pattern) {
        glob_t found;
        int result = glob((dir_ + "/" + pattern).c_str(), 0, nullptr, &found);
        globfree(&found);
        return result == 0;
    }

    std::string dir_;
    int savedStderr_ = -1;
    uint32_t frames_ = 0;
    uint32_t pulses_ = 0; // frames that saw the object's pulse set by an instrument sync
    bool sprite_ = false;
    uint32_t boxes_ = 0; // shown during the run
};

size_t CountLines(const std::string &text, const std::string &part) {
    size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.find(part) != std::string::npos;
    return count;
}

// No audio device: the player says so once and keeps time on its silent clock, and the
// music's syncs still change the scene.
TEST_F(LiveMusic, WithoutAudioDeviceTheSilentClockDrivesTheScene) {
    setenv("SDL_AUDIODRIVER", "tolvmarka-no-such-driver", 1);
    RunUntilSprite();
    EXPECT_TRUE(sprite_) << "order 2 never came after " << frames_ << " frames";
    EXPECT_GT(pulses_, 0u) << "no instrument-6 note reached the object";
    EXPECT_EQ(boxes_, 1u) << "only the question: no error box for a missing device";
    const std::string log = Stderr();
    EXPECT_EQ(CountLines(log, "no audio device"), 1u) << log;
    EXPECT_EQ(CountLines(log, "silent clock"), 1u) << log;
}

// A device that plays (SDL's dummy output pulls in real time on its own thread).
TEST_F(LiveMusic, AnAudioDeviceDrivesTheScene) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    RunUntilSprite();
    EXPECT_TRUE(sprite_) << "order 2 never came after " << frames_ << " frames";
    EXPECT_GT(pulses_, 0u) << "no instrument-6 note reached the object";
    EXPECT_EQ(boxes_, 1u);
    EXPECT_EQ(CountLines(Stderr(), "no audio device"), 0u) << Stderr();
}

} // namespace
