// The recording stand-in itself: text forms, captured arrays, names and the state model.
#include "tests/support/gl_trace.h"

#include "assets/assets.h"

#include <GL/glu.h>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class GlTraceTest : public ::testing::Test {
  protected:
    void SetUp() override { GlTraceReset(); }
};

TEST_F(GlTraceTest, NumbersPrintInTheirShortestExactForm) {
    glTranslatef(0.1f, -0.0f, -3.5f);
    gluPerspective(90.0, double(1.333f), 0.1, 1000.0);
    glScalef(1e-8f, 0.08f, 16777216.0f);
    EXPECT_TRUE(GlStreamEquals(GlTraceTexts(),
                               {
                                   // A negative zero stays visible: it is another bit pattern.
                                   "glTranslatef(0.1,-0,-3.5)",
                                   // 1.333f widened to double is not the double 1.333.
                                   "gluPerspective(90,1.3329999446868896,0.1,1000)",
                                   "glScalef(1e-08,0.08,16777216)",
                               }));
    // Typed access returns the very bits that were passed.
    EXPECT_EQ(GlTraceCalls()[0].F(0), 0.1f);
    EXPECT_TRUE(std::signbit(GlTraceCalls()[0].F(1)));
    EXPECT_EQ(GlTraceCalls()[1].D(1), double(1.333f));
}

TEST_F(GlTraceTest, EnumerantsAreNamedByTheArgumentsOwnTable) {
    glBegin(GL_LINES); // the value of GL_ONE
    glEnd();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClear(0);
    glEnable(0x8D5F); // not in the table
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    EXPECT_TRUE(GlStreamEquals(GlTraceTexts(),
                               {
                                   "glBegin(GL_LINES)",
                                   "glEnd()",
                                   "glBlendFunc(GL_SRC_ALPHA,GL_ONE)",
                                   "glBlendFunc(GL_ZERO,GL_ONE_MINUS_SRC_ALPHA)",
                                   "glClear(GL_COLOR_BUFFER_BIT|GL_DEPTH_BUFFER_BIT)",
                                   "glClear(0x0)",
                                   "glEnable(0x8D5F)",
                                   "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_S,GL_CLAMP)",
                                   "glPixelStorei(GL_UNPACK_ALIGNMENT,1)",
                               }));
}

TEST_F(GlTraceTest, ArraysAreCapturedByValueWithTheLengthTheirNameImplies) {
    float v[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    glVertex3fv(v);
    glMaterialfv(GL_FRONT, GL_SHININESS, v);
    glMaterialfv(GL_FRONT, GL_EMISSION, v);
    glLightfv(GL_LIGHT0, GL_POSITION, v);
    v[0] = 9.0f; // later changes of the caller's array do not reach the record
    EXPECT_TRUE(GlStreamEquals(GlTraceTexts(), {
                                                   "glVertex3fv({1,2,3})",
                                                   "glMaterialfv(GL_FRONT,GL_SHININESS,{1})",
                                                   "glMaterialfv(GL_FRONT,GL_EMISSION,{1,2,3,4})",
                                                   "glLightfv(GL_LIGHT0,GL_POSITION,{1,2,3,4})",
                                               }));
    EXPECT_EQ(GlTraceCalls()[0].V(0), (std::vector<float>{1.0f, 2.0f, 3.0f}));
}

TEST_F(GlTraceTest, PointersIntoNamedRegionsPrintAsOffsets) {
    static const unsigned char local[16] = {};
    GlTraceNameRegion("Local", local, sizeof local);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, ImageBlock + 8192);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_ALPHA, 1, 1, GL_ALPHA, GL_UNSIGNED_BYTE, local + 15);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_ALPHA, 1, 1, GL_ALPHA, GL_UNSIGNED_BYTE, nullptr);
    EXPECT_EQ(
        GlTraceCalls()[0].Text(),
        "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_RGB,2,2,GL_RGB,GL_UNSIGNED_BYTE,ImageBlock+8192)");
    EXPECT_EQ(GlTraceCalls()[1].Text(),
              "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_ALPHA,1,1,GL_ALPHA,GL_UNSIGNED_BYTE,Local+15)");
    EXPECT_EQ(GlTraceCalls()[2].P(6), nullptr);
    EXPECT_EQ(GlTraceCalls()[0].P(6), ImageBlock + 8192);
}

