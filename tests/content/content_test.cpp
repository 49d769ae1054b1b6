// The graphics content on the recorded call stream: the font cells the text line picks, the
// object's display list and its arithmetic. The textures are the golden frames' to guard.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Half a unit of the fifth decimal.
constexpr float REF5 = 0.000005f;

// Letters take the cell of their code less 'A'; the marks have cells of their own; every
// character, a space too, steps two units first. Cells are 0.023438 wide in s.
TEST(Content, TextLinePicksEachCharactersCellAndStepsBeforeIt) {
    GlTraceReset();
    DrawTextLine("AZ !.,:?");
    const int cells[] = {0, 25, 34, 26, 27, 29, 33};
    std::vector<double> lefts, rights;
    for (const GlCall &call : GlTraceCalls())
        if (call.name == "glTexCoord2f" && call.args[1] == 0.0)
            (lefts.size() == rights.size() ? lefts : rights).push_back(call.args[0]);
    ASSERT_EQ(lefts.size(), 7u);
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(float(lefts[i]), float(cells[i]) * 0.023438f) << "glyph " << i;
        EXPECT_EQ(float(rights[i]), float(cells[i]) * 0.023438f + 0.023438f) << "glyph " << i;
    }
    EXPECT_EQ(GlTraceCount("glTranslatef"), 8u);
    EXPECT_EQ(GlTraceFind("glTranslatef")->args, (std::vector<double>{2, 0, 0}));
}

// 23 latitude rows of 46 samples make 22 strips of 92 vertices, lower and upper vertex
// alternating. A normal is a unit vector, or zero until the first is computed; the upper
// vertices of the last three strips have no triangle above them and keep their lower vertex's
// normal. A degenerate triangle (the object has none) gives a zero normal.
TEST(Content, ObjectListHoldsTwentyTwoStripsWithUnitNormals) {
    GlTraceReset();
    BuildObjectList();
    typedef std::array<float, 3> Vec3;
    std::vector<std::vector<std::pair<Vec3, Vec3>>> strips; // (normal, vertex)
    Vec3 normal{};
    for (const GlCall &call : GlTraceCalls()) {
        if (call.name == "glBegin")
            strips.emplace_back();
        if (call.name == "glNormal3f")
            normal = {float(call.args[0]), float(call.args[1]), float(call.args[2])};
        if (call.name == "glVertex3fv")
            strips.back().push_back(
                {normal, {float(call.args[0]), float(call.args[1]), float(call.args[2])}});
    }
    ASSERT_EQ(strips.size(), 22u);
    for (size_t k = 0; k < 22; k++) {
        ASSERT_EQ(strips[k].size(), 92u);
        for (size_t v = 0; v < 92; v++) {
            const Vec3 &n = strips[k][v].first;
            double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (length != 0.0) {
                EXPECT_NEAR(length, 1.0, 1e-6) << k << "," << v;
            }
            if (v % 2 == 1 && k >= 19) {
                EXPECT_EQ(n, strips[k][v - 1].first) << k << "," << v;
            }
        }
    }
    // Strip 18's upper vertex in column 23 takes the triangle from column 22 of its own
    // rows to column 22 of row 20, the lower row of strip 19's upper vertices.
    auto row = [&](size_t r, size_t l) { return strips[r][2 * l].second; };
    Vec3 lower = row(18, 22), upper = row(19, 23), above = row(20, 22), expected;
    TriangleNormal(lower[0], lower[1], lower[2], upper[0], upper[1], upper[2], above[0], above[1],
                   above[2], expected.data());
    EXPECT_EQ(strips[18][2 * 23 + 1].first, expected);
    EXPECT_NE(expected, strips[18][2 * 23].first);

    // Reference points: the bottom pole, latitude -2 at longitude 4, and the last row,
    // latitude 86 (the shift gives 23 rows and the loop stops before 90).
    const struct {
        Vec3 vertex, expected;
    } points[] = {{row(0, 7), {0.0f, 0.0f, -0.97285f}},
                  {row(11, 23), {0.97338f, 0.06807f, -0.03411f}},
                  {strips[21][1].second, {-0.04593f, 0.0f, 0.92251f}}};
    for (const auto &point : points)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(point.vertex[c], point.expected[c], REF5) << point.expected[2];

    float n[3] = {9, 9, 9};
    TriangleNormal(0, 0, 0, 1, 1, 1, 2, 2, 2, n);
    EXPECT_EQ(n[0] + n[1] + n[2], 0.0f) << "a degenerate triangle";
}

// Known values of the object's arithmetic, to 5 decimals, or exact where every step is.
TEST(Content, SuperformulaAndDegToRadGiveTheReferenceValues) {
    const ShapeParams lon = {1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f};
    const ShapeParams lat = {1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f};
    const struct {
        float actual, expected, tolerance;
    } values[] = {
        {Superformula(0.0f, lon.a, lon.b, lon.m, lon.n1, lon.n2, lon.n3), 1.0f, 0.0f},
        {Superformula(DegToRad(180.0f), lon.a, lon.b, lon.m, lon.n1, lon.n2, lon.n3), 0.71205f,
         REF5},
        {Superformula(DegToRad(-90.0f), lat.a, lat.b, lat.m, lat.n1, lat.n2, lat.n3), 0.97285f,
         REF5},
        {Superformula(0.0f, 2.0f, 1.0f, 4.0f, 1.0f, 2.0f, 1.0f), 4.0f, 0.0f}, // a divides cos
        {Superformula(DegToRad(90.0f), 1.0f, 4.0f, 4.0f, 1.0f, 2.0f, 1.0f), 4.0f, 1e-6f}, // b, sin
        {DegToRad(86.0f), 1.50098324f, 0.0f},  // only the quotient rounded: not 1.50098312f
        {DegToRad(44.0f), 0.767944872f, 0.0f}, // pi / 180 not rounded first: not 0.767944932f
    };
    for (const auto &value : values)
        EXPECT_NEAR(value.actual, value.expected, value.tolerance) << value.expected;
}

} // namespace
