// The scene sequencer on the offline run: the opening carried by the title and glitch steps,
// then the music's sync points, injected right before a frame (no music is decoded).
#include "content/content.h"
#include "core/frame_loop.h"
#include "core/offline.h"
#include "core/scene.h"
#include "music/music.h"
#include "music/player_api.h"
#include "tests/core/show_fixture.h"

namespace {

// 34 single-precision additions of 0.03 drift from 0.03 n by under 34 half-steps of a float
// near 1 (2e-6); a step more or less is 0.03.
constexpr float ALPHA_TOLERANCE = 1e-5f;

// Index of the title's colour call in a frame that starts with the title step.
constexpr size_t TITLE_COLOUR = 4 + 1 + 4;

class SequencerTest : public ShowTest {
  protected:
    // Draws the next frame into `drawn` and returns 1 when the show ends with it.
    int Next(Stream &drawn) {
        mark_ = Mark();
        int ended = OfflineFrame();
        drawn = Since(mark_);
        return ended;
    }
    // The first call named `name` of the last frame drawn by Next.
    const GlCall &InFrame(const std::string &name) const { return FirstCall(name, mark_); }

    size_t mark_ = 0;
};

TEST_F(SequencerTest, OpeningRunsTitleGlitchSecondTitleThenPlatesWithScrollText) {
    Stream drawn;

    // Title A, frames 1 to 34: the first image fading in by 0.03 a frame.
    float alpha = 0.0f;
    for (uint32_t frame = 1; frame <= 34; frame++) {
        ASSERT_EQ(Next(drawn), 0);
        ASSERT_GT(drawn.size(), TITLE_COLOUR);
        alpha = GlTraceCalls()[mark_ + TITLE_COLOUR].F(3);
        Stream expected = Join({FrameHead(), Title(TexTitleA, alpha), FrameTail()});
        ASSERT_TRUE(GlStreamEquals(drawn, expected)) << "frame " << frame;
        ASSERT_NEAR(alpha, 0.03f * float(frame), ALPHA_TOLERANCE) << "frame " << frame;
        ASSERT_EQ(SceneMask.load(), LAYER_TITLE);
    }
    EXPECT_GE(alpha, 1.0f); // 1.02: shown at full strength

    // Frame 35 still draws title A, at the same alpha, and then the first glitch frame,
    // which already tears the second image.
    ASSERT_EQ(Next(drawn), 0);
    EXPECT_TRUE(GlStreamEquals(
        drawn, Join({FrameHead(), Title(TexTitleA, alpha), Glitch(TexTitleB, {}), FrameTail()})));
    EXPECT_EQ(SceneMask.load(), LAYER_GLITCH);
    EXPECT_EQ(TitlePhase, 100);
    EXPECT_EQ(GlitchCountdown, 49);

    // Glitch, frames 36 to 85: 51 glitch frames in all.
    for (uint32_t frame = 36; frame <= 85; frame++) {
        ASSERT_EQ(Next(drawn), 0);
        ASSERT_TRUE(GlStreamEquals(drawn, Join({FrameHead(), Glitch(TexTitleB, {}), FrameTail()})))
            << "frame " << frame;
        ASSERT_EQ(SceneMask.load(), frame < 85 ? LAYER_GLITCH : LAYER_TITLE) << "frame " << frame;
    }
    EXPECT_EQ(GlitchCountdown, -1);
    EXPECT_EQ(Player().plays, 0u);

    // Title B, frames 86 to 185: the second image, and the music resumed in every frame.
    for (uint32_t frame = 86; frame <= 185; frame++) {
        ASSERT_EQ(Next(drawn), 0);
        ASSERT_TRUE(
            GlStreamEquals(drawn, Join({FrameHead(), Title(TexTitleB, alpha), FrameTail()})))
            << "frame " << frame;
        ASSERT_EQ(GlTraceBoundTexture(), TexTitleB);
        ASSERT_EQ(Player().plays, frame - 85);
        if (frame < 185) {
            ASSERT_EQ(TitlePhase, 100 - (frame - 85)) << "frame " << frame;
            ASSERT_EQ(SceneMask.load(), LAYER_TITLE);
            ASSERT_EQ(ScrollerOn, 0);
        }
    }
    EXPECT_EQ(TitlePhase, 1);
    EXPECT_EQ(SceneMask.load(), LAYER_PLATES);
    EXPECT_EQ(ScrollerOn, 1);
    // Nothing but play: the music is never paused or stopped again.
    EXPECT_EQ(Player().otherCalls, 0u);

    // Plates with the scroll text from frame 186; the scroll text is drawn first.
    ASSERT_EQ(Next(drawn), 0);
    EXPECT_TRUE(GlStreamEquals(
        drawn, Join({FrameHead(), Scroller(-5.96875f), Plates(4.0f, 6.0f, 8.5f), FrameTail()})));
    ASSERT_EQ(Next(drawn), 0);
    EXPECT_TRUE(
        GlStreamEquals(drawn, Join({FrameHead(), Scroller(-5.9375f),
                                    Plates(4.0f - 0.1f, 6.0f - 0.1f, 8.5f - 0.1f), FrameTail()})));
    EXPECT_EQ(Player().plays, 100u);
    EXPECT_EQ(TitlePhase, 1);
    EXPECT_EQ(GlitchCountdown, -1);
}

TEST_F(SequencerTest, RunEndsWithTheFrameInWhichTheScrollTextFirstPassesItsEnd) {
    uint32_t endFrame = 0;
    float lastGoingOn = 0.0f;
    uint32_t scrollFrames = 0;
    for (uint32_t frame = 1; frame <= 5000 && endFrame == 0; frame++) {
        if (OfflineFrame())
            endFrame = frame;
        else
            lastGoingOn = ScrollX;
        scrollFrames += ScrollerOn == 1 && frame >= 186;
        if (frame > 185) {
            ASSERT_EQ(TitlePhase, 1) << "frame " << frame;
            ASSERT_EQ(GlitchCountdown, -1) << "frame " << frame;
            ASSERT_EQ(SceneMask.load(), LAYER_PLATES) << "frame " << frame;
        }
        // Only the counts matter here; forget the calls so that memory stays flat.
        GlTraceReset();
    }
    EXPECT_EQ(endFrame, 4538u);
    EXPECT_EQ(scrollFrames, 4353u);
    // 130.0 itself is reached exactly (steps of 1/32) and does not end the run.
    EXPECT_EQ(lastGoingOn, 130.0f);
    EXPECT_EQ(ScrollX, 130.03125f);
}

TEST_F(SequencerTest, SyncBeforeTheSecondTitleEndsLeavesTheScrollTextOffForGood) {
    OfflineInjectSync(150, SYNC_USER_SPRITE);
    Stream drawn;
    for (uint32_t frame = 1; frame < 150; frame++)
        ASSERT_EQ(Next(drawn), 0);
    uint8_t phase = TitlePhase;
    EXPECT_EQ(phase, 100 - (149 - 85));

    // From frame 150 only the sprite: the title step, which would have set the scroll text
    // going, never runs again.
    ASSERT_EQ(Next(drawn), 0);
    EXPECT_TRUE(GlStreamEquals(drawn, Join({FrameHead(), Sprite(), FrameTail()})));
    for (uint32_t frame = 151; frame <= 4600; frame++) {
        ASSERT_EQ(OfflineFrame(), 0) << "frame " << frame;
        ASSERT_EQ(SceneMask.load(), LAYER_SPRITE);
        ASSERT_EQ(ScrollerOn, 0);
        GlTraceReset();
    }
    EXPECT_EQ(ScrollX, -6.0f);
    EXPECT_EQ(TitlePhase, phase);
    EXPECT_EQ(Player().plays, 149u - 85u);
}

TEST_F(SequencerTest, SyncUserValuesReplaceTheWholeMask) {
    const struct {
        uint32_t user;
        uint32_t mask;
    } cases[] = {
        {SYNC_USER_SPRITE, LAYER_SPRITE},
        {SYNC_USER_OBJECT, LAYER_OBJECT},
        {SYNC_USER_TUNNEL, LAYER_OBJECT | LAYER_TUNNEL},
    };
    for (const auto &c : cases) {
        SceneMask.store(LAYER_PLATES | LAYER_GLITCH | LAYER_TITLE);
        SyncCallback(0x77, 0, c.user);
        EXPECT_EQ(SceneMask.load(), c.mask) << "user " << c.user;
        EXPECT_EQ(ObjectPulse.load(), 0.0f) << "user " << c.user;
    }
    EXPECT_EQ(SceneMask.load(), 0x30u);
}

TEST_F(SequencerTest, TunnelSyncReplacesItselfWithAPulseOnTheSecondInstrument) {
    SyncCallback(0x41, 0, SYNC_USER_SPRITE);
    SyncCallback(0x42, 0, SYNC_USER_OBJECT);
    EXPECT_EQ(Player().removeCount, 0u);
    EXPECT_EQ(Player().setCount, 0u);

    SyncCallback(0x43, 0, SYNC_USER_TUNNEL);
    ASSERT_EQ(Player().removeCount, 1u);
    EXPECT_EQ(Player().removed[0], 0x43u); // the handle of the call itself
    ASSERT_EQ(Player().setCount, 1u);
    EXPECT_EQ(Player().sets[0].type, SYNC_INSTRUMENT);
    EXPECT_EQ(Player().sets[0].param, 0xFFFF0002u); // instrument 2, any note
    EXPECT_EQ(Player().sets[0].proc, &SyncCallback);
    EXPECT_EQ(Player().sets[0].user, SYNC_USER_PULSE);
}

TEST_F(SequencerTest, OtherUserValuesChangeNothing) {
    SceneMask.store(LAYER_OBJECT | LAYER_PLATES);
    ObjectPulse.store(0.125f);
    for (uint32_t user : {0u, 5u, 6u, 0x80000001u, 0xFFFFFFFFu}) {
        SyncCallback(0x43, 0, user);
        EXPECT_EQ(SceneMask.load(), LAYER_OBJECT | LAYER_PLATES) << "user " << user;
        EXPECT_EQ(ObjectPulse.load(), 0.125f) << "user " << user;
    }
    EXPECT_EQ(Player().removeCount + Player().setCount + Player().plays, 0u);
}

TEST_F(SequencerTest, PulseSetsOnlyThePulse) {
    SceneMask.store(LAYER_OBJECT | LAYER_TUNNEL);
    ObjectPulse.store(-0.05f);
    SyncCallback(0x44, 0, SYNC_USER_PULSE);
    EXPECT_EQ(ObjectPulse.load(), 0.3f);
    EXPECT_EQ(SceneMask.load(), LAYER_OBJECT | LAYER_TUNNEL);
    EXPECT_EQ(Player().removeCount + Player().setCount, 0u);
}

TEST_F(SequencerTest, PulseWhileTheObjectIsOffWaitsForItsNextFrame) {
    OfflineInjectSync(10, SYNC_USER_PULSE);
    Stream drawn;
    for (uint32_t frame = 1; frame <= 200; frame++) {
        ASSERT_EQ(Next(drawn), 0);
        if (frame >= 10) {
            ASSERT_EQ(ObjectPulse.load(), 0.3f) << "frame " << frame;
        }
    }
    OfflineInjectSync(201, SYNC_USER_OBJECT);
    ASSERT_EQ(Next(drawn), 0);
    // The scroll text scales too, before the object: take the object's own scale.
    size_t object = GlTraceFind("glEnable(GL_LIGHTING)", mark_);
    ASSERT_NE(object, SIZE_MAX);
    EXPECT_EQ(FirstCall("glScalef", object).F(0), 0.3f + 0.8f);
    EXPECT_EQ(ObjectPulse.load(), 0.3f - 0.05f);
}

TEST_F(SequencerTest, InnerCopyScaleRunsDownFromAPulseAndRestsAtThreeQuarters) {
    OfflineInjectSync(1, SYNC_USER_OBJECT);
    OfflineInjectSync(3, SYNC_USER_PULSE);
    std::vector<float> scales;
    Stream drawn;
    for (int frame = 1; frame <= 12; frame++) {
        ASSERT_EQ(Next(drawn), 0);
        scales.push_back(InFrame("glScalef").F(0));
    }
    // Before any pulse the inner copy rests at 0.8.
    EXPECT_EQ(scales[0], 0.8f);
    EXPECT_EQ(scales[1], 0.8f);
    // Repeated single-precision subtraction of 0.05 drifts a few float steps (1.2e-7 each
    // near 1) from the decimal values; 1e-6 keeps that apart from a step missed (0.05).
    const float afterPulse[] = {1.1f, 1.05f, 1.0f, 0.95f, 0.9f, 0.85f, 0.8f, 0.75f, 0.75f, 0.75f};
    for (int k = 0; k < 10; k++)
        EXPECT_NEAR(scales[2 + k], afterPulse[k], 1e-6) << "frame " << 3 + k;
    // The sixth decrease leaves a small positive remainder, the seventh goes below zero and
    // stays there.
    EXPECT_EQ(scales[10], scales[9]);
    EXPECT_EQ(scales[11], scales[9]);
    EXPECT_LT(ObjectPulse.load(), 0.0f);
}

} // namespace
