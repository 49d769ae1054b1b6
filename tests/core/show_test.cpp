// The show on the recorded GL stream with a probe for the player: the sequencer's course and
// syncs, the state each layer step leaves for the next, the frame's pacing and ways out.
#include "content/content.h"
#include "core/frame_loop.h"
#include "core/offline.h"
#include "core/scene.h"
#include "display/display.h"
#include "display/window.h"
#include "music/music.h"
#include "runtime/virtual_clock.h"
#include "tests/core/probe_player.h"
#include "tests/support/gl_trace.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class ShowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvmarka-core-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("TMPDIR", dir_.c_str(), 1);
        GlTraceReset();
        VirtualClockSet(0);
        VirtualClockSetReadCost(0);
        VirtualClockScriptReads(nullptr, 0);
        ASSERT_EQ(OfflineStart(0x2B1Du), 1);
        PlayerFree(PLAYER_LIBRARY);
        ASSERT_NE(player = ProbeInstall(PROBE_PLAYER), nullptr);
        // Start-up leaves messages of its own queued (the window's first size).
        for (int i = 0; i < 16 && WindowPoll() != EVENT_NONE; i++) {
        }
        VirtualClockResetPauses();
    }
    void TearDown() override {
        OfflineEnd();
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
    ProbePlayer *player = nullptr;
};

// On its way: the first title, the glitch, the second title, the plates with the scroll text.
TEST_F(ShowTest, RunEndsWithTheFrameInWhichTheScrollTextFirstPassesItsEnd) {
    const struct {
        uint32_t frame, mask, phase, scroller;
        int32_t countdown;
        int plays;
        GLuint *bound; // texture bound at the frame's end
    } checks[] = {
        {1, LAYER_TITLE, 0, 0, 50, 0, &TexTitleA},
        {34, LAYER_TITLE, 0, 0, 50, 0, &TexTitleA},
        {35, LAYER_GLITCH, 100, 0, 49, 0, &TexTitleB}, // title A, then the first glitch
        {84, LAYER_GLITCH, 100, 0, 0, 0, &TexTitleB},
        {85, LAYER_TITLE, 100, 0, -1, 0, &TexTitleB},
        {86, LAYER_TITLE, 99, 0, -1, 1, &TexTitleB}, // the music resumes, every frame
        {184, LAYER_TITLE, 1, 0, -1, 99, &TexTitleB},
        {185, LAYER_PLATES, 1, 1, -1, 100, &TexTitleB},
        {186, LAYER_PLATES, 1, 1, -1, 100, &TexPlate},
        {4537, LAYER_PLATES, 1, 1, -1, 100, &TexPlate},
    };
    uint32_t frame = 0;
    for (const auto &c : checks) {
        while (frame < c.frame) {
            GlTraceReset();
            ASSERT_EQ(OfflineFrame(), 0) << "frame " << frame + 1;
            frame++;
            // The first image fades in by 0.03 a frame (within single-precision drift).
            if (frame <= 34) {
                ASSERT_NEAR(TitleAlpha, 0.03f * float(frame), 1e-5f) << "frame " << frame;
            }
        }
        EXPECT_EQ(SceneMask.load(), c.mask) << "frame " << frame;
        EXPECT_EQ(TitlePhase, c.phase) << "frame " << frame;
        EXPECT_EQ(ScrollerOn, c.scroller) << "frame " << frame;
        EXPECT_EQ(GlitchCountdown, c.countdown) << "frame " << frame;
        EXPECT_EQ(player->Count("MusicPlay"), c.plays) << "frame " << frame;
        EXPECT_EQ(GlTraceBoundTexture(), *c.bound) << "frame " << frame;
    }
    EXPECT_EQ(player->callCount, 100) << "the music is never paused or stopped again";
    // 130.0 itself is reached exactly (steps of 1/32) and does not end the run.
    EXPECT_EQ(ScrollX, 130.0f);
    EXPECT_EQ(OfflineFrame(), 1);
    EXPECT_EQ(ScrollX, 130.03125f);
}

TEST_F(ShowTest, SyncBeforeTheSecondTitleEndsLeavesTheScrollTextOffForGood) {
    OfflineInjectSync(150, SYNC_USER_SPRITE);
    for (uint32_t frame = 1; frame <= 4600; frame++) {
        ASSERT_EQ(OfflineFrame(), 0) << "frame " << frame;
        GlTraceReset();
    }
    EXPECT_EQ(SceneMask.load(), LAYER_SPRITE);
    EXPECT_EQ(ScrollerOn, 0);
    EXPECT_EQ(ScrollX, -6.0f);
    EXPECT_EQ(TitlePhase, 100 - (149 - 85));
    EXPECT_EQ(player->Count("MusicPlay"), 149 - 85);
}

