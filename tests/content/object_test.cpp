// The procedural object, checked on the call stream its display list is built from.
#include "content/content.h"
#include "tests/support/gl_trace.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {

// Reference values of the object are known to 5 decimals (normals and bounds to 4); a
// value matches when it lies within half a unit of the last printed digit.
constexpr float REF5 = 0.000005f;
constexpr float REF4 = 0.00005f;

constexpr ShapeParams LONGITUDE = {1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f};
constexpr ShapeParams LATITUDE = {1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f};

constexpr size_t ROWS = 23, COLS = 46, STRIPS = 22;

typedef std::array<float, 3> Vec3;

struct StripVertex {
    Vec3 normal, vertex;
};

// The object as the list received it: strips of (normal, vertex) pairs.
struct RecordedObject {
    std::vector<GlCall> calls;
    std::vector<std::vector<StripVertex>> strips;
    Vec3 grid[ROWS][COLS]; // rebuilt from the strips: lower rows, then the last upper row
};

// Builds the list under the recorder and splits the stream into strips. Fails the test if
// anything other than begin, normal, vertex and end is recorded into the list.
void RecordObject(RecordedObject &object) {
    GlTraceReset();
    BuildObjectList();
    object.calls = GlTraceCalls();
    const std::vector<GlCall> &calls = object.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().Text(), "glGenLists(1)");
    EXPECT_EQ(calls[1].Text(), "glNewList(1,GL_COMPILE)");
    EXPECT_EQ(calls.back().Text(), "glEndList()");
    EXPECT_EQ(ObjectList, 1u);
    Vec3 normal{};
    for (size_t i = 2; i + 1 < calls.size(); i++) {
        const GlCall &c = calls[i];
        ASSERT_EQ(c.list, ObjectList) << c.Text();
        if (c.name == "glBegin") {
            ASSERT_EQ(c.Text(), "glBegin(GL_TRIANGLE_STRIP)");
            object.strips.emplace_back();
        } else if (c.name == "glNormal3f") {
            normal = {c.F(0), c.F(1), c.F(2)};
        } else if (c.name == "glVertex3fv") {
            ASSERT_FALSE(object.strips.empty());
            ASSERT_EQ(calls[i - 1].name, "glNormal3f") << "every vertex comes with its normal";
            object.strips.back().push_back({normal, {c.V(0)[0], c.V(0)[1], c.V(0)[2]}});
        } else {
            ASSERT_EQ(c.Text(), "glEnd()");
        }
    }
    ASSERT_EQ(object.strips.size(), STRIPS);
    for (size_t k = 0; k < STRIPS; k++) {
        ASSERT_EQ(object.strips[k].size(), 2 * COLS) << "strip " << k;
        for (size_t l = 0; l < COLS; l++) {
            object.grid[k][l] = object.strips[k][2 * l].vertex;
            object.grid[k + 1][l] = object.strips[k][2 * l + 1].vertex;
        }
    }
}

Vec3 Normal(const Vec3 &p1, const Vec3 &p2, const Vec3 &p3) {
    Vec3 n;
    TriangleNormal(p1[0], p1[1], p1[2], p2[0], p2[1], p2[2], p3[0], p3[1], p3[2], n.data());
    return n;
}

void ExpectNear(const Vec3 &actual, const Vec3 &expected, float tolerance) {
    for (int c = 0; c < 3; c++)
        EXPECT_NEAR(actual[c], expected[c], tolerance) << "component " << c;
}

class ObjectTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        object = new RecordedObject();
        RecordObject(*object);
    }
    static void TearDownTestSuite() { delete object; }
    static RecordedObject *object;
};
RecordedObject *ObjectTest::object;

TEST(SupershapeMath, SuperformulaAtReferenceAngles) {
    // Both curves have a = b = 1, so at angle 0 the sum is exactly 1 and so is its power.
    EXPECT_EQ(Superformula(0.0f, 1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f), 1.0f);
    EXPECT_EQ(Superformula(0.0f, 1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f), 1.0f);
    EXPECT_NEAR(Superformula(DegToRad(180.0f), 1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f), 0.71205f,
                REF5);
    EXPECT_NEAR(Superformula(DegToRad(-90.0f), 1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f), 0.97285f, REF5);
    // The radius depends on |cos| and |sin| only: even in the angle, bit for bit.
    EXPECT_EQ(Superformula(DegToRad(-52.0f), 1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f),
              Superformula(DegToRad(52.0f), 1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f));
    // a divides the cosine: with the sine term gone (angle 0) the radius is
    // (1 / a) ^ (n2 x -1 / n1) = 0.5 ^ (2 x -1) = 4, every step exact in binary.
    EXPECT_EQ(Superformula(0.0f, 2.0f, 1.0f, 4.0f, 1.0f, 2.0f, 1.0f), 4.0f);
    // b divides the sine: at m x angle / 4 = pi / 2 the cosine term is 0.0000000437^2, far
    // below the sine term's float step, so the radius is (1 / b) ^ -1 = b up to rounding.
    EXPECT_FLOAT_EQ(Superformula(DegToRad(90.0f), 1.0f, 4.0f, 4.0f, 1.0f, 2.0f, 1.0f), 4.0f);
}

