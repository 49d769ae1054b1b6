// Headless flavour: windows are records without a screen, the GL context draws into an
// EGL pbuffer on Mesa's surfaceless platform, and the message queue is filled by the
// program itself (tests post input with PlatformPostMessage).
#include "display/headless.h"
#include "display/platform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <string>

namespace {

struct HeadlessWindow {
    NativeWindowProc proc;
    std::string className;
    NativeWindow owner;
    int32_t x, y, width, height;
    uint32_t style;
    int enabled;
    uint64_t thread;
    HeadlessWindow *next;
};

HeadlessWindow *Windows; // newest first
NativeWindow ActiveWindow;
std::deque<NativeMessage> Queue;
std::mutex QueueLock;

int32_t BoxAnswer = IDYES;
uint32_t BoxCount;
std::string BoxCaption, BoxText;
uint32_t BoxFlags;
int RefuseMode;
int32_t SurfaceWidth = 640, SurfaceHeight = 480;

EGLDisplay Display = EGL_NO_DISPLAY;
EGLSurface Surface = EGL_NO_SURFACE;
EGLContext Context = EGL_NO_CONTEXT;

HeadlessWindow *Find(NativeWindow window) {
    for (HeadlessWindow *w = Windows; w; w = w->next)
        if (NativeWindow(w) == window)
            return w;
    return nullptr;
}

} // namespace

void HeadlessSetBoxAnswer(int32_t answer) {
    BoxAnswer = answer;
}
uint32_t HeadlessBoxCount() {
    return BoxCount;
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
void HeadlessRefuseDisplayMode(int refuse) {
    RefuseMode = refuse;
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
                                  NativeWindow owner, NativeWindowProc proc) {
    HeadlessWindow *w = new HeadlessWindow{
        proc,   className, owner, x, y, outerWidth, outerHeight, style, 1, PlatformCurrentThread(),
        Windows};
    Windows = w;
    NativeWindow handle = NativeWindow(w);
    if (style & WS_VISIBLE)
        ActiveWindow = handle;
    proc(handle, WM_SIZE, 0, (uint32_t(outerHeight) << 16) | uint32_t(outerWidth & 0xFFFF));
    return handle;
}

void PlatformDestroyWindow(NativeWindow window) {
    for (HeadlessWindow **link = &Windows; *link; link = &(*link)->next) {
        if (NativeWindow(*link) == window) {
            HeadlessWindow *dead = *link;
            *link = dead->next;
            delete dead;
            break;
        }
    }
    if (ActiveWindow == window)
        ActiveWindow = 0;
    std::lock_guard<std::mutex> hold(QueueLock);
    for (auto it = Queue.begin(); it != Queue.end();)
        it = it->window == window ? Queue.erase(it) : it + 1;
}

void PlatformFrameExtents(uint32_t, int32_t *left, int32_t *top, int32_t *right, int32_t *bottom) {
    *left = *top = *right = *bottom = 0;
}

void PlatformClientSize(NativeWindow window, int32_t *width, int32_t *height) {
    HeadlessWindow *w = Find(window);
    *width = w ? w->width : 0;
    *height = w ? w->height : 0;
}

void PlatformWindowRect(NativeWindow window, int32_t *x, int32_t *y, int32_t *width,
                        int32_t *height) {
    HeadlessWindow *w = Find(window);
    *x = w ? w->x : 0;
    *y = w ? w->y : 0;
    *width = w ? w->width : 0;
    *height = w ? w->height : 0;
}

void PlatformScreenSize(int32_t *width, int32_t *height) {
    *width = 640;
    *height = 480;
}

NativeWindow PlatformWindowOwner(NativeWindow window) {
    HeadlessWindow *w = Find(window);
    return w ? w->owner : 0;
}

const char *PlatformWindowClass(NativeWindow window) {
    HeadlessWindow *w = Find(window);
    return w ? w->className.c_str() : "";
}

NativeWindow PlatformActiveWindow() {
    return ActiveWindow;
}
void PlatformSetActiveWindow(NativeWindow window) {
    ActiveWindow = Find(window) ? window : 0;
}

void PlatformEnableWindow(NativeWindow window, int enable) {
    if (HeadlessWindow *w = Find(window))
        w->enabled = enable != 0;
}

int PlatformIsWindowEnabled(NativeWindow window) {
    HeadlessWindow *w = Find(window);
    return w && w->enabled;
}

int PlatformIsWindowVisible(NativeWindow window) {
    HeadlessWindow *w = Find(window);
    return w && (w->style & WS_VISIBLE);
}

uint64_t PlatformWindowThread(NativeWindow window) {
    HeadlessWindow *w = Find(window);
    return w ? w->thread : 0;
}

uint64_t PlatformCurrentThread() {
    return uint64_t(pthread_self());
}

void PlatformEnumWindows(void (*visit)(NativeWindow, void *), void *context) {
    HeadlessWindow *order[256];
    int count = 0;
    for (HeadlessWindow *w = Windows; w && count < 256; w = w->next)
        order[count++] = w;
    while (count > 0)
        visit(NativeWindow(order[--count]), context);
}

int PlatformPeekMessage(NativeMessage *message) {
    std::lock_guard<std::mutex> hold(QueueLock);
    while (!Queue.empty()) {
        NativeMessage next = Queue.front();
        Queue.pop_front();
        bool input = (next.message >= WM_KEYDOWN && next.message <= WM_CHAR) ||
                     (next.message >= WM_MOUSEMOVE && next.message <= WM_MBUTTONUP);
        HeadlessWindow *w = Find(next.window);
        if (input && w && !w->enabled)
            continue; // a disabled window drops keyboard and mouse input
        *message = next;
        return 1;
    }
    return 0;
}

void PlatformPostMessage(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    std::lock_guard<std::mutex> hold(QueueLock);
    Queue.push_back({window, message, wParam, lParam});
}

int32_t PlatformSendMessage(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam) {
    HeadlessWindow *w = Find(window);
    return w ? w->proc(window, message, wParam, lParam) : 0;
}

int32_t PlatformMessageBox(NativeWindow, const char *text, const char *caption, uint32_t flags) {
    BoxCount++;
    BoxCaption = caption ? caption : "";
    BoxText = text ? text : "";
    BoxFlags = flags;
    return BoxAnswer;
}

int32_t PlatformSetDisplayMode(int32_t, int32_t, int32_t) {
    return RefuseMode ? -1 : 0;
}

void PlatformHideCursor() {}

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
    EGLint found = 0;
    for (EGLint depth : {32, 24}) {
        const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_DEPTH_SIZE,
                                     depth,
                                     EGL_NONE};
        if (eglChooseConfig(Display, attributes, &config, 1, &found) && found > 0)
            break;
    }
    if (found == 0)
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
