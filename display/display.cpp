#include "display/display.h"
#include "display/message_box.h"
#include "display/window.h"
#include "runtime/clock.h"

#include <GL/gl.h>
#include <GL/glu.h>

const char *const SHOW_TITLE = "Tolvmarka";
NativeWindow MainWnd;
NativeWindow MainDC;

namespace {
constexpr uint32_t STYLE_FULLSCREEN = WS_POPUP;
constexpr uint32_t STYLE_WINDOWED = WS_CAPTION | WS_SYSMENU;
} // namespace

int DisplaySetup() {
    int windowed = ShowMessage(SHOW_TITLE, "Fullscreen", MB_YESNO) == IDNO;
    PauseMs(QUESTION_PAUSE_MS);
    if (!windowed && PlatformSetDisplayMode(DISPLAY_WIDTH, DISPLAY_HEIGHT, DISPLAY_BITS) != 0) {
        ShowMessageOk(SHOW_TITLE, "Could not create fullscreen");
        return DISPLAY_FAILED;
    }
    WindowOpen(0, 0, 0, DISPLAY_WIDTH, DISPLAY_HEIGHT, windowed ? STYLE_WINDOWED : STYLE_FULLSCREEN,
               SHOW_TITLE);
    if (!windowed)
        PlatformHideCursor();
    SetWindowHook(ViewportHook);
    MainWnd = WindowHandle(0);
    MainDC = MainWnd;
    PlatformCreateContext(MainDC);
    PlatformSwapBuffers(MainDC);
    return DISPLAY_READY;
}

int32_t ViewportHook(NativeWindow, uint32_t message, uint32_t, uint32_t) {
    if (message != WM_SIZE)
        return HOOK_CONTINUE;
    glViewport(0, 0, ClientWidth(), ClientHeight());
    return 1;
}

void SetPerspective(float fovy, float aspect, float zNear, float zFar) {
    gluPerspective(double(fovy), double(aspect), double(zNear), double(zFar));
}
