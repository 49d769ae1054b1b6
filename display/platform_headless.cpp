// Headless flavour: windows are records without a screen, the GL context draws into an
// EGL pbuffer on Mesa's surfaceless platform, and the message queue is filled by the
// program itself (tests post input with PlatformPostMessage).
#include "display/headless.h"
#include "display/platform.h"
#include "display/platform_windows.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

// A window's flavour data: the geometry it was created with.
struct Geometry {
    int32_t x, y, width, height; // outer rectangle
    int32_t clientWidth, clientHeight;
};

// Frames that the system would draw around a client area, as on a classic desktop.
constexpr int32_t FRAME_BORDER = 1, FRAME_DIALOG = 3, FRAME_SIZING = 4, FRAME_CAPTION = 19;

std::mutex BoxLock;
int32_t BoxAnswer = IDYES;
HeadlessBoxHandler BoxHandler;
void *BoxContext;
uint32_t BoxCount;
std::string BoxCaption, BoxText;
uint32_t BoxFlags;
NativeWindow BoxOwner;
int RefuseMode;
int FailCreation;
int32_t SurfaceWidth = 640, SurfaceHeight = 480;
int32_t ScreenWidth = 640, ScreenHeight = 480;

EGLDisplay Display = EGL_NO_DISPLAY;
EGLSurface Surface = EGL_NO_SURFACE;
EGLContext Context = EGL_NO_CONTEXT;

Geometry *GeometryOf(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? static_cast<Geometry *>(w->flavour) : nullptr;
}

} // namespace

void HeadlessSetBoxAnswer(int32_t answer) {
    BoxAnswer = answer;
}
void HeadlessSetBoxHandler(HeadlessBoxHandler handler, void *context) {
    std::lock_guard<std::mutex> hold(BoxLock);
    BoxHandler = handler;
    BoxContext = context;
}
uint32_t HeadlessBoxCount() {
    std::lock_guard<std::mutex> hold(BoxLock);
    return BoxCount;
}
NativeWindow HeadlessLastBoxOwner() {
    return BoxOwner;
}
const char *HeadlessLastBoxCaption() {
    return BoxCaption.c_str();
}
const char *HeadlessLastBoxText() {
    return BoxText.c_str();
}
uint32_t HeadlessLastBoxFlags() {
    return BoxFlags;
}
void HeadlessSetSurfaceSize(int32_t width, int32_t height) {
    SurfaceWidth = width;
    SurfaceHeight = height;
}
void HeadlessSetScreenSize(int32_t width, int32_t height) {
    ScreenWidth = width;
    ScreenHeight = height;
}
void HeadlessRefuseDisplayMode(int refuse) {
    RefuseMode = refuse;
}
void HeadlessFailWindowCreation(int fail) {
    FailCreation = fail;
}

int PlatformInit() {
    return 1;
}

void PlatformShutdown() {
    if (Display != EGL_NO_DISPLAY) {
        eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(Display, Context);
        eglDestroySurface(Display, Surface);
        eglTerminate(Display);
    }
    Display = EGL_NO_DISPLAY;
    Surface = EGL_NO_SURFACE;
    Context = EGL_NO_CONTEXT;
}

NativeWindow PlatformCreateWindow(const char *className, const char *, int32_t x, int32_t y,
                                  int32_t outerWidth, int32_t outerHeight, uint32_t style,
                                  NativeWindow owner) {
    NativeWindowProc proc = ClassProc(className);
    if (!proc || FailCreation)
        return 0;
    int32_t left, top, right, bottom;
    PlatformFrameExtents(style, &left, &top, &right, &bottom);
    int32_t clientWidth = outerWidth - left - right, clientHeight = outerHeight - top - bottom;
    Geometry *geometry = new Geometry{x, y, outerWidth, outerHeight, clientWidth, clientHeight};
    NativeWindow handle = NativeWindowAdd(proc, className, owner, style, geometry);
    if (style & WS_VISIBLE)
        ActiveWindow = handle;
    proc(handle, WM_SIZE, 0,
         (uint32_t(clientHeight & 0xFFFF) << 16) | uint32_t(clientWidth & 0xFFFF));
    return handle;
}

void FlavourReleaseWindow(void *flavour) {
    delete static_cast<Geometry *>(flavour);
}

void PlatformFrameExtents(uint32_t style, int32_t *left, int32_t *top, int32_t *right,
                          int32_t *bottom) {
    int32_t frame = style & WS_THICKFRAME ? FRAME_SIZING
                    : style & WS_DLGFRAME ? FRAME_DIALOG
                    : style & WS_BORDER   ? FRAME_BORDER
                                          : 0;
    *left = *right = *bottom = frame;
    *top = frame + ((style & WS_CAPTION) == WS_CAPTION ? FRAME_CAPTION : 0);
}

void PlatformClientSize(NativeWindow window, int32_t *width, int32_t *height) {
    Geometry *g = GeometryOf(window);
    *width = g ? g->clientWidth : 0;
    *height = g ? g->clientHeight : 0;
}

void PlatformWindowRect(NativeWindow window, int32_t *x, int32_t *y, int32_t *width,
                        int32_t *height) {
    Geometry *g = GeometryOf(window);
    *x = g ? g->x : 0;
    *y = g ? g->y : 0;
    *width = g ? g->width : 0;
    *height = g ? g->height : 0;
}

