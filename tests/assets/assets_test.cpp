// The committed assets, their embedded copies, and the properties the show relies on.
#include "assets/assets.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace {

// The font strip: the first image of the block, 512 x 16 alpha texels; cells of 12 x 16.
constexpr int STRIP_WIDTH = 512, CELL_WIDTH = 12, CELL_HEIGHT = 16;
constexpr char CELL_CHARS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ.,;:\\/-?!#";

std::string ReadAsset(const char *name) {
    std::ifstream in(std::string(TOLVMARKA_ASSET_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Assets, EmbeddedCopiesAreTheCommittedFiles) {
    const char *scroll = ScrollText;
    struct Embedded {
        const char *file;
        const void *begin, *end;
        size_t size; // that the show's layout and timing are built on; 0: any
    };
    const Embedded embedded[] = {
        {"images.raw", ImageBlock, ImageBlockEnd, 581632},
        {"tolvmarka.xm", ModuleImage, ModuleImageEnd, 0},
        {"scroll.txt", scroll, scroll + strlen(scroll), 715}, // NUL-terminated
    };
    for (const Embedded &e : embedded) {
        std::string copy(static_cast<const char *>(e.begin), static_cast<const char *>(e.end));
        EXPECT_TRUE(copy == ReadAsset(e.file)) << e.file;
        EXPECT_TRUE(e.size == 0 || copy.size() == e.size) << e.file << ": " << copy.size();
    }
}

// Capitals without Q and W, the space and five marks, each but the space with an inked glyph.
TEST(Assets, ScrollTextUsesOnlyInkedGlyphs) {
    for (char c : ReadAsset("scroll.txt")) {
        ASSERT_NE(strchr("ABCDEFGHIJKLMNOPRSTUVXYZ !,.:?", c), nullptr) << "code " << int(c);
        size_t cell = size_t(strchr(CELL_CHARS, c) - CELL_CHARS);
        bool ink = c == ' ';
        for (int texel = 0; !ink && texel < CELL_WIDTH * CELL_HEIGHT; texel++)
            ink = ImageBlock[texel / CELL_WIDTH * STRIP_WIDTH + cell * CELL_WIDTH +
                             texel % CELL_WIDTH] != 0;
        ASSERT_TRUE(ink) << "no glyph for " << c;
    }
}

// assets/font.txt, hand-edited: "# " comments, and for each cell a line "cell N C" and its
// 16 rows of 12 '#' (ink) or '.'; it regenerates the strip exactly.
TEST(Assets, FontFileRegeneratesTheStrip) {
    std::string strip(size_t(STRIP_WIDTH) * CELL_HEIGHT, '\0'), line;
    std::istringstream in(ReadAsset("font.txt"));
    int cells = 0, row = CELL_HEIGHT;
    for (int number = 1; std::getline(in, line); number++) {
        if (line.rfind("cell ", 0) == 0) {
            EXPECT_EQ(row, CELL_HEIGHT) << "line " << number << ": the cell before is short";
            EXPECT_EQ(line, "cell " + std::to_string(cells) + " " + CELL_CHARS[cells]) << number;
            cells++;
            row = 0;
        } else if (!line.empty() && line.find_first_not_of("#.") == std::string::npos) {
            ASSERT_TRUE(cells > 0 && row < CELL_HEIGHT && line.size() == CELL_WIDTH) << number;
            for (int x = 0; x < CELL_WIDTH; x++)
                strip[size_t(row) * STRIP_WIDTH + (cells - 1) * CELL_WIDTH + x] =
                    line[x] == '#' ? '\xff' : '\0';
            row++;
        } else {
            EXPECT_TRUE(line.empty() || line.rfind("# ", 0) == 0) << "line " << number;
        }
    }
    EXPECT_EQ(cells, int(sizeof CELL_CHARS) - 1);
    EXPECT_EQ(row, CELL_HEIGHT);
    EXPECT_TRUE(memcmp(strip.data(), ImageBlock, strip.size()) == 0);
}

} // namespace
