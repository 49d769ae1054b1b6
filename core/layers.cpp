// The layer steps of the frame loop. Each is a fixed sequence of GL calls; what one step
// leaves enabled or bound is what the next one finds, so nothing here restores more than
// the modelview matrix unless stated.
#include "assets/assets.h"
#include "content/content.h"
#include "core/scene.h"
#include "music/player.h"
#include "runtime/random.h"

#include <GL/gl.h>
#include <cmath>

namespace {

constexpr float TUNNEL_STEP = 0.03125f;
constexpr float TUNNEL_WRAP = 0.25f;
constexpr float TUNNEL_ROLL = 2.0f;
constexpr float TUNNEL_BACK = 5.0f;
constexpr int TUNNEL_RINGS = 51;
constexpr float RING_DEPTH = 0.25f;
constexpr float OBJECT_SPIN = 1.5f;
constexpr float OBJECT_DISTANCE = -3.5f;
constexpr float OBJECT_REST_SCALE = 0.8f;
constexpr float PULSE_DECAY = 0.05f;
constexpr float OBJECT_ALPHA = 0.5f;
constexpr float PLATE_STEP = 0.1f;
constexpr float PLATE_ALPHA = 0.6f;
constexpr float TITLE_FADE = 0.03f;
constexpr uint8_t TITLE_B_FRAMES = 100;
constexpr int GLITCH_STRIPS = 32;
constexpr int GLITCH_DRAW_MAX = 100;
constexpr float GLITCH_WIDTH_DIVISOR = 70.0f;
constexpr float STRIP_ROW = 0.015625f; // 1/64 of the title's height in texture space
constexpr float QUAD_Z = 2.0f;
constexpr float SPRITE_STEP = 0.05f;
constexpr float SCROLL_STEP = 0.03125f;
constexpr float SCROLL_LEFT = 2.7f;
constexpr float SCROLL_BASE = -1.9f;
constexpr float SCROLL_SCALE = 0.08f;

void TextureSetup(GLuint texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

} // namespace

void DrawTunnelLayer() {
    glPushMatrix();
    glEnable(GL_FOG);
    TunnelShift += TUNNEL_STEP;
    if (TunnelShift >= TUNNEL_WRAP)
        TunnelShift = 0.0f;
    glRotatef(TunnelAngle, 0.0f, 0.0f, 1.0f);
    TunnelAngle += TUNNEL_ROLL;
    glTranslatef(0.0f, 0.0f, TunnelShift - TUNNEL_BACK);
    for (int ring = 0; ring < TUNNEL_RINGS; ring++) {
        glTranslatef(0.0f, 0.0f, RING_DEPTH);
        DrawRing();
    }
    glPopMatrix();
    glDisable(GL_FOG);
}

void DrawObjectLayer() {
    ObjectAngle += OBJECT_SPIN;
    glEnable(GL_FOG);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glBlendFunc(GL_SRC_ALPHA, GL_SRC_ALPHA);
    glMaterialfv(GL_FRONT, GL_SHININESS, &MaterialShininess);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, OBJECT_DISTANCE);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(ObjectAngle, 0.0f, 1.0f, 0.5f);

    glPushMatrix();
    float scale = ObjectPulse.load() + OBJECT_REST_SCALE;
    glScalef(scale, scale, scale);
    // A pulse stored by the sync callback between these two reads is lost, as designed.
    float pulse = ObjectPulse.load();
    if (pulse > 0.0f)
        ObjectPulse.store(pulse - PULSE_DECAY);
    glColor4f(1.0f, 1.0f, 1.0f, OBJECT_ALPHA);
    glMaterialfv(GL_FRONT, GL_EMISSION, EmissionInner);
    glCallList(ObjectList);
    glPopMatrix();

    glColor4f(1.0f, 1.0f, 1.0f, OBJECT_ALPHA);
    glMaterialfv(GL_FRONT, GL_EMISSION, EmissionOuter);
    glCallList(ObjectList);
    glPopMatrix();

    glDisable(GL_LIGHTING);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_FOG);
}