void PlatformScreenSize(int32_t *width, int32_t *height) {
    *width = ScreenWidth;
    *height = ScreenHeight;
}

uint32_t PlatformWindowStyle(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? w->style : 0;
}

void PlatformSetActiveWindow(NativeWindow window) {
    ActiveWindow = NativeWindowFind(window) ? window : 0;
}

int PlatformIsWindowVisible(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w && (w->style & WS_VISIBLE);
}

// Posted input reaches no disabled window: it is dropped when it is taken.
int PlatformPeekMessage(NativeMessage *message) {
    return QueueTake(message, 1);
}

void PlatformTranslateMessage(const NativeMessage *message) {
    if (message->message != WM_KEYDOWN)
        return;
    uint32_t key = message->wParam, character = 0;
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE ||
        key == VK_SPACE || (key >= '0' && key <= '9'))
        character = key;
    else if (key >= 'A' && key <= 'Z')
        character = PlatformKeyState(VK_SHIFT) ? key : key - 'A' + 'a';
    if (character)
        PlatformPostMessage(message->window, WM_CHAR, character, message->lParam);
}

int32_t PlatformMessageBox(NativeWindow owner, const char *text, const char *caption,
                           uint32_t flags) {
    HeadlessBoxHandler handler;
    void *context;
    int32_t answer;
    {
        std::lock_guard<std::mutex> hold(BoxLock);
        BoxCount++;
        BoxCaption = caption ? caption : "";
        BoxText = text ? text : "";
        BoxFlags = flags;
        BoxOwner = owner;
        handler = BoxHandler;
        context = BoxContext;
        answer = BoxAnswer;
    }
    return handler ? handler(caption, text, flags, context) : answer;
}

int32_t PlatformSetDisplayMode(int32_t, int32_t, int32_t) {
    return RefuseMode ? -1 : 0;
}

void PlatformHideCursor() {}

namespace {

constexpr EGLint COLOUR_BITS = 8;
constexpr EGLint MAX_CONFIGS = 64;

// The window's pixel format asks for 24 colour bits and no alpha: EGL lists deeper colour
// first, and a 10-bit surface would blend more finely than the show's window does. Where no
// configuration matches exactly, the first one offered will do.
int ChooseConfig(EGLConfig *chosen) {
    int found = 0;
    for (EGLint depth : {32, 24}) {
        const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,   EGL_RED_SIZE,    COLOUR_BITS,
                                     EGL_GREEN_SIZE,   COLOUR_BITS,     EGL_BLUE_SIZE,
                                     COLOUR_BITS,      EGL_DEPTH_SIZE,  depth,
                                     EGL_NONE};
        EGLConfig configs[MAX_CONFIGS];
        EGLint count = 0;
        if (!eglChooseConfig(Display, attributes, configs, MAX_CONFIGS, &count) || count == 0)
            continue;
        if (!found) {
            *chosen = configs[0];
            found = 1;
        }
        for (EGLint i = 0; i < count; i++) {
            EGLint red, green, blue, alpha, samples;
            eglGetConfigAttrib(Display, configs[i], EGL_RED_SIZE, &red);
            eglGetConfigAttrib(Display, configs[i], EGL_GREEN_SIZE, &green);
            eglGetConfigAttrib(Display, configs[i], EGL_BLUE_SIZE, &blue);
            eglGetConfigAttrib(Display, configs[i], EGL_ALPHA_SIZE, &alpha);
            eglGetConfigAttrib(Display, configs[i], EGL_SAMPLES, &samples);
            if (red == COLOUR_BITS && green == COLOUR_BITS && blue == COLOUR_BITS && alpha == 0 &&
                samples == 0) {
                *chosen = configs[i];
                return 1;
            }
        }
    }
    return found;
}

} // namespace

int PlatformCreateContext(NativeWindow) {
    if (Display == EGL_NO_DISPLAY) {
        auto getPlatformDisplay =
            (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
        if (!getPlatformDisplay)
            return 0;
        Display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major, minor;
        if (Display == EGL_NO_DISPLAY || !eglInitialize(Display, &major, &minor)) {
            fprintf(stderr, "tolvmarka: no EGL display for headless rendering\n");
            Display = EGL_NO_DISPLAY;
            return 0;
        }
        eglBindAPI(EGL_OPENGL_API);
    }
    EGLConfig config;
    if (!ChooseConfig(&config))
        return 0;
    if (Context != EGL_NO_CONTEXT) {
        eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(Display, Context);
        eglDestroySurface(Display, Surface);
    }
    const EGLint size[] = {EGL_WIDTH, SurfaceWidth, EGL_HEIGHT, SurfaceHeight, EGL_NONE};
    Surface = eglCreatePbufferSurface(Display, config, size);
    Context = eglCreateContext(Display, config, EGL_NO_CONTEXT, nullptr);
    if (Surface == EGL_NO_SURFACE || Context == EGL_NO_CONTEXT)
        return 0;
    return eglMakeCurrent(Display, Surface, Surface, Context) ? 1 : 0;
}

void PlatformSwapBuffers(NativeWindow) {
    if (Display != EGL_NO_DISPLAY)
        eglSwapBuffers(Display, Surface);
}
