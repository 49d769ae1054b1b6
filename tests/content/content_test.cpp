// The graphics content on the recorded call stream: the texture set, the font cells the
// text line picks, and the object's display list.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Content, UploadBuildsSixMipmappedTexturesWithTheirFilters) {
    GlTraceReset();
    UploadTextures();
    ASSERT_NE(GlTraceFind("glPixelStorei"), nullptr);
    EXPECT_EQ(GlTraceFind("glPixelStorei")->args, (std::vector<double>{GL_UNPACK_ALIGNMENT, 1}))
        << "rows are not padded";
    const struct {
        GLuint *name;
        double width, height, format;
        GLint magFilter;
    } images[] = {
        {&TexFont, 512, 16, GL_ALPHA, GL_NEAREST},
        {&TexRing, 128, 128, GL_RGB, GL_LINEAR},
        {&TexPlate, 256, 256, GL_LUMINANCE, GL_LINEAR},
        {&TexTitleA, 512, 64, GL_LUMINANCE, GL_LINEAR},
        {&TexTitleB, 512, 64, GL_LUMINANCE, GL_LINEAR},
        {&TexSprite, 256, 512, GL_RGB, GL_LINEAR},
    };
    ASSERT_EQ(GlTraceCount("gluBuild2DMipmaps"), 6u);
    size_t at = 0;
    for (const auto &image : images) {
        while (GlTraceCalls()[at].name != "gluBuild2DMipmaps")
            at++;
        const std::vector<double> expected = {GL_TEXTURE_2D, image.format, image.width,
                                              image.height,  image.format, GL_UNSIGNED_BYTE};
        EXPECT_EQ(GlTraceCalls()[at++].args, expected) << "texture " << *image.name;
        EXPECT_EQ(GlTraceTexParameter(*image.name, GL_TEXTURE_MAG_FILTER), image.magFilter)
            << "texture " << *image.name;
    }
    EXPECT_EQ(GlTraceBoundTexture(), TexSprite);
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
}

// Letters take the cell of their code less 'A'; the marks have cells of their own; every
// character, a space too, steps two units first. Cells are 0.023438 wide in s.
TEST(Content, TextLinePicksEachCharactersCellAndStepsBeforeIt) {
    GlTraceReset();
    DrawTextLine("AZ !.,:?");
    const int cells[] = {0, 25, 34, 26, 27, 29, 33};
    std::vector<double> lefts, rights;
    for (const GlCall &call : GlTraceCalls())
        if (call.name == "glTexCoord2f" && call.args[1] == 0.0) {
            (lefts.size() == rights.size() ? lefts : rights).push_back(call.args[0]);
        }
    ASSERT_EQ(lefts.size(), 7u);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(float(lefts[i]), float(cells[i]) * 0.023438f) << "glyph " << i;
        EXPECT_EQ(float(rights[i]), float(cells[i]) * 0.023438f + 0.023438f) << "glyph " << i;
    }
    EXPECT_EQ(GlTraceCount("glTranslatef"), 8u);
    EXPECT_EQ(GlTraceFind("glTranslatef")->args, (std::vector<double>{2, 0, 0}));
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D)) << "each glyph turns texturing off";
    EXPECT_EQ(GlTraceTexParameter(TexFont, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(GlTraceMatrixDepth(), 1);
}

// 23 latitude rows of 46 samples make 22 strips of 92 vertices, compiled, not drawn; each
// normal is a unit vector, or zero where its triangle is degenerate.
TEST(Content, ObjectListHoldsTwentyTwoStripsWithUnitNormals) {
    GlTraceReset();
    BuildObjectList();
    EXPECT_EQ(ObjectList, 1u);
    EXPECT_EQ(GlTraceCount("glBegin"), 22u);
    EXPECT_EQ(GlTraceCount("glVertex3fv"), 22u * 92u);
    EXPECT_EQ(GlTraceCalls().back().name, "glEndList");
    for (const GlCall &call : GlTraceCalls()) {
        if (call.name != "glNormal3f")
            continue;
        double length = std::sqrt(call.args[0] * call.args[0] + call.args[1] * call.args[1] +
                                  call.args[2] * call.args[2]);
        if (length != 0.0) {
            EXPECT_NEAR(length, 1.0, 1e-6);
        }
    }
    float normal[3] = {9, 9, 9};
    TriangleNormal(0, 0, 0, 1, 1, 1, 2, 2, 2, normal);
    EXPECT_EQ(normal[0] + normal[1] + normal[2], 0.0f) << "a degenerate triangle";
    TriangleNormal(0, 0, 0, 1, 0, 0, 0, 1, 0, normal);
    EXPECT_EQ(normal[2], 1.0f) << "counter-clockwise from p1 faces +z";
}

} // namespace