// Sprite and object replace the whole mask, the tunnel adds itself to the object; only a
// pulse sets the pulse.
TEST_F(ShowTest, SyncUserValuesReplaceTheWholeMaskOrSetThePulse) {
    const struct {
        uint32_t user, mask;
        float pulse;
    } cases[] = {
        {SYNC_USER_SPRITE, LAYER_SPRITE, -0.05f},
        {SYNC_USER_OBJECT, LAYER_OBJECT, -0.05f},
        {SYNC_USER_TUNNEL, LAYER_OBJECT | LAYER_TUNNEL, -0.05f},
        {SYNC_USER_PULSE, LAYER_PLATES | LAYER_TITLE, 0.3f},
        {0, LAYER_PLATES | LAYER_TITLE, -0.05f},
        {6, LAYER_PLATES | LAYER_TITLE, -0.05f},
        {0xFFFFFFFFu, LAYER_PLATES | LAYER_TITLE, -0.05f},
    };
    for (const auto &c : cases) {
        SceneMask.store(LAYER_PLATES | LAYER_TITLE);
        ObjectPulse.store(-0.05f);
        SyncCallback(0x43, 0, c.user);
        EXPECT_EQ(SceneMask.load(), c.mask) << "user " << c.user;
        EXPECT_EQ(ObjectPulse.load(), c.pulse) << "user " << c.user;
    }
    // The tunnel's sync alone calls the player: it removes itself (the handle it was called
    // with) and has every note of instrument 2 pulse from then on.
    ASSERT_EQ(player->callCount, 2);
    EXPECT_STREQ(player->calls[0].name, "MusicRemoveSync");
    EXPECT_EQ(player->calls[0].args[0], 0x43u);
    EXPECT_STREQ(player->calls[1].name, "MusicSetSync");
    EXPECT_EQ(player->Args(1, 4),
              (std::vector<uintptr_t>{SYNC_INSTRUMENT, 0xFFFF0002u, uintptr_t(&SyncCallback),
                                      SYNC_USER_PULSE}));
}

// A pulse waits while the object is off; once drawn, the inner copy's scale runs down by
// 0.05 a frame from 0.8 + 0.3 and rests one step below 0.8, where the pulse went negative.
TEST_F(ShowTest, InnerCopyScaleRunsDownFromAPulseAndRests) {
    OfflineInjectSync(1, SYNC_USER_PULSE);
    OfflineInjectSync(4, SYNC_USER_OBJECT);
    const float expected[] = {0, 0, 0, 1.1f, 1.05f, 1.0f, 0.95f, 0.9f, 0.85f, 0.8f, 0.75f, 0.75f};
    for (int frame = 1; frame <= 12; frame++) {
        GlTraceReset();
        ASSERT_EQ(OfflineFrame(), 0);
        const GlCall *scale = GlTraceFind("glScalef");
        if (frame < 4) {
            EXPECT_EQ(scale, nullptr);
            EXPECT_EQ(ObjectPulse.load(), 0.3f);
            continue;
        }
        ASSERT_NE(scale, nullptr) << "frame " << frame;
        // A few float steps of drift (1.2e-7 each near 1); a step missed is 0.05.
        EXPECT_NEAR(scale->args[0], expected[frame - 1], 1e-6) << "frame " << frame;
    }
    EXPECT_LT(ObjectPulse.load(), 0.0f);
}

// What each step leaves for the next, on the state start-up set: fog and lighting off, the
// light on, additive blending, the modelview stack back at its base, its own texture state.
TEST_F(ShowTest, EveryLayerLeavesTheStateThePicturesRelyOn) {
    const struct {
        const char *what;
        uint32_t mask;
        uint8_t scroller;
        bool textured;
        GLuint *bound; // with its wrap mode
        GLint wrap;
    } cases[] = {
        // First: start-up leaves texturing off and the last image uploaded bound.
        {"object", LAYER_OBJECT, 0, false, &TexSprite, GL_REPEAT},
        {"tunnel", LAYER_TUNNEL, 0, true, &TexRing, GL_REPEAT},
        {"plates", LAYER_PLATES, 0, false, &TexPlate, GL_CLAMP},
        {"title", LAYER_TITLE, 0, true, &TexTitleA, GL_CLAMP},
        {"glitch", LAYER_GLITCH, 0, true, &TexTitleA, GL_CLAMP},
        {"sprite", LAYER_SPRITE, 0, true, &TexSprite, GL_CLAMP},
        {"scroll text", 0, 1, false, &TexFont, GL_CLAMP},
    };
    for (const auto &c : cases) {
        SceneMask.store(c.mask);
        ScrollerOn = c.scroller;
        ASSERT_EQ(RunFrame(), 0) << c.what;
        EXPECT_FALSE(GlTraceEnabled(GL_FOG)) << c.what;
        EXPECT_FALSE(GlTraceEnabled(GL_LIGHTING)) << c.what;
        EXPECT_TRUE(GlTraceEnabled(GL_LIGHT0)) << c.what;
        EXPECT_EQ(GlTraceBlendFunc(), (std::array<GLenum, 2>{GL_SRC_ALPHA, GL_ONE})) << c.what;
        EXPECT_EQ(GlTraceMatrixDepth(), 1) << c.what;
        EXPECT_EQ(GlTraceEnabled(GL_TEXTURE_2D), c.textured) << c.what;
        EXPECT_EQ(GlTraceBoundTexture(), *c.bound) << c.what;
        EXPECT_EQ(GlTraceTexParameter(*c.bound, GL_TEXTURE_WRAP_S), c.wrap) << c.what;
        EXPECT_EQ(GlTraceTexParameter(*c.bound, GL_TEXTURE_WRAP_T), c.wrap) << c.what;
    }
}

