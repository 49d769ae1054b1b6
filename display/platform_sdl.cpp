// SDL flavour: real windows on the X11 display. SDL events are translated into the
// messages the window runtime understands, queued, and handed out one per peek.
#include "display/frame_trace.h"
#include "display/platform.h"
#include "display/platform_windows.h"
#include "display/quit_signals.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

// A window's flavour data: its SDL window, and the id by which SDL events name it.
struct SdlWindow {
    SDL_Window *window;
    uint32_t id;
};

// A quit request (a quit signal, SDL_QUIT) that came while no window existed: the first
// window gets it as its close request.
int QuitPending;
SDL_DisplayMode FullscreenMode;
int FullscreenPending;
SDL_GLContext Context;
uint64_t SwapCount, BoxCount;
int QuitDelivered; // the quit request has been queued as a close request

// Virtual-key codes of the keys that are neither letters nor digits nor shared.
constexpr uint32_t VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_DELETE = 46,
                   VK_F1 = 0x70;
constexpr uint32_t MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 0x10;
constexpr uint32_t SIZE_RESTORED = 0, SIZE_MINIMIZED = 1;

SDL_Window *SdlWindowOf(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? static_cast<SdlWindow *>(w->flavour)->window : nullptr;
}

NativeWindowRecord *FindId(uint32_t id) {
    for (NativeWindowRecord *w = NativeWindows; w; w = w->next)
        if (static_cast<SdlWindow *>(w->flavour)->id == id)
            return w;
    return nullptr;
}

NativeWindowRecord *Oldest() {
    NativeWindowRecord *oldest = NativeWindows;
    while (oldest && oldest->next)
        oldest = oldest->next;
    return oldest;
}

uint32_t VirtualKey(SDL_Keycode key) {
    if (key >= 'a' && key <= 'z')
        return uint32_t(key - 'a' + 'A');
    if (key >= '0' && key <= '9')
        return uint32_t(key);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + uint32_t(key - SDLK_F1);
    switch (key) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_DELETE:
        return VK_DELETE;
    default:
        return 0;
    }
}

