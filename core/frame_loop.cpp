#include "core/frame_loop.h"
#include "core/scene.h"
#include "display/display.h"
#include "display/window.h"
#include "runtime/clock.h"

#include <GL/gl.h>

uint32_t FrameStart;
uint32_t LastEvent;

namespace {
constexpr float VIEW_FOVY = 90.0f;
constexpr float VIEW_ASPECT = 1.333f; // the decimal, not 4/3
constexpr float VIEW_NEAR = 0.1f;
constexpr float VIEW_FAR = 1000.0f;
} // namespace

int RunFrame() {
    FrameStart = TickMs();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The perspective goes onto the modelview matrix: lighting and fog see the projected
    // coordinates, and the picture depends on it.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SetPerspective(VIEW_FOVY, VIEW_ASPECT, VIEW_NEAR, VIEW_FAR);

    // Each test reads SceneMask afresh: a step or the sync callback may change it mid-frame.
    if (SceneMask.load() & LAYER_TUNNEL)
        DrawTunnelLayer();
    if (ScrollerOn == 1)
        DrawScroller();
    if (SceneMask.load() & LAYER_OBJECT)
        DrawObjectLayer();
    if (SceneMask.load() & LAYER_PLATES)
        DrawPlatesLayer();
    if (SceneMask.load() & LAYER_TITLE)
        DrawTitleLayer();
    if (SceneMask.load() & LAYER_GLITCH)
        DrawGlitchLayer();
    if (SceneMask.load() & LAYER_SPRITE)
        DrawSpriteLayer();

    glFlush();
    PlatformSwapBuffers(MainDC);
    LastEvent = WindowPoll();

    if (TickMs() - FrameStart < FRAME_MS) {
        uint32_t elapsed = TickMs() - FrameStart;
        if (elapsed < FRAME_MS)
            PauseMs(FRAME_MS - elapsed);
    }

    if (LastEvent == EVENT_CLOSE)
        return 1;
    if (LastMessageParam() == KEY_ESCAPE)
        return 1;
    return ScrollX > SCROLL_END_X ? 1 : 0;
}

void RunFrameLoop() {
    while (!RunFrame()) {
    }
}
