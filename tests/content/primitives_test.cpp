// The ring and the plate, on the recorded call stream.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A ring point is the sine and cosine of a single-precision angle, rounded to single: near
// 2 pi the angle itself is off by up to half a float step (2.4e-7), the result by another
// 6e-8, so 1e-6 separates rounding from a wrong angle (one degree moves a point by 0.017).
constexpr double RING_TOLERANCE = 1e-6;
// Reference values printed to 4 decimals: half a unit of the last digit.
constexpr double REF4 = 0.00005;

constexpr double PI = 3.14159265358979323846;

class PrimitivesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GlTraceReset();
        // Distinct names, so a primitive binding the wrong texture shows.
        TexFont = 11, TexRing = 12, TexPlate = 13, TexTitleA = 14, TexTitleB = 15, TexSprite = 16;
    }
};

TEST_F(PrimitivesTest, RingSetsItsTextureAndColourBeforeTheFirstVertex) {
    DrawRing();
    std::vector<std::string> texts = GlTraceTexts();
    ASSERT_EQ(texts.size(), 6u + 32 * 2 + 1);
    std::vector<std::string> head(texts.begin(), texts.begin() + 8);
    EXPECT_TRUE(
        GlStreamEquals(head, {
                                 "glEnable(GL_TEXTURE_2D)",
                                 "glBindTexture(GL_TEXTURE_2D,12)",
                                 "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_S,GL_REPEAT)",
                                 "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_T,GL_REPEAT)",
                                 "glBegin(GL_QUAD_STRIP)",
                                 "glColor4f(1,1,1,1)",
                                 "glTexCoord2f(0,0)",
                                 "glVertex3f(0,1,0)",
                             }));
    EXPECT_EQ(texts.back(), "glEnd()");

    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), 12u);
    EXPECT_EQ(GlTraceColor(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
    EXPECT_EQ(GlTraceCount("glTranslatef") + GlTraceCount("glRotatef"), 0u);
}

TEST_F(PrimitivesTest, RingRunsClockwiseInTwentyFourDegreeSteps) {
    DrawRing();
    const std::vector<GlCall> &calls = GlTraceCalls();
    // Vertex n is the pair n / 2 at angle 24 (n / 2) degrees, on the edge z = 0 for even n.
    for (size_t n = 0; n < 32; n++) {
        const GlCall &tex = calls[6 + 2 * n];
        const GlCall &vertex = calls[7 + 2 * n];
        ASSERT_EQ(tex.name, "glTexCoord2f");
        ASSERT_EQ(vertex.name, "glVertex3f");
        size_t pair = n / 2;
        double angle = 24.0 * double(pair) * PI / 180.0;
        EXPECT_NEAR(vertex.F(0), std::sin(angle), RING_TOLERANCE) << n;
        EXPECT_NEAR(vertex.F(1), std::cos(angle), RING_TOLERANCE) << n;
        EXPECT_EQ(vertex.F(2), n % 2 ? 0.25f : 0.0f) << n; // exactly: rings abut
        EXPECT_EQ(tex.F(0), n % 2 ? 1.0f : 0.0f) << n;     // s follows z
        EXPECT_EQ(tex.F(1), pair % 2 ? 1.0f : 0.0f) << n;  // t: 0 at multiples of 48
    }
    // The reference points: 96 degrees with t = 0, 120 with t = 1, and the last vertex.
    EXPECT_NEAR(calls[6 + 2 * 8 + 1].F(0), 0.9945, REF4);
    EXPECT_NEAR(calls[6 + 2 * 8 + 1].F(1), -0.1045, REF4);
    EXPECT_EQ(calls[6 + 2 * 8].Text(), "glTexCoord2f(0,0)");
    EXPECT_EQ(calls[6 + 2 * 10].Text(), "glTexCoord2f(0,1)");
    EXPECT_EQ(calls[6 + 2 * 31].Text(), "glTexCoord2f(1,1)");
    const GlCall &last = calls[7 + 2 * 31];
    EXPECT_NEAR(last.F(0), 0.0, RING_TOLERANCE);
    EXPECT_NEAR(last.F(1), 1.0, RING_TOLERANCE);
    EXPECT_EQ(last.F(2), 0.25f);
}

TEST_F(PrimitivesTest, PlateIsOneQuadWithThePictureTopAlongTheLowerEdge) {
    glColor4f(1.0f, 0.0f, 0.0f, 0.6f);
    glPushMatrix();
    size_t start = GlTraceCalls().size();
    DrawPlate();
    EXPECT_TRUE(GlStreamEquals(GlTraceTexts(start),
                               {
                                   "glEnable(GL_TEXTURE_2D)",
                                   "glBindTexture(GL_TEXTURE_2D,13)",
                                   "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_S,GL_CLAMP)",
                                   "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_T,GL_CLAMP)",
                                   "glBegin(GL_QUADS)",
                                   "glTexCoord2f(0,0)",
                                   "glVertex3f(-1,-1,0)",
                                   "glTexCoord2f(0,1)",
                                   "glVertex3f(-1,1,0)",
                                   "glTexCoord2f(1,1)",
                                   "glVertex3f(1,1,0)",
                                   "glTexCoord2f(1,0)",
                                   "glVertex3f(1,-1,0)",
                                   "glEnd()",
                                   "glDisable(GL_TEXTURE_2D)",
                               }));
    // Texturing off, the plate's texture and wraps kept, the caller's colour and matrix.
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), 13u);
    EXPECT_EQ(GlTraceTexParameter(13, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(GlTraceTexParameter(13, GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(GlTraceColor(), (std::array<float, 4>{1.0f, 0.0f, 0.0f, 0.6f}));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 2);
}

} // namespace
