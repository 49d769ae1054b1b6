// The graphics content on a real OpenGL context: the headless surface (Mesa llvmpipe).
#include "content/content.h"

#include "assets/assets.h"
#include "display/platform.h"

#include <GL/glu.h>
#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

int32_t IgnoreMessages(NativeWindow, uint32_t, uint32_t, uint32_t) {
    return 0;
}

struct Image {
    GLuint *name;
    uint32_t offset;
    GLint width, height;
    GLenum format;
    GLint magFilter;
};

// The image table as the upload must apply it (offsets are the sums of the sizes before).
const Image IMAGES[] = {
    {&TexFont, 0, 512, 16, GL_ALPHA, GL_NEAREST},
    {&TexRing, 8192, 128, 128, GL_RGB, GL_LINEAR},
    {&TexPlate, 57344, 256, 256, GL_LUMINANCE, GL_LINEAR},
    {&TexTitleA, 122880, 512, 64, GL_LUMINANCE, GL_LINEAR},
    {&TexTitleB, 155648, 512, 64, GL_LUMINANCE, GL_LINEAR},
    {&TexSprite, 188416, 256, 512, GL_RGB, GL_LINEAR},
};

GLint Integer(GLenum pname) {
    GLint value = -1;
    glGetIntegerv(pname, &value);
    return value;
}

GLint TexParameter(GLenum pname) {
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    return value;
}

GLint LevelParameter(GLint level, GLenum pname) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pname, &value);
    return value;
}

std::array<float, 4> CurrentColor() {
    std::array<float, 4> color{};
    glGetFloatv(GL_CURRENT_COLOR, color.data());
    return color;
}

std::array<float, 16> Modelview() {
    std::array<float, 16> m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

class ContentGlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        PlatformInit();
        PlatformRegisterClass("test", IgnoreMessages);
        NativeWindow window = PlatformCreateWindow("test", "test", 0, 0, 640, 480, WS_POPUP, 0);
        contextReady = PlatformCreateContext(window) != 0;
        if (contextReady)
            UploadTextures();
    }
    void SetUp() override {
        ASSERT_TRUE(contextReady) << "no OpenGL context on the headless surface";
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_DITHER);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }
    static bool contextReady;
};
bool ContentGlTest::contextReady;

TEST_F(ContentGlTest, UploadLeavesTheSpriteBoundAndEveryImageInPlace) {
    // Start from state the upload must change: another binding, the default alignment.
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    UploadTextures();
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(TexSprite));
    EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 1);
    std::vector<GLuint> names;
    for (const Image &image : IMAGES) {
        SCOPED_TRACE(image.offset);
        ASSERT_NE(*image.name, 0u);
        EXPECT_TRUE(std::find(names.begin(), names.end(), *image.name) == names.end());
        names.push_back(*image.name);
        glBindTexture(GL_TEXTURE_2D, *image.name);
        EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), image.magFilter);
        // Nothing else is set: the defaults hold until a drawing step sets the wraps.
        EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_WIDTH), image.width);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_HEIGHT), image.height);
        // The internal components follow the pixel format: 8 bits of alpha only for the
        // font, red/green/blue for RGB, luminance for the grey images.
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_ALPHA_SIZE), image.format == GL_ALPHA ? 8 : 0);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_RED_SIZE), image.format == GL_RGB ? 8 : 0);
        EXPECT_EQ(LevelParameter(0, GL_TEXTURE_LUMINANCE_SIZE),
                  image.format == GL_LUMINANCE ? 8 : 0);
        // The whole chain down to 1 x 1.
        GLint top = 0;
        while ((image.width >> top) > 1 || (image.height >> top) > 1)
            top++;
        EXPECT_EQ(LevelParameter(top, GL_TEXTURE_WIDTH), 1);
        EXPECT_EQ(LevelParameter(top, GL_TEXTURE_HEIGHT), 1);
        // Level 0 holds the block's bytes unchanged (whatever the pictures are).
        size_t bytes = size_t(image.width * image.height) * (image.format == GL_RGB ? 3 : 1);
        std::vector<unsigned char> pixels(bytes, 0xA5);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, image.format, GL_UNSIGNED_BYTE, pixels.data());
        EXPECT_EQ(std::memcmp(pixels.data(), ImageBlock + image.offset, bytes), 0);
    }
}

