// The procedural object: a supershape computed once in single precision and compiled into
// a display list with its normals.
#include "content/content.h"

#include "runtime/numbers.h"

#include <cmath>
#include <cstdlib>

GLuint ObjectList;

namespace {

constexpr float PI_F = 3.14159274f; // the float nearest to pi
constexpr int32_t STEP_SHIFT = 3;   // samples every 8 degrees
constexpr int32_t STEP_DEGREES = 1 << STEP_SHIFT;

// The production's object: a longitude curve over -180..180 and a latitude curve over
// -90..90. The constants are float literals as written (m = 0.667, not two thirds).
constexpr int32_t OBJECT_LON_START = -180, OBJECT_LON_END = 180;
constexpr int32_t OBJECT_LAT_START = -90, OBJECT_LAT_END = 90;
constexpr ShapeParams OBJECT_LONGITUDE = {1.0f, 1.0f, 0.667f, 0.2f, 1.7f, 1.8f};
constexpr ShapeParams OBJECT_LATITUDE = {1.0f, 1.0f, 7.8f, 0.2f, 2.5f, 1.7f};

float Radius(float angle, const ShapeParams &p) {
    return Superformula(angle, p.a, p.b, p.m, p.n1, p.n2, p.n3);
}

} // namespace

// Each step below keeps its intermediates wide (double) and rounds its result to single
// when it is stored, as the object's numbers were first computed.

float DegToRad(float degrees) {
    // The product is exact in double; only the quotient is rounded.
    return float(double(degrees) * double(PI_F) / 180.0);
}

float Superformula(float angle, float a, float b, float m, float n1, float n2, float n3) {
    float e = float(-1.0 / double(n1));
    double t = double(m) / 4.0 * double(angle);
    float u = float(std::fabs(std::cos(t) / double(a)));
    float p = PowF(u, n2);
    float v = float(std::fabs(std::sin(t) / double(b)));
    float q = PowF(v, n3);
    float s = p + q;
    return PowF(s, e);
}

float VectorLength(float x, float y, float z) {
    return float(std::sqrt(double(x) * x + double(y) * y + double(z) * z));
}

void TriangleNormal(float p1x, float p1y, float p1z, float p2x, float p2y, float p2z, float p3x,
                    float p3y, float p3z, float normal[3]) {
    float d1x = p1x - p2x, d1y = p1y - p2y, d1z = p1z - p2z;
    float d2x = p1x - p3x, d2y = p1y - p3y, d2z = p1z - p3z;
    float n[3] = {float(double(d1y) * d2z - double(d1z) * d2y),
                  float(double(d1z) * d2x - double(d1x) * d2z),
                  float(double(d1x) * d2y - double(d1y) * d2x)};
    float len = VectorLength(n[0], n[1], n[2]);
    // A zero component is never divided, so a degenerate triangle gives (0, 0, 0).
    for (int c = 0; c < 3; c++)
        normal[c] = n[c] != 0.0f ? n[c] / len : 0.0f;
}

void DrawSupershape(int32_t lonStart, int32_t lonEnd, const ShapeParams &first, int32_t latStart,
                    int32_t latEnd, const ShapeParams &second) {
    int32_t rows = ((latEnd - latStart) >> STEP_SHIFT) + 1;
    int32_t cols = ((lonEnd - lonStart) >> STEP_SHIFT) + 1;
    float(*grid)[3] =
        static_cast<float(*)[3]>(std::calloc(size_t(rows) * size_t(cols), sizeof(float[3])));

    int32_t i = 0, j = 0;
    for (int32_t lat = latStart; lat <= latEnd; lat += STEP_DEGREES) {
        j = 0;
        for (int32_t lon = lonStart; lon <= lonEnd; lon += STEP_DEGREES) {
            float theta = DegToRad(float(lon));
            float phi = DegToRad(float(lat));
            double r1 = Radius(theta, first);
            double r2 = Radius(phi, second);
            float *vertex = grid[i * cols + j];
            vertex[0] = float(r1 * std::cos(double(theta)) * r2 * std::cos(double(phi)));
            vertex[1] = float(r1 * std::sin(double(theta)) * r2 * std::cos(double(phi)));
            vertex[2] = float(r2 * std::sin(double(phi)));
            j++;
        }
        i++;
    }

    // Neighbouring latitude rows k and k + 1, lower and upper vertex alternating. A vertex
    // whose triangle is not formed keeps the normal computed last.
    float n[3] = {0.0f, 0.0f, 0.0f};
    for (int32_t k = 0; k <= i - 2; k++) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int32_t l = 0; l <= j - 1; l++) {
            // Column 0 pairs with the one before the seam column, which repeats column 0.
            int32_t lp = l == 0 ? j - 2 : l - 1;
            const float *lower = grid[k * cols + l];
            const float *lowerPrev = grid[k * cols + lp];
            const float *upper = grid[(k + 1) * cols + l];
            const float *upperPrev = grid[(k + 1) * cols + lp];
            if (k >= 1) {
                const float *below = grid[(k - 1) * cols + lp];
                TriangleNormal(below[0], below[1], below[2], lower[0], lower[1], lower[2],
                               upperPrev[0], upperPrev[1], upperPrev[2], n);
            }
            glNormal3f(n[0], n[1], n[2]);
            glVertex3fv(lower);
            if (k + 2 < i - 2) {
                const float *above = grid[(k + 2) * cols + lp];
                TriangleNormal(lowerPrev[0], lowerPrev[1], lowerPrev[2], upper[0], upper[1],
                               upper[2], above[0], above[1], above[2], n);
            }
            glNormal3f(n[0], n[1], n[2]);
            glVertex3fv(upper);
        }
        glEnd();
    }
    std::free(grid);
}

void BuildObjectList() {
    ObjectList = glGenLists(1);
    glNewList(ObjectList, GL_COMPILE);
    DrawSupershape(OBJECT_LON_START, OBJECT_LON_END, OBJECT_LONGITUDE, OBJECT_LAT_START,
                   OBJECT_LAT_END, OBJECT_LATITUDE);
    glEndList();
}