uint32_t MouseFlags(uint32_t buttons) {
    uint32_t flags = 0;
    if (buttons & SDL_BUTTON_LMASK)
        flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        flags |= MK_MBUTTON;
    SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (mod & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

uint32_t PackPoint(int32_t x, int32_t y) {
    return (uint32_t(y & 0xFFFF) << 16) | uint32_t(x & 0xFFFF);
}

// Turns one SDL event into queued messages. Input for disabled windows is dropped.
void Translate(const SDL_Event &event) {
    if (event.type == SDL_QUIT) { // closing a window does not quit: only a session's end
        if (NativeWindowRecord *main = Oldest())
            PlatformPostMessage(NativeWindow(main), WM_CLOSE, 0, 0);
        else
            QuitPending = 1;
        return;
    }
    uint32_t id = 0;
    switch (event.type) {
    case SDL_WINDOWEVENT:
        id = event.window.windowID;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        id = event.key.windowID;
        break;
    case SDL_TEXTINPUT:
        id = event.text.windowID;
        break;
    case SDL_MOUSEMOTION:
        id = event.motion.windowID;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        id = event.button.windowID;
        break;
    default:
        return;
    }
    NativeWindowRecord *w = FindId(id);
    if (!w)
        return;
    NativeWindow handle = NativeWindow(w);
    if (event.type == SDL_WINDOWEVENT) {
        int width = 0, height = 0;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            PlatformPostMessage(handle, WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
            SDL_GL_GetDrawableSize(static_cast<SdlWindow *>(w->flavour)->window, &width, &height);
            PlatformPostMessage(handle, WM_SIZE, SIZE_RESTORED, PackPoint(width, height));
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            PlatformPostMessage(handle, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            PlatformPostMessage(handle, WM_PAINT, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            ActiveWindow = handle;
            break;
        default:
            break;
        }
        return;
    }
    if (!w->enabled)
        return;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint32_t key = VirtualKey(event.key.keysym.sym);
        if (key == 0)
            return;
        // Repeat count 1, scan code, previous state (bit 30), transition (bit 31).
        uint32_t lParam = 1 | (uint32_t(event.key.keysym.scancode & 0xFF) << 16);
        if (event.type == SDL_KEYUP)
            lParam |= 0xC0000000u;
        else if (event.key.repeat)
            lParam |= 0x40000000u;
        PlatformPostMessage(handle, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key, lParam);
        break;
    }
    case SDL_TEXTINPUT:
        for (const char *c = event.text.text; *c; c++)
            PlatformPostMessage(handle, WM_CHAR, uint8_t(*c), 1);
        break;
    case SDL_MOUSEMOTION:
        PlatformPostMessage(handle, WM_MOUSEMOVE, MouseFlags(event.motion.state),
                            PackPoint(event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool down = event.type == SDL_MOUSEBUTTONDOWN;
        uint32_t message = event.button.button == SDL_BUTTON_RIGHT    ? WM_RBUTTONDOWN
                           : event.button.button == SDL_BUTTON_MIDDLE ? WM_MBUTTONDOWN
                                                                      : WM_LBUTTONDOWN;
        PlatformPostMessage(handle, down ? message : message + 1,
                            MouseFlags(SDL_GetMouseState(nullptr, nullptr)),
                            PackPoint(event.button.x, event.button.y));
        break;
    }
    default:
        break;
    }
}

void SetClassHint(SDL_Window *window, const char *className) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    XClassHint hint;
    hint.res_name = const_cast<char *>(className);
    hint.res_class = const_cast<char *>(className);
    XSetClassHint(info.info.x11.display, info.info.x11.window, &hint);
    XFlush(info.info.x11.display);
}

} // namespace

int PlatformInit() {
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return 1;
    // A closed window is the program's business (WM_CLOSE); the quit signals are handled
    // here rather than by SDL, whose handlers a message box would not notice.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The show needs an X11 display. Without this SDL would fall back to a driver that
    // shows nothing (offscreen), and probing Wayland first prints its own complaints.
    // SDL_VIDEODRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    QuitHandlersInstall();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return 0;
    // SDL marks borderless windows through this atom only when it exists already, which
    // it does not before a window manager has run: without it a borderless window would
    // get a frame from a window manager started later.
    if (Display *display = XOpenDisplay(nullptr)) {
        XInternAtom(display, "_MOTIF_WM_HINTS", False);
        XCloseDisplay(display);
    }
    return 1;
}

void PlatformShutdown() {
    if (Context)
        SDL_GL_DeleteContext(Context);
    Context = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

NativeWindow PlatformCreateWindow(const char *className, const char *title, int32_t x, int32_t y,
                                  int32_t outerWidth, int32_t outerHeight, uint32_t style,
                                  NativeWindow owner) {
    NativeWindowProc proc = ClassProc(className);
    if (!proc)
        return 0;
    bool fullscreen = (style & WS_POPUP) && FullscreenPending;
    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!(style & WS_CAPTION))
        flags |= SDL_WINDOW_BORDERLESS;
    // The GL visual is fixed when the X11 window is made: ask for the depth buffer now.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 32);
    SDL_Window *window = SDL_CreateWindow(title, x, y, outerWidth, outerHeight, flags);
    if (!window) {
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        window = SDL_CreateWindow(title, x, y, outerWidth, outerHeight, flags);
    }
    if (!window)
        return 0;
    SetClassHint(window, className);
    if (fullscreen) {
        SDL_SetWindowDisplayMode(window, &FullscreenMode);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
    }
    NativeWindow handle = NativeWindowAdd(proc, className, owner, style,
                                          new SdlWindow{window, SDL_GetWindowID(window)});
    if (style & WS_VISIBLE) {
        SDL_ShowWindow(window);
        ActiveWindow = handle;
    }
    int32_t width, height;
    PlatformClientSize(handle, &width, &height);
    proc(handle, WM_SIZE, 0, PackPoint(width, height));
    if (QuitPending) {
        QuitPending = 0;
        PlatformPostMessage(handle, WM_CLOSE, 0, 0);
    }
    return handle;
}

void FlavourReleaseWindow(void *flavour) {
    SdlWindow *w = static_cast<SdlWindow *>(flavour);
    SDL_DestroyWindow(w->window);
    delete w;
}

// The window manager draws any frame outside the client area on X11.
void PlatformFrameExtents(uint32_t, int32_t *left, int32_t *top, int32_t *right, int32_t *bottom) {
    *left = *top = *right = *bottom = 0;
}

void PlatformClientSize(NativeWindow window, int32_t *width, int32_t *height) {
    int w = 0, h = 0;
    if (SDL_Window *sw = SdlWindowOf(window)) {
        if (SDL_GetWindowFlags(sw) & SDL_WINDOW_MINIMIZED)
            w = h = 0;
        else
            SDL_GetWindowSize(sw, &w, &h);
    }
    *width = w;
    *height = h;
}

void PlatformWindowRect(NativeWindow window, int32_t *x, int32_t *y, int32_t *width,
                        int32_t *height) {
    int px = 0, py = 0, w = 0, h = 0;
    if (SDL_Window *sw = SdlWindowOf(window)) {
        SDL_GetWindowPosition(sw, &px, &py);
        SDL_GetWindowSize(sw, &w, &h);
    }
    *x = px;
    *y = py;
    *width = w;
    *height = h;
}

void PlatformScreenSize(int32_t *width, int32_t *height) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        mode.w = mode.h = 0;
    *width = mode.w;
    *height = mode.h;
}

uint32_t PlatformWindowStyle(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    if (!w)
        return 0;
    uint32_t style = w->style & ~uint32_t(WS_VISIBLE);
    return PlatformIsWindowVisible(window) ? style | WS_VISIBLE : style;
}

