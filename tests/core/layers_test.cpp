// Each layer step on the recorded GL stream: its calls, its per-frame changes and the state
// it leaves for the next step.
#include "content/content.h"
#include "core/scene.h"
#include "runtime/random.h"
#include "tests/core/show_fixture.h"

#include <cmath>

namespace {

class LayerTest : public ShowTest {};

// ---- Tunnel ----

TEST_F(LayerTest, TunnelTurnsByItsAngleBeforeSteppingItAndDrawsFiftyOneRingsAQuarterApart) {
    TunnelAngle = 10.0f;
    TunnelShift = 0.0f;
    Stream drawn = Record(DrawTunnelLayer);
    // The shift is stepped before use, the angle after.
    EXPECT_TRUE(GlStreamEquals(drawn, Tunnel(10.0f, 0.03125f)));
    EXPECT_EQ(TunnelAngle, 12.0f);
    EXPECT_EQ(TunnelShift, 0.03125f);

    // It leaves fog off, the matrix as it found it, and texturing on with the ring bound.
    EXPECT_FALSE(GlTraceEnabled(GL_FOG));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), TexRing);
}

TEST_F(LayerTest, TunnelShiftCyclesThroughEightValuesAndDrawsAQuarterAsZero) {
    const float drawnShift[] = {0.03125f, 0.0625f,  0.09375f, 0.125f,  0.15625f,
                                0.1875f,  0.21875f, 0.0f,     0.03125f};
    float angle = 0.0f;
    for (float shift : drawnShift) {
        Stream drawn = Record(DrawTunnelLayer);
        ASSERT_TRUE(GlStreamEquals(drawn, Tunnel(angle, shift))) << "shift " << shift;
        angle += 2.0f;
    }
}

TEST_F(LayerTest, TunnelAngleGrowsWithoutWrapping) {
    TunnelAngle = 359.0f;
    Record(DrawTunnelLayer);
    Stream drawn = Record(DrawTunnelLayer);
    ASSERT_GT(drawn.size(), 2u);
    EXPECT_EQ(drawn[2], "glRotatef(361,0,0,1)");
    EXPECT_EQ(TunnelAngle, 363.0f);
}

// ---- Object ----

TEST_F(LayerTest, ObjectDrawsAScaledRedInnerCopyAndAnUnscaledGreenOuterOne) {
    Stream drawn = Record(DrawObjectLayer);
    // The spin is stepped before use: the first frame turns by 1.5 degrees.
    EXPECT_TRUE(GlStreamEquals(drawn, Object(1.5f, 0.8f)));
    EXPECT_EQ(ObjectAngle, 1.5f);

    drawn = Record(DrawObjectLayer);
    EXPECT_TRUE(GlStreamEquals(drawn, Object(3.0f, 0.8f)));
}

TEST_F(LayerTest, ObjectLeavesLightingAndFogOffAdditiveBlendingAndTheLightOn) {
    glEnable(GL_TEXTURE_2D);
    Record(DrawObjectLayer);
    EXPECT_FALSE(GlTraceEnabled(GL_LIGHTING));
    EXPECT_FALSE(GlTraceEnabled(GL_FOG));
    EXPECT_TRUE(GlTraceEnabled(GL_LIGHT0));
    EXPECT_EQ(GlTraceBlendFunc(), (std::array<GLenum, 2>{GL_SRC_ALPHA, GL_ONE}));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
    // Texturing is not the object's business: it stays as the earlier steps left it.
    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
}

// ---- Plates ----