TEST_F(GlTraceTest, NamesIncreaseFromOneAndRestartOnReset) {
    GLuint textures[2];
    glGenTextures(2, textures);
    GLuint third;
    glGenTextures(1, &third);
    EXPECT_EQ(glGenLists(3), 1u);
    EXPECT_EQ(glGenLists(1), 4u);
    EXPECT_EQ(glGenLists(0), 0u); // an empty range names nothing
    EXPECT_EQ(textures[0], 1u);
    EXPECT_EQ(textures[1], 2u);
    EXPECT_EQ(third, 3u);
    EXPECT_EQ(GlTraceCalls()[0].Text(), "glGenTextures(2,{1,2})");
    GlTraceReset();
    EXPECT_TRUE(GlTraceCalls().empty());
    glGenTextures(1, &third);
    EXPECT_EQ(third, 1u);
    EXPECT_EQ(glGenLists(1), 1u);
}

TEST_F(GlTraceTest, StateModelFollowsTheCallsButNotACompiledList) {
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(GlTraceEnabled(GL_DITHER)); // on by default in OpenGL
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 5);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glBindTexture(GL_TEXTURE_2D, 6);
    glColor4f(1.0f, 0.0f, 0.0f, 0.6f);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glPushMatrix();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    EXPECT_EQ(GlTraceCompilingList(), list);
    glEndList();

    EXPECT_TRUE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), 6u);
    EXPECT_EQ(GlTraceTexParameter(5, GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(GlTraceTexParameter(5, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(GlTraceTexParameter(6, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(GlTraceTexParameter(6, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_EQ(GlTraceColor(), (std::array<float, 4>{1.0f, 0.0f, 0.0f, 0.6f}));
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 2);
    EXPECT_EQ(GlTraceMatrixDepth(GL_PROJECTION), 3);
    EXPECT_EQ(GlTraceMatrixMode(), GLenum(GL_PROJECTION));
    EXPECT_EQ(GlTraceBlendFunc(), (std::array<GLenum, 2>{GL_SRC_ALPHA, GL_ONE}));
    EXPECT_FALSE(GlTraceInsideBegin());
    EXPECT_EQ(GlTraceCompilingList(), 0u);

    // Calls inside the list carry its name; glNewList and glEndList themselves do not.
    const std::vector<GlCall> &calls = GlTraceCalls();
    size_t newList = GlTraceFind("glNewList(1,GL_COMPILE)");
    ASSERT_NE(newList, SIZE_MAX);
    EXPECT_EQ(calls[newList].list, 0u);
    EXPECT_EQ(calls[newList + 1].list, list);
    EXPECT_EQ(calls[newList + 3].list, list);
    EXPECT_EQ(calls.back().Text(), "glIsEnabled(GL_TEXTURE_2D)");
    EXPECT_EQ(calls[calls.size() - 2].Text(), "glEndList()");
    EXPECT_EQ(calls[calls.size() - 2].list, 0u);
}

TEST_F(GlTraceTest, StreamComparisonReportsTheFirstDifference) {
    glFlush();
    glLoadIdentity();
    std::vector<std::string> texts = GlTraceTexts();
    EXPECT_TRUE(GlStreamEquals(texts, {"glFlush()", "*"}));
    EXPECT_FALSE(GlStreamEquals(texts, {"glFlush()"}));
    EXPECT_FALSE(GlStreamEquals(texts, {"glFlush()", "*", "*"}));
    ::testing::AssertionResult differs = GlStreamEquals(texts, {"glFlush()", "glFinish()"});
    ASSERT_FALSE(differs);
    EXPECT_NE(std::string(differs.message()).find("differ at call 1"), std::string::npos);
    EXPECT_NE(std::string(differs.message()).find("glLoadIdentity()   expected glFinish()"),
              std::string::npos);
    EXPECT_EQ(GlTraceTexts(1, 5), (std::vector<std::string>{"glLoadIdentity()"}));
    EXPECT_EQ(GlTraceCount("glFlush"), 1u);
    EXPECT_EQ(GlTraceFind("glFinish()"), SIZE_MAX);
}

} // namespace
