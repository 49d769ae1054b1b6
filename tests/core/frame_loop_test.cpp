// One frame of the loop: its own calls, the order of the layer steps, the pacing against
// the virtual clock and the three ways out.
#include "content/content.h"
#include "core/frame_loop.h"
#include "core/scene.h"
#include "display/display.h"
#include "display/window.h"
#include "runtime/random.h"
#include "runtime/virtual_clock.h"
#include "tests/core/show_fixture.h"

namespace {

class FrameTest : public ShowTest {
  protected:
    void SetUp() override {
        ShowTest::SetUp();
        if (HasFatalFailure())
            return;
        // Start-up leaves messages of its own queued (the window's first size); handle them so
        // that each test decides what the frames find.
        for (int i = 0; i < 16 && WindowPoll() != EVENT_NONE; i++) {
        }
        ASSERT_EQ(WindowPoll(), EVENT_NONE);
    }
    static void Post(uint32_t message, uint32_t wParam) {
        PlatformPostMessage(MainWnd, message, wParam, 0);
    }
};

// ---- The frame's calls ----

TEST_F(FrameTest, EmptyFrameClearsSetsTheCameraOnTheModelviewAndFlushes) {
    SceneMask.store(0);
    size_t mark = Mark();
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_TRUE(GlStreamEquals(Since(mark), Join({FrameHead(), FrameTail()})));
    EXPECT_EQ(GlTraceMatrixMode(), GLenum(GL_MODELVIEW));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
}

TEST_F(FrameTest, LayersRunInTheirFixedOrder) {
    RandomSeed(0x1234u);
    std::vector<int32_t> draws;
    for (int i = 0; i < 64; i++)
        draws.push_back(RandomInt(100));
    RandomSeed(0x1234u);

    SceneMask.store(LAYER_PLATES | LAYER_GLITCH | LAYER_TITLE | LAYER_SPRITE | LAYER_TUNNEL |
                    LAYER_OBJECT);
    ScrollerOn = 1;
    size_t mark = Mark();
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_TRUE(GlStreamEquals(Since(mark), Join({
                                                FrameHead(),
                                                Tunnel(0.0f, 0.03125f),
                                                Scroller(-5.96875f),
                                                Object(1.5f, 0.8f),
                                                Plates(4.0f, 6.0f, 8.5f),
                                                Title(TexTitleA, 0.03f),
                                                Glitch(TexTitleA, draws),
                                                Sprite(),
                                                FrameTail(),
                                            })));
}

TEST_F(FrameTest, ObjectAndTunnelFrameDrawsTunnelThenScrollTextThenObject) {
    SceneMask.store(LAYER_OBJECT | LAYER_TUNNEL);
    ScrollerOn = 1;
    for (int frame = 1; frame <= 2; frame++) {
        size_t mark = Mark();
        ASSERT_EQ(RunFrame(), 0);
        EXPECT_TRUE(GlStreamEquals(Since(mark),
                                   Join({
                                       FrameHead(),
                                       Tunnel(2.0f * float(frame - 1), 0.03125f * float(frame)),
                                       Scroller(-6.0f + 0.03125f * float(frame)),
                                       Object(1.5f * float(frame), 0.8f),
                                       FrameTail(),
                                   })))
            << "frame " << frame;
    }
    // The text line turns texturing off before the object is drawn, and the frame ends with
    // it off.
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
}

TEST_F(FrameTest, LayersThatAreOffKeepTheirVariables) {
    SceneMask.store(LAYER_SPRITE);
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(TunnelShift, 0.0f);
    EXPECT_EQ(TunnelAngle, 0.0f);
    EXPECT_EQ(ObjectAngle, 0.0f);
    EXPECT_EQ(PlateOffsetA, 4.0f);
    EXPECT_EQ(ScrollX, -6.0f);
    EXPECT_EQ(TitleAlpha, 0.0f);
    EXPECT_EQ(GlitchCountdown, 50);
    EXPECT_EQ(SpritePhase, -6.0f + 0.05f);
}

// ---- Pacing ----

struct PacingCase {
    const char *what;
    uint32_t start;                // clock at the frame's first reading
    std::vector<uint32_t> advance; // clock movement after each reading
    uint64_t paused;               // total of the pauses
    uint32_t pauses;               // their number
};

TEST_F(FrameTest, FramePausesForTheRestOfTwentyMilliseconds) {
    const PacingCase cases[] = {
        {"5 ms of work", 1000, {5, 0, 0}, 15, 1},
        {"second reading moved on by 3 ms", 1000, {5, 3, 0}, 12, 1},
        {"second reading already at 20 ms", 1000, {5, 15, 0}, 0, 0},
        {"second reading past 20 ms", 1000, {5, 40, 0}, 0, 0},
        {"no work at all", 1000, {0, 0, 0}, 20, 1},
        {"19 ms of work", 1000, {19, 0, 0}, 1, 1},
        {"exactly 20 ms of work", 1000, {20, 0, 0}, 0, 0},
        {"a long frame", 1000, {250, 0, 0}, 0, 0},
        // The tick count wraps at 2^32: differences still count forward.
        {"5 ms of work before the wrap", 0xFFFFFFF8u, {5, 0, 0}, 15, 1},
        {"10 ms of work across the wrap", 0xFFFFFFF8u, {10, 0, 0}, 10, 1},
        {"second reading across the wrap", 0xFFFFFFF8u, {5, 10, 0}, 5, 1},
        {"25 ms across the wrap", 0xFFFFFFF8u, {25, 0, 0}, 0, 0},
    };
    for (const PacingCase &c : cases) {
        VirtualClockSet(c.start);
        VirtualClockScriptReads(c.advance.data(), int(c.advance.size()));
        VirtualClockResetPauses();
        ASSERT_EQ(RunFrame(), 0) << c.what;
        EXPECT_EQ(FrameStart, c.start) << c.what;
        EXPECT_EQ(VirtualClockPausedMs(), c.paused) << c.what;
        EXPECT_EQ(VirtualClockPauseCount(), c.pauses) << c.what;
    }
}

TEST_F(FrameTest, LongFramesAreNotMadeUpLater) {
    // Frame 1 takes 50 ms; frame 2 takes 5 ms and still pauses the full 15.
    const uint32_t advance[] = {50, 0, 5, 0, 0};
    VirtualClockSet(0);
    VirtualClockScriptReads(advance, 5);
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(VirtualClockPauseCount(), 0u);
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(FrameStart, 50u);
    EXPECT_EQ(VirtualClockPausedMs(), 15u);
    EXPECT_EQ(VirtualClockPauseCount(), 1u);
}

// ---- Ways out ----

TEST_F(FrameTest, CloseRequestEndsTheRun) {
    ASSERT_EQ(RunFrame(), 0);
    Post(WM_CLOSE, 0);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(LastEvent, EVENT_CLOSE);
}

TEST_F(FrameTest, EscapeKeyEndsTheRun) {
    // Another key does not, nor does the character message its key press queues.
    Post(WM_KEYDOWN, 'A');
    EXPECT_EQ(RunFrame(), 0);
    for (int frame = 0; frame < 4 && LastEvent != EVENT_NONE; frame++)
        ASSERT_EQ(RunFrame(), 0);
    ASSERT_EQ(LastEvent, EVENT_NONE);

    Post(WM_KEYDOWN, 27);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(LastEvent, uint32_t(WM_KEYDOWN));
}

TEST_F(FrameTest, AnyMessageWhoseParameterIs27EndsTheRun) {
    for (uint32_t message : {uint32_t(WM_KEYUP), uint32_t(WM_CHAR), uint32_t(WM_MOUSEMOVE),
                             uint32_t(WM_LBUTTONDOWN), 0x0400u}) {
        // A message with another parameter first, so that the last one is not 27 already.
        Post(WM_MOUSEMOVE, 28);
        ASSERT_EQ(RunFrame(), 0) << "message " << message;
        Post(message, 27);
        EXPECT_EQ(RunFrame(), 1) << "message " << message;
    }
}

TEST_F(FrameTest, EmptyPollKeepsTheLastMessageParameter) {
    Post(WM_MOUSEMOVE, 5);
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(LastMessageParam(), 5u);
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(LastEvent, EVENT_NONE);
    EXPECT_EQ(LastMessageParam(), 5u);

    // So an Escape, once handled, would end every later frame too.
    Post(WM_KEYUP, 27);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(LastEvent, EVENT_NONE);
}

TEST_F(FrameTest, BurstOfMessagesDelaysEscapeByOneFramePerMessage) {
    // Backstop: should Escape be missed, the scroll text ends the loop after 320 frames.
    ScrollerOn = 1;
    ScrollX = 120.0f;
    const uint32_t burst = 6;
    for (uint32_t i = 0; i < burst; i++)
        Post(WM_MOUSEMOVE, i);
    Post(WM_KEYDOWN, 27);
    size_t mark = Mark();
    RunFrameLoop();
    size_t frames = 0;
    for (const std::string &call : Since(mark))
        frames += call == "glFlush()";
    EXPECT_EQ(frames, burst + 1);
    EXPECT_EQ(LastMessageParam(), 27u);
}

TEST_F(FrameTest, ScrollTextExactlyAtItsEndDoesNotEndTheRunButTheNextStepDoes) {
    SceneMask.store(0);
    ScrollerOn = 1;
    ScrollX = 130.0f - 0.03125f;
    ASSERT_EQ(RunFrame(), 0);
    EXPECT_EQ(ScrollX, 130.0f);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(ScrollX, 130.03125f);
}

} // namespace
