// assets/scroll.txt: the scroller's text, and that the font can draw all of it.
#include <gtest/gtest.h>

#include <string>

#include "tests/assets/asset_files.h"

using namespace assets_test;

TEST(ScrollTextTest, SevenHundredFifteenCharactersFromTheAllowedSet) {
    Bytes text = ReadAsset("scroll.txt");
    ASSERT_EQ(text.size(), 715u); // also rules out a trailing newline
    const std::string allowed = "ABCDEFGHIJKLMNOPRSTUVXYZ !,.:?"; // no Q, no W
    for (std::size_t i = 0; i < text.size(); ++i)
        EXPECT_NE(allowed.find(char(text[i])), std::string::npos)
            << "character " << i << " is code " << int(text[i]);
}

TEST(ScrollTextTest, EveryCharacterHasAnInkedGlyph) {
    Bytes text = ReadAsset("scroll.txt");
    Bytes block = ReadAsset("images.raw");
    ASSERT_EQ(block.size(), kBlockBytes);
    Image font = ImageOf(block, kFont);
    for (unsigned char c : text) {
        int cell = CellOf(char(c));
        if (cell < 0 && c == ' ')
            continue;
        ASSERT_GE(cell, 0) << c;
        ASSERT_LT(cell, kCells) << c;
        bool ink = false;
        for (int y = 0; y < kCellH; ++y)
            for (int x = 0; x < kCellW; ++x)
                ink |= font.At(cell * kCellW + x, y)[0] != 0;
        EXPECT_TRUE(ink) << "no glyph for " << c;
    }
}
