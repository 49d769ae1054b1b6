// Glyph cells and the text line, on the recorded call stream.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include "assets/assets.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// s ranges are given to 6 decimals: half a unit of the last digit. Floats near 1 are
// 6e-8 apart, so this still tells every cell from its neighbour (0.023 apart).
constexpr double REF6 = 0.0000005;
constexpr double CELL = 0.023438;

// The calls of one glyph whose cell spans [u0, u1] in s.
std::vector<std::string> GlyphCalls(const std::string &u0, const std::string &u1) {
    return {
        "glEnable(GL_TEXTURE_2D)",
        "glBindTexture(GL_TEXTURE_2D,11)",
        "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_S,GL_CLAMP)",
        "glTexParameteri(GL_TEXTURE_2D,GL_TEXTURE_WRAP_T,GL_CLAMP)",
        "glPushMatrix()",
        "glBegin(GL_QUADS)",
        "glTexCoord2f(" + u0 + ",0)",
        "glVertex3f(-1,1,0)",
        "glTexCoord2f(" + u1 + ",0)",
        "glVertex3f(1,1,0)",
        "glTexCoord2f(" + u1 + ",1)",
        "glVertex3f(1,-1,0)",
        "glTexCoord2f(" + u0 + ",1)",
        "glVertex3f(-1,-1,0)",
        "glEnd()",
        "glPopMatrix()",
        "glDisable(GL_TEXTURE_2D)",
    };
}

// The s range of every glyph drawn, in order.
struct Cell {
    float u0, u1;
};
std::vector<Cell> DrawnCells() {
    std::vector<Cell> cells;
    const std::vector<GlCall> &calls = GlTraceCalls();
    for (size_t i = 0; i + 4 < calls.size(); i++)
        if (calls[i].Text() == "glBegin(GL_QUADS)")
            cells.push_back({calls[i + 1].F(0), calls[i + 3].F(0)});
    return cells;
}

// The cell of the single glyph drawn for `text`.
Cell OnlyCell(const char *text) {
    GlTraceReset();
    DrawTextLine(text);
    std::vector<Cell> cells = DrawnCells();
    EXPECT_EQ(cells.size(), 1u) << text;
    return cells.empty() ? Cell{NAN, NAN} : cells[0];
}

class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GlTraceReset();
        TexFont = 11, TexRing = 12, TexPlate = 13, TexTitleA = 14, TexTitleB = 15, TexSprite = 16;
    }
};

TEST_F(FontTest, TextLineStepsTwoUnitsBeforeEveryCharacterSpacesIncluded) {
    DrawTextLine("A B");
    std::vector<std::string> expected = {"glTranslatef(2,0,0)"};
    std::vector<std::string> a = GlyphCalls("0", "0.023438");
    expected.insert(expected.end(), a.begin(), a.end());
    expected.push_back("glTranslatef(2,0,0)"); // the space: a step, nothing drawn
    expected.push_back("glTranslatef(2,0,0)");
    std::vector<std::string> b = GlyphCalls("0.023438", "0.046876");
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_TRUE(GlStreamEquals(GlTraceTexts(), expected));
    // Texturing is off after the line; the matrix is left translated (no pop of the steps).
    EXPECT_FALSE(GlTraceEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GlTraceBoundTexture(), 11u);
    EXPECT_EQ(GlTraceMatrixDepth(GL_MODELVIEW), 1);
}

TEST_F(FontTest, EmptyLineDrawsNothing) {
    DrawTextLine("");
    EXPECT_TRUE(GlTraceCalls().empty());
}

TEST_F(FontTest, MarksUseTheirOwnCells) {
    struct {
        const char *text;
        double u0, u1;
    } marks[] = {
        {".", 0.609388, 0.632826}, {",", 0.632826, 0.656264}, {":", 0.679702, 0.703140},
        {"?", 0.773454, 0.796892}, {"!", 0.796892, 0.820330},
    };
    for (const auto &mark : marks) {
        Cell cell = OnlyCell(mark.text);
        EXPECT_NEAR(cell.u0, mark.u0, REF6) << mark.text;
        EXPECT_NEAR(cell.u1, mark.u1, REF6) << mark.text;
    }
}

TEST_F(FontTest, OtherCodesTakeTheirOwnCellAsASignedByte) {
    struct {
        const char *text;
        int cell;
    } codes[] = {
        {"A", 0},       {"Q", 16},     {"Z", 25},     // Q never occurs in the scroll text
        {"a", 32},      {"f", 37},                    // not folded to capitals; 37 is empty
        {"0", -17},     {"#", -30},    {"\xC0", 127}, // below 65: negative cells
        {"\xC1", -128}, {"\xFF", -66},                // 193 and above wrap to negative cells
    };
    for (const auto &code : codes) {
        Cell cell = OnlyCell(code.text);
        EXPECT_NEAR(cell.u0, code.cell * CELL, REF6) << int(uint8_t(code.text[0]));
        EXPECT_NEAR(cell.u1, code.cell * CELL + CELL, REF6) << int(uint8_t(code.text[0]));
    }
    Cell zero = OnlyCell("0");
    EXPECT_NEAR(zero.u0, -0.398446, REF6);
    EXPECT_NEAR(zero.u1, -0.375008, REF6);
}

TEST_F(FontTest, ScrollTextTakesOneStepPerCharacterAndOneQuadPerNonSpace) {
    size_t length = std::strlen(ScrollText);
    size_t spaces = 0;
    for (const char *c = ScrollText; *c; c++)
        spaces += *c == ' ';
    DrawTextLine(ScrollText);
    EXPECT_EQ(GlTraceCount("glTranslatef"), length);
    EXPECT_EQ(GlTraceCount("glBegin"), length - spaces);
    EXPECT_EQ(GlTraceCount("glPushMatrix"), GlTraceCount("glPopMatrix"));
}

} // namespace
