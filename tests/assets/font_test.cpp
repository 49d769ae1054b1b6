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

class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        block = ReadAsset("images.raw");
        ASSERT_EQ(block.size(), kBlockBytes);
        strip = ImageOf(block, kFont);
    }
    bool Ink(int x, int y) const { return strip.At(x, y)[0] != 0; }
    bool CellInk(int cell, int x, int y) const { return Ink(cell * kCellW + x, y); }
    // Maximal runs of rows that hold ink in a cell, as [first, last] pairs.
    std::vector<std::pair<int, int>> RowRuns(int cell) const {
        std::vector<std::pair<int, int>> runs;
        for (int y = 0; y < kCellH; ++y) {
            bool any = false;
            for (int x = 0; x < kCellW; ++x)
                any |= CellInk(cell, x, y);
            if (!any)
                continue;
            if (!runs.empty() && runs.back().second == y - 1)
                runs.back().second = y;
            else
                runs.push_back({y, y});
        }
        return runs;
    }
    int WidestRow(int cell, int from, int to) const {
        int widest = 0;
        for (int y = from; y <= to; ++y) {
            int n = 0;
            for (int x = 0; x < kCellW; ++x)
                n += CellInk(cell, x, y);
            widest = std::max(widest, n);
        }
        return widest;
    }
    double MeanColumn(int cell, int from, int to) const {
        double sum = 0;
        int n = 0;
        for (int y = from; y <= to; ++y)
            for (int x = 0; x < kCellW; ++x)
                if (CellInk(cell, x, y)) {
                    sum += x;
                    ++n;
                }
        return n ? sum / n : -1;
    }
    static int CellFor(char c) { return int(std::string(kCellChars).find(c)); }

    Bytes block;
    Image strip{nullptr, kFont};
};

} // namespace

TEST_F(FontTest, AlphaIsInkOrEmptyAndNothingPastColumn432) {
    const int kLastUsableColumn = 432; // the hash sign may reach one column into cell 36
    for (int y = 0; y < strip.H(); ++y)
        for (int x = 0; x < strip.W(); ++x) {
            unsigned char a = strip.At(x, y)[0];
            ASSERT_TRUE(a == 0 || a == 255) << x << "," << y;
            if (x > kLastUsableColumn) {
                ASSERT_EQ(a, 0) << x << "," << y;
            }
        }
}

// Cell n starts at column 12 n: every cell holds a glyph and keeps its last column free
// as letter spacing, so a glyph shifted by a column runs into that gap or its neighbour.
TEST_F(FontTest, GlyphsSitInTheirTwelveColumnCells) {
    bool a_left = false;
    for (int y = 0; y < kCellH; ++y)
        a_left |= CellInk(0, 0, y);
    EXPECT_TRUE(a_left) << "A must begin at column 0";
    for (int cell = 0; cell < kCells; ++cell) {
        EXPECT_FALSE(RowRuns(cell).empty()) << "cell " << cell << " is empty";
        for (int y = 0; y < kCellH; ++y)
            EXPECT_FALSE(CellInk(cell, kCellW - 1, y)) << "cell " << cell << " row " << y;
    }
    // the exclamation mark is cell 34, from column 408: a stem, a gap and a dot
    ASSERT_EQ(CellFor('!'), 34);
    auto runs = RowRuns(34);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(runs[0].second - runs[0].first, 3 * (runs[1].second - runs[1].first));
    EXPECT_LE(WidestRow(34, 0, kCellH - 1), 3);
    bool at_408 = false;
    for (int x = 408; x < 420; ++x)
        for (int y = 0; y < kCellH; ++y)
            at_408 |= Ink(x, y);
    EXPECT_TRUE(at_408);
}

TEST_F(FontTest, CapitalsShareOneBaselineAndHeight) {
    const int kCapTop = 2, kBaseline = 13;
    for (int cell = 0; cell < 26; ++cell) {
        auto runs = RowRuns(cell);
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs.front().first, kCapTop) << kCellChars[cell];
        EXPECT_EQ(runs.back().second, kBaseline) << kCellChars[cell];
        EXPECT_EQ(runs.size(), 1u) << kCellChars[cell] << " falls apart";
    }
}

// The marks that are easy to confuse at 12 x 16 keep distinct shapes: dots sit on the
// baseline (row 13), tails descend below it, the dash floats mid-height.
TEST_F(FontTest, PunctuationShapesAreDistinct) {
    const int kBaseline = 13, kMidTop = 5, kMidBottom = 10;
    auto stop = RowRuns(CellFor('.'));
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].second, kBaseline);
    EXPECT_GE(stop[0].first, kBaseline - 3);

    auto comma = RowRuns(CellFor(','));
    ASSERT_EQ(comma.size(), 1u);
    EXPECT_GT(comma[0].second, kBaseline);
    EXPECT_GE(comma[0].first, kBaseline - 3);

    auto colon = RowRuns(CellFor(':'));
    ASSERT_EQ(colon.size(), 2u);
    EXPECT_EQ(colon[1].second, kBaseline);

    auto semicolon = RowRuns(CellFor(';'));
    ASSERT_EQ(semicolon.size(), 2u);
    EXPECT_GT(semicolon[1].second, kBaseline);

    auto dash = RowRuns(CellFor('-'));
    ASSERT_EQ(dash.size(), 1u);
    EXPECT_GE(dash[0].first, kMidTop);
    EXPECT_LE(dash[0].second, kMidBottom);
    EXPECT_GE(WidestRow(CellFor('-'), 0, kCellH - 1), 5);

    auto question = RowRuns(CellFor('?'));
    ASSERT_EQ(question.size(), 2u);
    EXPECT_EQ(question[1].second, kBaseline);
    EXPECT_GT(WidestRow(CellFor('?'), question[0].first, question[0].second), 3);

    // the solidi lean opposite ways: the reverse solidus starts left and ends right
    int back = CellFor('\\'), slash = CellFor('/');
    EXPECT_LT(MeanColumn(back, 0, 6), MeanColumn(back, 9, kCellH - 1));
    EXPECT_GT(MeanColumn(slash, 0, 6), MeanColumn(slash, 9, kCellH - 1));

    // the hash sign has two crossbars wider than its uprights' pair
    int bars = 0, hash = CellFor('#');
    for (int y = 0; y < kCellH; ++y)
        bars += WidestRow(hash, y, y) >= 7;
    EXPECT_GE(bars, 2);
}

TEST_F(FontTest, FontFileRegeneratesTheStripExactly) {
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