TEST_F(ShowTest, FramePausesForTheRestOfTwentyMilliseconds) {
    const struct {
        const char *what;
        uint32_t start;                // clock at the frame's first reading
        std::vector<uint32_t> advance; // clock movement after each reading
        uint64_t paused;
        uint32_t pauses;
    } cases[] = {
        {"5 ms of work", 1000, {5, 0, 0}, 15, 1},
        {"second reading moved on by 3 ms", 1000, {5, 3, 0}, 12, 1},
        {"second reading already at 20 ms", 1000, {5, 15, 0}, 0, 0},
        {"19 ms of work", 1000, {19, 0, 0}, 1, 1},
        {"exactly 20 ms of work", 1000, {20, 0, 0}, 0, 0},
        // The tick count wraps at 2^32: differences still count forward.
        {"10 ms of work across the wrap", 0xFFFFFFF8u, {10, 0, 0}, 10, 1},
        {"second reading across the wrap", 0xFFFFFFF8u, {5, 10, 0}, 5, 1},
        {"25 ms across the wrap", 0xFFFFFFF8u, {25, 0, 0}, 0, 0},
    };
    for (const auto &c : cases) {
        VirtualClockSet(c.start);
        VirtualClockScriptReads(c.advance.data(), int(c.advance.size()));
        VirtualClockResetPauses();
        ASSERT_EQ(RunFrame(), 0) << c.what;
        EXPECT_EQ(FrameStart, c.start) << c.what;
        EXPECT_EQ(VirtualClockPausedMs(), c.paused) << c.what;
        EXPECT_EQ(VirtualClockPauseCount(), c.pauses) << c.what;
    }
}

// A close request ends the run, and so does any message whose parameter is 27 (the Escape
// key's code); the last parameter stays until another message comes.
TEST_F(ShowTest, CloseRequestOrAParameterOf27EndsTheRun) {
    const struct {
        uint32_t message, wParam;
        int ends;
    } cases[] = {
        {WM_CLOSE, 0, 1}, {WM_KEYDOWN, 'A', 0},  {WM_KEYDOWN, 27, 1}, {WM_KEYUP, 27, 1},
        {WM_CHAR, 27, 1}, {WM_MOUSEMOVE, 27, 1}, {0x0400u, 27, 1},    {WM_MOUSEMOVE, 28, 0},
    };
    for (const auto &c : cases) {
        while (WindowPoll() != EVENT_NONE) {
        }
        PlatformPostMessage(MainWnd, WM_MOUSEMOVE, 5, 0);
        ASSERT_EQ(RunFrame(), 0);
        PlatformPostMessage(MainWnd, c.message, c.wParam, 0);
        EXPECT_EQ(RunFrame(), c.ends) << "message " << c.message << " " << c.wParam;
        if (c.ends) {
            EXPECT_EQ(RunFrame(), c.message != WM_CLOSE) << "an empty poll keeps the 27";
        }
    }
}

TEST_F(ShowTest, BurstOfMessagesDelaysEscapeByOneFramePerMessage) {
    // Backstop: should Escape be missed, the scroll text ends the loop after 320 frames.
    ScrollerOn = 1;
    ScrollX = 120.0f;
    for (uint32_t i = 0; i < 6; i++)
        PlatformPostMessage(MainWnd, WM_MOUSEMOVE, i, 0);
    PlatformPostMessage(MainWnd, WM_KEYDOWN, 27, 0);
    GlTraceReset();
    RunFrameLoop();
    EXPECT_EQ(GlTraceCount("glFlush"), 7u);
}

} // namespace