TEST(SupershapeMath, DegToRadRoundsOnlyTheQuotient) {
    EXPECT_EQ(DegToRad(0.0f), 0.0f);
    EXPECT_EQ(DegToRad(180.0f), 3.14159274f);
    EXPECT_EQ(DegToRad(-90.0f), -DegToRad(90.0f));
    // 86 x 3.14159274 / 180 = 1.5009831985..., rounded once: 1.50098324f. Rounding the
    // product to single first would give the float below it, 1.50098312f.
    EXPECT_EQ(DegToRad(86.0f), 1.50098324f);
    // 44 x 3.14159274 / 180 = 0.7679448922...: 0.767944872f. Multiplying by a rounded pi / 180
    // would give 0.767944932f.
    EXPECT_EQ(DegToRad(44.0f), 0.767944872f);
}

TEST(SupershapeMath, TriangleNormalIsUnitAndOrientedByTheWinding) {
    Vec3 n = Normal({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(n, (Vec3{0.0f, 0.0f, 1.0f})); // counter-clockwise seen from +z
    n = Normal({0, 0, 0}, {0, 1, 0}, {1, 0, 0});
    EXPECT_EQ(n, (Vec3{0.0f, 0.0f, -1.0f}));
    n = Normal({1, 2, 3}, {4, 6, 3}, {1, 2, 15}); // sides 3-4-5 in x and y, 12 in z
    // (d1 x d2) = (-3,-4,0) x (0,0,-12) = (48,-36,0): length 60.
    EXPECT_FLOAT_EQ(n[0], 0.8f);
    EXPECT_FLOAT_EQ(n[1], -0.6f);
    EXPECT_EQ(n[2], 0.0f);
    EXPECT_EQ(VectorLength(3.0f, 4.0f, 12.0f), 13.0f);
}

TEST(SupershapeMath, DegenerateTriangleGivesZeroWithoutDivision) {
    // Coincident and collinear points: the cross product is 0 and no NaN may appear.
    EXPECT_EQ(Normal({1, 1, 1}, {1, 1, 1}, {1, 1, 1}), (Vec3{0.0f, 0.0f, 0.0f}));
    Vec3 n = Normal({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
    for (float c : n)
        EXPECT_EQ(c, 0.0f);
}

TEST_F(ObjectTest, ListHoldsTwentyTwoStripsOfNinetyTwoVertices) {
    // RecordObject has checked the list's shape; count the stream once more as a whole.
    std::map<std::string, size_t> count;
    for (const GlCall &c : object->calls)
        count[c.name]++;
    EXPECT_EQ(count["glVertex3fv"], 2024u);
    EXPECT_EQ(count["glNormal3f"], 2024u);
    EXPECT_EQ(count["glBegin"], 22u);
    EXPECT_EQ(count["glEnd"], 22u);
    EXPECT_EQ(object->calls.size(), 2024u * 2 + 22 * 2 + 3);
    // Consecutive strips share their row: the upper vertices of one are the lower of the next.
    for (size_t k = 0; k + 1 < STRIPS; k++)
        for (size_t l = 0; l < COLS; l++)
            ASSERT_EQ(object->strips[k][2 * l + 1].vertex, object->strips[k + 1][2 * l].vertex)
                << k << "," << l;
}

TEST_F(ObjectTest, GridMatchesTheReferencePoints) {
    const Vec3(&g)[ROWS][COLS] = object->grid;
    // Latitude -90: the bottom closes in a point (x and y only single-precision dust).
    for (size_t l = 0; l < COLS; l++) {
        EXPECT_LT(std::fabs(g[0][l][0]), 0.000001f) << l;
        EXPECT_LT(std::fabs(g[0][l][1]), 0.000001f) << l;
        EXPECT_NEAR(g[0][l][2], -0.97285f, REF5) << l;
    }
    ExpectNear(g[11][23], {0.97338f, 0.06807f, -0.03411f}, REF5); // latitude -2, longitude 4
    // Mirror image in y, exactly: the longitude radius is even, the sine odd.
    EXPECT_EQ(g[11][22], (Vec3{g[11][23][0], -g[11][23][1], g[11][23][2]}));
    ExpectNear(g[11][0], {-0.69554f, 0.0f, -0.03411f}, REF5);
    ExpectNear(g[11][45], {-0.69554f, 0.0f, -0.03411f}, REF5);
    // The last row is latitude 86: the shift gives 23 rows and the loop stops before 90.
    ExpectNear(g[22][0], {-0.04593f, 0.0f, 0.92251f}, REF5);
    for (size_t l = 0; l < COLS; l++)
        EXPECT_NEAR(g[22][l][2], 0.92251f, REF5) << l;
}

TEST_F(ObjectTest, BoundsMatchTheReference) {
    Vec3 lo = object->grid[0][0], hi = lo;
    for (const auto &row : object->grid)
        for (const Vec3 &v : row)
            for (int c = 0; c < 3; c++) {
                lo[c] = std::min(lo[c], v[c]);
                hi[c] = std::max(hi[c], v[c]);
            }
    ExpectNear(lo, {-0.7643f, -0.9267f, -1.0905f}, REF4);
    ExpectNear(hi, {1.0649f, 0.9267f, 1.0836f}, REF4);
}

TEST_F(ObjectTest, NormalsAtTheReferenceColumn) {
    // Strip 11, column 23: lower from (10,22) (11,23) (12,22), upper from (11,22) (12,23) (13,22).
    ExpectNear(object->strips[11][46].normal, {0.8960f, -0.4385f, -0.0702f}, REF4);
    ExpectNear(object->strips[11][47].normal, {0.9597f, 0.2036f, 0.1935f}, REF4);
}

TEST_F(ObjectTest, FirstVerticesOfTheList) {
    const Vec3(&g)[ROWS][COLS] = object->grid;
    EXPECT_EQ(object->strips[0][0].vertex, g[0][0]);
    EXPECT_EQ(object->strips[0][0].normal, (Vec3{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(object->strips[0][1].vertex, g[1][0]);
    // Column 0 pairs with column 44, the one before the seam column 45.
    EXPECT_EQ(object->strips[0][1].normal, Normal(g[0][44], g[1][0], g[2][44]));
    EXPECT_NE(object->strips[0][1].normal, Normal(g[0][45], g[1][0], g[2][45]));
}

// Every normal, against the triangle the strip rules name for it. A vertex whose triangle
// is not formed repeats the normal sent just before it; this pins the 1,840 computed ones
// (46 in strip 0, 92 in strips 1 to 18, 46 in each of strips 19 to 21).
TEST_F(ObjectTest, EveryNormalComesFromItsTriangleOrRepeatsThePreviousOne) {
    const Vec3(&g)[ROWS][COLS] = object->grid;
    Vec3 previous{0.0f, 0.0f, 0.0f};
    size_t computed = 0;
    for (size_t k = 0; k < STRIPS; k++) {
        for (size_t l = 0; l < COLS; l++) {
            size_t lp = l == 0 ? COLS - 2 : l - 1;
            const StripVertex &lower = object->strips[k][2 * l];
            const StripVertex &upper = object->strips[k][2 * l + 1];
            if (k >= 1) {
                ASSERT_EQ(lower.normal, Normal(g[k - 1][lp], g[k][l], g[k + 1][lp]))
                    << k << "," << l;
                computed++;
            } else {
                ASSERT_EQ(lower.normal, previous) << k << "," << l;
            }
            if (k + 2 < ROWS - 2) {
                ASSERT_EQ(upper.normal, Normal(g[k][lp], g[k + 1][l], g[k + 2][lp]))
                    << k << "," << l;
                computed++;
            } else {
                ASSERT_EQ(upper.normal, lower.normal) << k << "," << l;
            }
            previous = upper.normal;
        }
    }
    EXPECT_EQ(computed, 1840u);
}

TEST(Supershape, SizesComeFromTheArithmeticShift) {
    // Spans of 15 and 16 degrees: 15 >> 3 = 1 gives 2 rows (latitudes 0 and 8), where
    // rounding 15 / 8 would give 3; 16 >> 3 = 2 gives 3 columns (0, 8, 16).
    GlTraceReset();
    DrawSupershape(0, 16, LONGITUDE, 0, 15, LATITUDE);
    EXPECT_EQ(GlTraceCount("glBegin"), 1u);
    EXPECT_EQ(GlTraceCount("glVertex3fv"), 6u);
    // A span below 8 degrees leaves a single row: no strip at all.
    GlTraceReset();
    DrawSupershape(-180, 180, LONGITUDE, 0, 7, LATITUDE);
    EXPECT_TRUE(GlTraceCalls().empty());
}

} // namespace
