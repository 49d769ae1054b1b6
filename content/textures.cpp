// The texture set: six mipmapped textures built from the embedded image block.
#include "content/content.h"

#include "assets/assets.h"

#include <GL/glu.h>

GLuint TexFont, TexRing, TexPlate, TexTitleA, TexTitleB, TexSprite;

namespace {

// One raw image of the block: where it starts, its size in texels, its pixel format (also
// the internal format) and its magnification filter.
struct ImageEntry {
    GLuint *name;
    uint32_t offset;
    GLsizei width, height;
    GLenum format;
    GLint magFilter;
};

constexpr uint32_t FONT_OFFSET = 0;         // 512 x 16 x 1 = 8,192 bytes
constexpr uint32_t RING_OFFSET = 8192;      // 128 x 128 x 3 = 49,152 bytes
constexpr uint32_t PLATE_OFFSET = 57344;    // 256 x 256 x 1 = 65,536 bytes
constexpr uint32_t TITLE_A_OFFSET = 122880; // 512 x 64 x 1 = 32,768 bytes
constexpr uint32_t TITLE_B_OFFSET = 155648; // 512 x 64 x 1 = 32,768 bytes
constexpr uint32_t SPRITE_OFFSET = 188416;  // 256 x 512 x 3 = 393,216 bytes

// In upload order; the last one stays bound.
constexpr ImageEntry IMAGE_TABLE[] = {
    {&TexFont, FONT_OFFSET, 512, 16, GL_ALPHA, GL_NEAREST},
    {&TexRing, RING_OFFSET, 128, 128, GL_RGB, GL_LINEAR},
    {&TexPlate, PLATE_OFFSET, 256, 256, GL_LUMINANCE, GL_LINEAR},
    {&TexTitleA, TITLE_A_OFFSET, 512, 64, GL_LUMINANCE, GL_LINEAR},
    {&TexTitleB, TITLE_B_OFFSET, 512, 64, GL_LUMINANCE, GL_LINEAR},
    {&TexSprite, SPRITE_OFFSET, 256, 512, GL_RGB, GL_LINEAR},
};

constexpr uint32_t BytesPerTexel(GLenum format) {
    return format == GL_RGB ? 3 : 1;
}

constexpr bool ImagesBackToBack() {
    uint32_t end = 0;
    for (const ImageEntry &image : IMAGE_TABLE) {
        if (image.offset != end)
            return false;
        end += uint32_t(image.width * image.height) * BytesPerTexel(image.format);
    }
    return end == IMAGE_BLOCK_BYTES;
}
static_assert(ImagesBackToBack(), "each image must start where the previous one ends");

} // namespace

void UploadTextures() {
    // Rows of the raw images are not padded.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (const ImageEntry &image : IMAGE_TABLE) {
        glGenTextures(1, image.name);
        glBindTexture(GL_TEXTURE_2D, *image.name);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(image.format), image.width, image.height,
                          image.format, GL_UNSIGNED_BYTE, ImageBlock + image.offset);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, image.magFilter);
    }
}