void DrawPlatesLayer() {
    glColor4f(1.0f, 0.0f, 0.0f, PLATE_ALPHA);

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, PlaneDepth);
    glTranslatef(-PlateOffsetB, -PlateOffsetB, 0.0f);
    glRotatef(135.0f, 0.0f, 0.0f, 1.0f);
    DrawPlate();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, PlaneDepth);
    glTranslatef(PlateOffsetA, -PlateOffsetA, 0.0f);
    glRotatef(-135.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    DrawPlate();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, PlaneDepth);
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(-0.5f, PlateOffsetC, 0.0f);
    DrawPlate();
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(-1.0f, 0.0f, 0.0f);
    DrawPlate();
    glPopMatrix();

    PlateOffsetA -= PLATE_STEP;
    PlateOffsetB -= PLATE_STEP;
    PlateOffsetC -= PLATE_STEP;
}

void DrawTitleLayer() {
    glPushMatrix();
    if (TitlePhase == 0) {
        TextureSetup(TexTitleA);
    } else {
        TextureSetup(TexTitleB);
        // Resumes the paused music on the first title B frame; later calls leave it playing.
        PlayerMusicPlay(0);
    }
    // The opening sequence: fade in, then hand over to the glitch, count down, or move on.
    if (TitleAlpha < 1.0f) {
        TitleAlpha += TITLE_FADE;
    } else if (TitlePhase == 0) {
        SceneMask.store(LAYER_GLITCH);
        TitlePhase = TITLE_B_FRAMES;
    } else if (TitlePhase == 1) {
        SceneMask.store(LAYER_PLATES);
        ScrollerOn = 1;
    } else {
        TitlePhase--;
    }
    glColor4f(1.0f, 1.0f, 1.0f, TitleAlpha);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-2.0f, 0.0f, QUAD_Z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(2.0f, 0.0f, QUAD_Z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(2.0f, 0.5f, QUAD_Z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-2.0f, 0.5f, QUAD_Z);
    glEnd();
    glPopMatrix();
}

void DrawGlitchLayer() {
    glPushMatrix();
    TextureSetup(TitlePhase == 0 ? TexTitleA : TexTitleB);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    for (int strip = 0; strip < GLITCH_STRIPS; strip++) {
        int i = strip * 2;
        float w1 = float(RandomInt(GLITCH_DRAW_MAX)) / GLITCH_WIDTH_DIVISOR;
        float w2 = float(RandomInt(GLITCH_DRAW_MAX)) / GLITCH_WIDTH_DIVISOR;
        float ta = float(i) * STRIP_ROW;
        float tb = float(i + 2) * STRIP_ROW;
        glTexCoord2f(0.0f, ta);
        glVertex3f(-2.0f * w1, ta / 2.0f, QUAD_Z);
        glTexCoord2f(1.0f, ta);
        glVertex3f(2.0f * w2, ta / 2.0f, QUAD_Z);
        glTexCoord2f(1.0f, tb);
        glVertex3f(2.0f * w1, tb / 2.0f, QUAD_Z);
        glTexCoord2f(0.0f, tb);
        glVertex3f(-2.0f * w2, tb / 2.0f, QUAD_Z);
    }
    GlitchCountdown -= 1;
    if (GlitchCountdown < 0)
        SceneMask.store(LAYER_TITLE);
    glEnd();
    glPopMatrix();
}

void DrawSpriteLayer() {
    glPushMatrix();
    SpritePhase += SPRITE_STEP;
    TextureSetup(TexSprite);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    // Folded so that the sprite only ever rises above its base line.
    float hop = std::sin(SpritePhase);
    if (hop > 0.0f)
        hop = -hop;
    glTranslatef(SpritePhase / 2.0f, hop / 1.2f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-0.5f, -1.0f, QUAD_Z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(0.5f, -1.0f, QUAD_Z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(0.5f, 1.0f, QUAD_Z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-0.5f, 1.0f, QUAD_Z);
    glEnd();
    glPopMatrix();
}

void DrawScroller() {
    ScrollX += SCROLL_STEP;
    glPushMatrix();
    glColor4f(1.0f, 0.4f, 0.0f, 1.0f);
    glTranslatef(-ScrollX - SCROLL_LEFT, SCROLL_BASE, PlaneDepth);
    glScalef(SCROLL_SCALE, SCROLL_SCALE, SCROLL_SCALE);
    DrawTextLine(ScrollText);
    glPopMatrix();
}