TEST_F(ContentGlTest, RingLeavesItsTextureOnAndTheColourWhite) {
    glTranslatef(0.5f, 0.0f, -3.0f);
    std::array<float, 16> before = Modelview();
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    DrawRing();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(TexRing));
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(CurrentColor(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(Modelview(), before);
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
}

TEST_F(ContentGlTest, PlateLeavesTexturingOffAndTheCallersColour) {
    glTranslatef(-6.0f, -6.0f, -2.0f);
    std::array<float, 16> before = Modelview();
    glColor4f(1.0f, 0.0f, 0.0f, 0.6f);
    DrawPlate();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(TexPlate));
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(CurrentColor(), (std::array<float, 4>{1.0f, 0.0f, 0.0f, 0.6f}));
    EXPECT_EQ(Modelview(), before);
}

TEST_F(ContentGlTest, TextLineLeavesTheMatrixStepped) {
    DrawTextLine("A B");
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(TexFont));
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
    std::array<float, 16> stepped{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 6, 0, 0, 1};
    EXPECT_EQ(Modelview(), stepped); // 3 steps of 2 units, exact in binary

    glLoadIdentity();
    DrawTextLine("");
    std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(Modelview(), identity);
}

// Renders with the modelview and projection at the identity over a viewport of the given
// size and returns the RGBA pixels, bottom row first.
std::vector<unsigned char> ReadViewport(GLsizei width, GLsizei height) {
    std::vector<unsigned char> pixels(size_t(width * height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

TEST_F(ContentGlTest, PlateShowsThePictureTintedWithItsFirstRowAtTheBottom) {
    // A test picture of our own in the plate texture's level 0: the first 128 rows ramp
    // up from left to right, the others down, so a flip in either direction shows.
    std::vector<unsigned char> picture(256 * 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            picture[size_t(y * 256 + x)] = uint8_t(y < 128 ? x : 255 - x);
    glBindTexture(GL_TEXTURE_2D, TexPlate);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 256, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                    picture.data());

    // One texel per pixel; additive blending on black, as in the show.
    glViewport(0, 0, 256, 256);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 0.0f, 0.0f, 0.6f);
    DrawPlate();
    std::vector<unsigned char> pixels = ReadViewport(256, 256);

    // Red is alpha x red x L = 0.6 L; 1 of tolerance for the rounding of that product and
    // of the 8-bit colour (and, should the sampler see a hair of minification, for the
    // tiny share of mipmap level 1). Rows near the picture's seam are skipped: there the
    // linear filter mixes the two halves.
    for (int y = 0; y < 256; y++) {
        if (y >= 126 && y <= 129)
            continue;
        for (int x = 0; x < 256; x += 5) {
            const unsigned char *p = &pixels[size_t(y * 256 + x) * 4];
            int luminance = y < 128 ? x : 255 - x;
            ASSERT_NEAR(p[0], 0.6 * luminance, 1.0) << x << "," << y;
            ASSERT_EQ(p[1], 0) << x << "," << y;
            ASSERT_EQ(p[2], 0) << x << "," << y;
        }
    }
    glViewport(0, 0, 640, 480);
}

TEST_F(ContentGlTest, GlyphShowsItsCellUpright) {
    // A test strip: texel (column, row) has alpha 8 x column + row within cell 1 (columns
    // 12 to 23), so every texel of the cell is told apart.
    std::vector<unsigned char> strip(512 * 16);
    for (int row = 0; row < 16; row++)
        for (int column = 0; column < 512; column++)
            strip[size_t(row * 512 + column)] = uint8_t(8 * column + row);
    glBindTexture(GL_TEXTURE_2D, TexFont);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 512, 16, GL_ALPHA, GL_UNSIGNED_BYTE, strip.data());

    // The cell's 12 x 16 texels on 12 x 16 pixels; white at the alpha of the texel.
    glViewport(0, 0, 12, 16);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    DrawGlyph('B');
    std::vector<unsigned char> pixels = ReadViewport(12, 16);

    // The cell's top row (texture row 0) is at the top of the square, its left column on
    // the left. 1 of tolerance: the cell is a hair wider than 12 texels, so the sampler
    // sees slight minification and mixes in a tiny share of mipmap level 1.
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 12; x++) {
            int column = 12 + x, row = 15 - y;
            EXPECT_NEAR(pixels[size_t(y * 12 + x) * 4], 8 * column + row, 1.0) << x << "," << y;
        }
    }
    glViewport(0, 0, 640, 480);
}