TEST_F(LayerTest, PlatesFlyInFromThreeEdgesAndMoveOnAfterDrawing) {
    Stream drawn = Record(DrawPlatesLayer);
    EXPECT_TRUE(GlStreamEquals(drawn, Plates(4.0f, 6.0f, 8.5f)));
    // Each offset loses 0.1 after the frame is drawn.
    EXPECT_EQ(PlateOffsetA, 4.0f - 0.1f);
    EXPECT_EQ(PlateOffsetB, 6.0f - 0.1f);
    EXPECT_EQ(PlateOffsetC, 8.5f - 0.1f);

    drawn = Record(DrawPlatesLayer);
    EXPECT_TRUE(GlStreamEquals(drawn, Plates(4.0f - 0.1f, 6.0f - 0.1f, 8.5f - 0.1f)));

    // DrawPlate turns texturing off; the tint stays.
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
    EXPECT_EQ(GlTraceColor(), (std::array<float, 4>{1.0f, 0.0f, 0.0f, 0.6f}));
}

TEST_F(LayerTest, PlatesPassTheCentreJustAfterReachingItAndAreNeverClamped) {
    // Plate 2 sits at offset A, plate 1 at minus offset B (the x of their translations).
    std::vector<float> plate2, plate1;
    for (int frame = 1; frame <= 62; frame++) {
        size_t mark = Mark();
        DrawPlatesLayer();
        size_t second = GlTraceFind("glRotatef(-135,0,0,1)", mark);
        size_t first = GlTraceFind("glRotatef(135,0,0,1)", mark);
        ASSERT_NE(second, SIZE_MAX);
        ASSERT_NE(first, SIZE_MAX);
        plate2.push_back(GlTraceCalls()[second - 1].F(0));
        plate1.push_back(GlTraceCalls()[first - 1].F(0));
    }
    // In single precision 4 - 40 x 0.1 stays a few millionths above 0: plate 2 is drawn
    // just off the centre in its 41st frame and past it from the 42nd. 1e-5 bounds that
    // rounding remainder and is far below one frame's step of 0.1.
    EXPECT_GT(plate2[40], 0.0f);
    EXPECT_LT(plate2[40], 1e-5f);
    EXPECT_LT(plate2[41], 0.0f);
    EXPECT_LT(plate2[61], -2.0f);
    // Plate 1 likewise in its 61st frame, from the other side.
    EXPECT_LT(plate1[60], 0.0f);
    EXPECT_GT(plate1[60], -1e-5f);
    EXPECT_GT(plate1[61], 0.0f);
}

// ---- Title ----

