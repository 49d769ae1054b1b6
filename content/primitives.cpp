// The tunnel ring and the plate: immediate-mode primitives drawn in the caller's frame.
#include "content/content.h"

#include <cmath>

namespace {

constexpr int32_t RING_STEP_DEGREES = 48;  // one pair of quads per step
constexpr float RING_HALF_STEP = 24.0f;    // one quad, spanning the texture once in t
constexpr int32_t RING_LAST_DEGREES = 360; // the pair at 360 closes onto the one at 0
constexpr float RING_DEPTH = 0.25f;

// Sets texturing up for `texture` with the given wrap mode in s and t.
void BindWrapped(GLuint texture, GLint wrap) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

// Both edge vertices of the ring at `radians`, texture row t.
void RingPair(float radians, float t) {
    float x = float(std::sin(double(radians)));
    float y = float(std::cos(double(radians)));
    glTexCoord2f(0.0f, t);
    glVertex3f(x, y, 0.0f);
    glTexCoord2f(1.0f, t);
    glVertex3f(x, y, RING_DEPTH);
}

} // namespace

void DrawRing() {
    BindWrapped(TexRing, GL_REPEAT);
    glBegin(GL_QUAD_STRIP);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // a runs 0..336; the second half of the last step lands on 360.
    for (int32_t a = 0; a <= RING_LAST_DEGREES; a += RING_STEP_DEGREES) {
        RingPair(DegToRad(float(a)), 0.0f);
        RingPair(DegToRad(float(a) + RING_HALF_STEP), 1.0f);
    }
    glEnd();
}

void DrawPlate() {
    BindWrapped(TexPlate, GL_CLAMP);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