// One triangle of feedback: window x, y, z and lit r, g, b, a of its three vertices.
typedef std::array<GLfloat, 21> Triangle;

// Feedback of one drawing, every triangle in order. Fails the test on anything but
// triangles.
std::vector<Triangle> Feedback(void (*draw)()) {
    std::vector<GLfloat> buffer(80000);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    EXPECT_GT(used, 0) << "feedback buffer too small";
    std::vector<Triangle> triangles;
    for (size_t i = 0; i + 23 <= size_t(used > 0 ? used : 0); i += 23) {
        EXPECT_EQ(buffer[i], GLfloat(GL_POLYGON_TOKEN)) << i;
        EXPECT_EQ(buffer[i + 1], 3.0f) << i;
        if (buffer[i] != GLfloat(GL_POLYGON_TOKEN) || buffer[i + 1] != 3.0f)
            break;
        Triangle t;
        std::copy(&buffer[i + 2], &buffer[i + 23], t.begin());
        triangles.push_back(t);
    }
    return triangles;
}

// Whether two corners of the triangle fall on the same window point: it covers nothing.
bool Degenerate(const Triangle &t) {
    auto same = [&](int a, int b) {
        return t[7 * a] == t[7 * b] && t[7 * a + 1] == t[7 * b + 1] && t[7 * a + 2] == t[7 * b + 2];
    };
    return same(0, 1) || same(1, 2) || same(0, 2);
}

std::vector<Triangle> Covering(const std::vector<Triangle> &triangles) {
    std::vector<Triangle> kept;
    for (const Triangle &t : triangles)
        if (!Degenerate(t))
            kept.push_back(t);
    return kept;
}

void DrawObjectImmediately() {
    const ShapeParams first = {1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f};
    const ShapeParams second = {1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f};
    DrawSupershape(-180, 180, first, -90, 90, second);
}

void CallObjectList() {
    glCallList(ObjectList);
}

TEST_F(ContentGlTest, DisplayListReplaysTheObjectWithItsNormals) {
    BuildObjectList();
    ASSERT_TRUE(glIsList(ObjectList));
    // Lit, so the feedback colours depend on the normals; scaled into the clip volume
    // (the object reaches 1.09 in z), so nothing is clipped.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glScalef(0.5f, 0.5f, 0.5f);
    std::vector<Triangle> listed = Feedback(CallObjectList);
    std::vector<Triangle> immediate = Feedback(DrawObjectImmediately);
    glDisable(GL_LIGHTING);

    // Drawn directly: 22 strips of 90 triangles.
    EXPECT_EQ(immediate.size(), 22u * 90);
    // The driver may join the list's strips with zero-area triangles; the triangles that
    // cover anything are the same, in the same order, with the same lit colours.
    std::vector<Triangle> covering = Covering(immediate);
    EXPECT_EQ(Covering(listed), covering);
    EXPECT_GT(covering.size(), 22u * 80);
    // And the lighting does tell the normals apart.
    std::vector<GLfloat> reds;
    for (const Triangle &t : covering)
        reds.push_back(t[3]);
    EXPECT_NE(*std::min_element(reds.begin(), reds.end()),
              *std::max_element(reds.begin(), reds.end()));
}

} // namespace