TEST_F(LayerTest, TitleFadesInTheFirstImage) {
    Stream drawn = Record(DrawTitleLayer);
    // The alpha is stepped before it is used.
    EXPECT_TRUE(GlStreamEquals(drawn, Title(TexTitleA, 0.03f)));
    EXPECT_EQ(Player().plays, 0u);
    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), TexTitleA);
    EXPECT_EQ(GlTraceTexParameter(TexTitleA, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(GlTraceTexParameter(TexTitleA, GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
}

TEST_F(LayerTest, SecondTitleShowsTheSecondImageAndResumesTheMusicEveryFrame) {
    TitlePhase = 50;
    TitleAlpha = 1.02f;
    for (uint32_t frame = 1; frame <= 3; frame++) {
        Stream drawn = Record(DrawTitleLayer);
        EXPECT_TRUE(GlStreamEquals(drawn, Title(TexTitleB, 1.02f)));
        EXPECT_EQ(Player().plays, frame);
    }
    EXPECT_EQ(TitlePhase, 47);
    EXPECT_EQ(Player().otherCalls, 0u);
    EXPECT_EQ(GlTraceBoundTexture(), TexTitleB);
}

// ---- Glitch ----

TEST_F(LayerTest, GlitchDrawsThirtyTwoStripsFromSixtyFourDrawsInStripOrder) {
    const uint32_t seed = 0xC0FFEEu;
    RandomSeed(seed);
    std::vector<int32_t> draws;
    for (int i = 0; i < 65; i++)
        draws.push_back(RandomInt(100));
    int32_t next = draws.back();
    draws.pop_back();

    RandomSeed(seed);
    TitlePhase = 100;
    Stream drawn = Record(DrawGlitchLayer);
    EXPECT_TRUE(GlStreamEquals(drawn, Glitch(TexTitleB, draws)));
    // Exactly 64 draws: the generator goes on with the 65th.
    EXPECT_EQ(RandomInt(100), next);

    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), TexTitleB);
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
    EXPECT_FALSE(GlTraceInsideBegin());
}

TEST_F(LayerTest, GlitchTearsTheFirstTitleWhileItsPhaseIsZero) {
    TitlePhase = 0;
    Stream drawn = Record(DrawGlitchLayer);
    EXPECT_TRUE(GlStreamEquals(drawn, Glitch(TexTitleA, {})));
    EXPECT_EQ(Player().plays, 0u);
}

TEST_F(LayerTest, GlitchCountsDownAndHandsBackToTheTitleBelowZero) {
    SceneMask.store(LAYER_GLITCH);
    GlitchCountdown = 1;
    DrawGlitchLayer();
    EXPECT_EQ(GlitchCountdown, 0);
    EXPECT_EQ(SceneMask.load(), LAYER_GLITCH);
    DrawGlitchLayer();
    EXPECT_EQ(GlitchCountdown, -1);
    EXPECT_EQ(SceneMask.load(), LAYER_TITLE);
}

// ---- Sprite ----

// The sprite's hop is the sine of a single-precision phase: taking it in single or double
// precision, of -5.95f or of -5.95, moves it by under 3e-7; one frame moves it by up to 0.04.
constexpr float HOP_TOLERANCE = 1e-6f;

TEST_F(LayerTest, SpriteStepsItsPhaseBeforeUseAndHopsAboveItsBaseLine) {
    size_t mark = Mark();
    DrawSpriteLayer();
    Stream drawn = Since(mark);
    EXPECT_TRUE(GlStreamEquals(drawn, Sprite()));
    EXPECT_EQ(SpritePhase, -6.0f + 0.05f);

    const GlCall &place = FirstCall("glTranslatef", mark);
    EXPECT_EQ(place.F(0), (-6.0f + 0.05f) / 2.0f); // x = -2.975: at the left edge
    // sin(-5.95) is positive (0.3175): folded to its negative, which the turn makes a rise.
    EXPECT_NEAR(place.F(1), -std::sin(-5.95) / 1.2, HOP_TOLERANCE);
    EXPECT_EQ(place.F(2), 0.0f);

    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), TexSprite);
    EXPECT_EQ(GlTraceTexParameter(TexSprite, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
}

TEST_F(LayerTest, SpriteHeightIsTheFoldedSineAndNeverBelowItsBaseLine) {
    // Phase -3.05 steps to -3.0, whose sine is already negative: no fold.
    SpritePhase = -3.05f;
    size_t mark = Mark();
    DrawSpriteLayer();
    EXPECT_NEAR(FirstCall("glTranslatef", mark).F(1), std::sin(-3.0) / 1.2, HOP_TOLERANCE);

    // Over a whole hop and more, the y of the translation is never above 0.
    for (int frame = 0; frame < 130; frame++) {
        mark = Mark();
        DrawSpriteLayer();
        const GlCall &place = FirstCall("glTranslatef", mark);
        ASSERT_LE(place.F(1), 0.0f) << "phase " << SpritePhase;
        ASSERT_GE(place.F(1), -1.0f / 1.2f - HOP_TOLERANCE) << "phase " << SpritePhase;
    }
}

// ---- Scroll text ----

TEST_F(LayerTest, ScrollTextStepsBeforeItIsPlacedAndRunsAlongTheBottom) {
    Stream drawn = Record(DrawScroller);
    // First frame: ScrollX -5.96875, so the line starts at 5.96875 - 2.7.
    EXPECT_TRUE(GlStreamEquals(drawn, Scroller(-5.96875f)));
    EXPECT_EQ(ScrollX, -5.96875f);
    EXPECT_EQ(drawn[2], "glTranslatef(" + Num(5.96875f - 2.7f) + ",-1.9,-2)");

    drawn = Record(DrawScroller);
    EXPECT_TRUE(GlStreamEquals(drawn, Scroller(-5.9375f)));

    // The text line leaves texturing off; the matrix is restored.
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
}

} // namespace