void PlatformSetActiveWindow(NativeWindow window) {
    SDL_Window *w = SdlWindowOf(window);
    if (!w)
        return;
    SDL_RaiseWindow(w);
    ActiveWindow = window;
}

int PlatformIsWindowVisible(NativeWindow window) {
    SDL_Window *w = SdlWindowOf(window);
    return w && (SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN);
}

int PlatformPeekMessage(NativeMessage *message) {
    if (QuitRequested() && !QuitDelivered) {
        QuitDelivered = 1;
        if (NativeWindowRecord *main = Oldest())
            PlatformPostMessage(NativeWindow(main), WM_CLOSE, 0, 0);
        else
            QuitPending = 1;
    }
    for (;;) {
        // Input for a disabled window was dropped when its event came.
        if (QueueTake(message, 0))
            return 1;
        // Only the thread that made the windows may pump the display connection.
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return 0;
        SDL_Event event;
        if (!SDL_PollEvent(&event))
            return 0;
        Translate(event);
    }
}

// Printable characters come from SDL's text input (which knows the keyboard layout) as
// WM_CHAR of their own; the keys that type control characters are added here.
void PlatformTranslateMessage(const NativeMessage *message) {
    if (message->message != WM_KEYDOWN)
        return;
    uint32_t key = message->wParam;
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)
        PlatformPostMessage(message->window, WM_CHAR, key, message->lParam);
}

FrameTraceProc FrameTrace;

namespace {
void Trace(const char *what, uint64_t number) {
    if (FrameTrace)
        FrameTrace(what, number);
}
} // namespace

int32_t PlatformMessageBox(NativeWindow owner, const char *text, const char *caption,
                           uint32_t flags) {
    // The box draws line breaks only at line feeds; a carriage return is shown as one.
    std::string shown = text ? text : "";
    for (char &c : shown)
        if (c == '\r')
            c = '\n';
    // Escape answers No, the way closing the box does.
    SDL_MessageBoxButtonData yesNo[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
    };
    SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"},
    };
    bool askYesNo = (flags & 0x0F) == MB_YESNO;
    SDL_MessageBoxData box = {};
    box.flags = (flags & 0xF0) == MB_ICONHAND ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    box.window = SdlWindowOf(owner);
    box.title = caption ? caption : "";
    box.message = shown.c_str();
    box.numbuttons = askYesNo ? 2 : 1;
    box.buttons = askYesNo ? yesNo : ok;
    EndIfQuitOnMainThread();
    int slot = QuitBoxBegin();
    int pressed = -1;
    uint64_t number = ++BoxCount;
    Trace("tolvmarka-box-shown", number);
    int boxShown = SDL_ShowMessageBox(&box, &pressed) == 0;
    Trace("tolvmarka-box-answered", number);
    QuitBoxEnd(slot);
    // A box ended by a quit signal: the main thread ends here, another thread's caller
    // goes on with "no box" while the main thread ends at its next poll.
    EndIfQuitOnMainThread();
    if (!boxShown) {
        // Otherwise the viewer would learn nothing of the question or the failure; a box
        // taken down by a quit signal is no news.
        for (char &c : shown)
            if (c == '\n')
                c = ' ';
        if (!QuitRequested())
            fprintf(stderr, "tolvmarka: no message box could be shown (%s): %s: %s\n",
                    SDL_GetError(), box.title, shown.c_str());
        return 0;
    }
    // A box closed without a button (its close box, Alt+F4) reports no button: for the
    // question that is No, which changes no display mode.
    if (pressed < 0)
        return askYesNo ? IDNO : IDOK;
    return pressed;
}

int32_t PlatformSetDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    constexpr int32_t DISP_CHANGE_FAILED = -1;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0)
            continue;
        int bits = int(SDL_BITSPERPIXEL(mode.format));
        // X servers report 32-bit true colour as depth 24.
        bool bitsMatch = bits == bitsPerPixel || (bitsPerPixel == 32 && bits == 24);
        if (mode.w == width && mode.h == height && bitsMatch) {
            FullscreenMode = mode;
            FullscreenPending = 1;
            return 0;
        }
    }
    return DISP_CHANGE_FAILED;
}

void PlatformHideCursor() {
    SDL_ShowCursor(SDL_DISABLE);
}

int PlatformCreateContext(NativeWindow window) {
    SDL_Window *w = SdlWindowOf(window);
    if (!w)
        return 0;
    Context = SDL_GL_CreateContext(w);
    if (!Context)
        return 0;
    SDL_GL_MakeCurrent(w, Context);
    SDL_GL_SetSwapInterval(0); // the frame loop paces itself
    return 1;
}

void PlatformSwapBuffers(NativeWindow window) {
    if (SDL_Window *w = SdlWindowOf(window))
        SDL_GL_SwapWindow(w);
    Trace("tolvmarka-swap", ++SwapCount);
}
