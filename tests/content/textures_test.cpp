// The texture upload, on the recorded call stream.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include "assets/assets.h"

#include <gtest/gtest.h>

namespace {

TEST(Textures, ImageBlockHoldsTheSixImagesBackToBack) {
    // 8,192 + 49,152 + 65,536 + 32,768 + 32,768 + 393,216
    EXPECT_EQ(ImageBlockEnd - ImageBlock, 581632);
    EXPECT_EQ(IMAGE_BLOCK_BYTES, 581632u);
}

TEST(Textures, UploadBuildsSixMipmappedTexturesInTableOrder) {
    GlTraceReset();
    UploadTextures();
    // The pointer offsets catch an image placed even one byte off.
    EXPECT_TRUE(GlStreamEquals(
        GlTraceTexts(),
        {
            "glPixelStorei(GL_UNPACK_ALIGNMENT,1)",
            "glGenTextures(1,{1})",
            "glBindTexture(GL_TEXTURE_2D,1)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_ALPHA,512,16,GL_ALPHA,GL_UNSIGNED_BYTE,ImageBlock+"
            "0)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_NEAREST)",
            "glGenTextures(1,{2})",
            "glBindTexture(GL_TEXTURE_2D,2)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_RGB,128,128,GL_RGB,GL_UNSIGNED_BYTE,ImageBlock+"
            "8192)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_LINEAR)",
            "glGenTextures(1,{3})",
            "glBindTexture(GL_TEXTURE_2D,3)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_LUMINANCE,256,256,GL_LUMINANCE,GL_UNSIGNED_BYTE,"
            "ImageBlock+57344)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_LINEAR)",
            "glGenTextures(1,{4})",
            "glBindTexture(GL_TEXTURE_2D,4)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_LUMINANCE,512,64,GL_LUMINANCE,GL_UNSIGNED_BYTE,"
            "ImageBlock+122880)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_LINEAR)",
            "glGenTextures(1,{5})",
            "glBindTexture(GL_TEXTURE_2D,5)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_LUMINANCE,512,64,GL_LUMINANCE,GL_UNSIGNED_BYTE,"
            "ImageBlock+155648)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_LINEAR)",
            "glGenTextures(1,{6})",
            "glBindTexture(GL_TEXTURE_2D,6)",
            "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_RGB,256,512,GL_RGB,GL_UNSIGNED_BYTE,"
            "ImageBlock+188416)",
            "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MAG_FILTER,GL_LINEAR)",
        }));
    // Each name lands in its own global; the last stays bound.
    EXPECT_EQ(TexFont, 1u);
    EXPECT_EQ(TexRing, 2u);
    EXPECT_EQ(TexPlate, 3u);
    EXPECT_EQ(TexTitleA, 4u);
    EXPECT_EQ(TexTitleB, 5u);
    EXPECT_EQ(TexSprite, 6u);
    EXPECT_EQ(GlTraceBoundTexture(), TexSprite);
    // The pixels go straight from the block: the very address, not a copy.
    EXPECT_EQ(GlTraceCalls()[3].P(6), ImageBlock);
    EXPECT_EQ(GlTraceCalls().back().I(2), GL_LINEAR);
}

} // namespace
