// The font strip (first image of the block) and its hand-edited source assets/font.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/assets/asset_files.h"

using namespace assets_test;

namespace {

using Cell = std::vector<std::string>; // kCellH rows of kCellW '#' or '.'

// Reads font.txt: comment lines start with "# ", a line "cell N C" opens cell N of
// character C, and the next 16 lines are its rows. Fails the test on any other shape.
std::vector<Cell> ParseFontFile(const std::string &text) {
    std::vector<Cell> cells;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.rfind("cell ", 0) == 0) {
            std::string expected = "cell " + std::to_string(cells.size()) + " " +
                                   std::string(1, kCellChars[cells.size()]);
            EXPECT_EQ(line, expected) << "line " << number;
            cells.emplace_back();
        } else if (!line.empty() && line.find_first_not_of("#.") == std::string::npos) {
            EXPECT_FALSE(cells.empty() || cells.back().size() == kCellH)
                << "line " << number << " lies outside a cell";
            EXPECT_EQ(line.size(), std::size_t(kCellW)) << "line " << number;
            if (!cells.empty())
                cells.back().push_back(line);
        } else {
            EXPECT_TRUE(line.empty() || line.rfind("# ", 0) == 0) << "line " << number;
        }
    }
    return cells;
}

} // namespace

TEST(FontTest, FontFileRegeneratesTheStripExactly) {
    Bytes block = ReadAsset("images.raw");
    ASSERT_EQ(block.size(), kBlockBytes);
    Bytes file = ReadAsset("font.txt");
    ASSERT_FALSE(file.empty());
    std::vector<Cell> cells = ParseFontFile(std::string(file.begin(), file.end()));
    ASSERT_EQ(cells.size(), std::size_t(kCells));
    Bytes expected(kFont.Bytes(), 0);
    for (int n = 0; n < kCells; ++n) {
        ASSERT_EQ(cells[n].size(), std::size_t(kCellH)) << "cell " << n;
        for (int y = 0; y < kCellH; ++y)
            for (int x = 0; x < kCellW; ++x)
                if (cells[n][y][x] == '#')
                    expected[std::size_t(y) * kFont.width + n * kCellW + x] = 255;
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block.begin()));
}
