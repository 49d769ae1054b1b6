// The Win32 flavour of the platform: the system's own window classes, message queue,
// message boxes, display mode and WGL context. The project's headers come first: their
// names for the system's constants are then redefined by windows.h to the same values.
#include "display/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <commctrl.h>
#include <map>
#include <string>

static_assert(sizeof(AccelEntry) == sizeof(ACCEL), "AccelEntry is the system's ACCEL record");

namespace {

constexpr int ICON_RESOURCE = 1;    // the program carries none: the system's default is used
constexpr DWORD DEVMODE_SIZE = 148; // DEVMODEA without the two panning fields at its end
constexpr WORD PIXEL_FORMAT_SIZE = 40;
constexpr int CLASS_NAME_SIZE = 256;

HBRUSH Background;
std::map<std::string, NativeWindowProc> Classes; // main thread only
MSG LastMsg;                                     // the record PlatformPeekMessage took
HWND ContextWindow;                              // the window whose DC the context draws on
HDC ContextDC;

HWND Hwnd(NativeWindow window) {
    return reinterpret_cast<HWND>(window);
}

NativeWindow Native(HWND window) {
    return reinterpret_cast<NativeWindow>(window);
}

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

// Every class has this procedure; it hands the message to the procedure the class was
// registered with.
LRESULT CALLBACK ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char name[CLASS_NAME_SIZE];
    if (GetClassNameA(window, name, sizeof name) > 0) {
        auto found = Classes.find(name);
        if (found != Classes.end())
            return found->second(Native(window), message, uint32_t(wParam), uint32_t(lParam));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct EnumContext {
    void (*visit)(NativeWindow, void *);
    void *context;
};

BOOL CALLBACK VisitOurs(HWND window, LPARAM parameter) {
    EnumContext *enumeration = reinterpret_cast<EnumContext *>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        enumeration->visit(Native(window), enumeration->context);
    return TRUE; // the walk never stops early
}

// The message PlatformPeekMessage retrieved, as the system needs it (time and cursor too).
const MSG *Retrieved(const NativeMessage *message) {
    if (LastMsg.hwnd == Hwnd(message->window) && LastMsg.message == message->message &&
        uint32_t(LastMsg.wParam) == message->wParam && uint32_t(LastMsg.lParam) == message->lParam)
        return &LastMsg;
    static MSG made;
    made = MSG{};
    made.hwnd = Hwnd(message->window);
    made.message = message->message;
    made.wParam = message->wParam;
    made.lParam = LPARAM(message->lParam);
    return &made;
}

} // namespace

int PlatformInit() {
    InitCommonControls();
    LOGBRUSH brush = {BS_SOLID, GetSysColor(COLOR_BTNFACE), 0};
    if (!Background)
        Background = CreateBrushIndirect(&brush); // kept for the whole run
    return 1;
}

void PlatformShutdown() {}

int PlatformRegisterClass(const char *name, NativeWindowProc proc) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ClassProc;
    windowClass.hInstance = Instance();
    windowClass.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(ICON_RESOURCE));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = Background;
    windowClass.lpszClassName = name;
    if (!RegisterClassA(&windowClass))
        return 0;
    Classes[name] = proc;
    return 1;
}

int PlatformUnregisterClass(const char *name) {
    if (!UnregisterClassA(name, Instance()))
        return 0;
    Classes.erase(name);
    return 1;
}

int PlatformClassRegistered(const char *name) {
    WNDCLASSA windowClass;
    return GetClassInfoA(Instance(), name, &windowClass) ? 1 : 0;
}

NativeWindow PlatformCreateWindow(const char *className, const char *title, int32_t x, int32_t y,
                                  int32_t outerWidth, int32_t outerHeight, uint32_t style,
                                  NativeWindow owner) {
    return Native(CreateWindowExA(0, className, title, style, x, y, outerWidth, outerHeight,
                                  Hwnd(owner), nullptr, Instance(), nullptr));
}

void PlatformDestroyWindow(NativeWindow window) {
    if (Hwnd(window) == ContextWindow) {
        ContextWindow = nullptr;
        ContextDC = nullptr;
    }
    DestroyWindow(Hwnd(window));
}

void PlatformFrameExtents(uint32_t style, int32_t *left, int32_t *top, int32_t *right,
                          int32_t *bottom) {
    RECT rect = {0, 0, 0, 0};
    AdjustWindowRect(&rect, style, FALSE);
    *left = -rect.left;
    *top = -rect.top;
    *right = rect.right;
    *bottom = rect.bottom;
}

void PlatformClientSize(NativeWindow window, int32_t *width, int32_t *height) {
    RECT rect = {0, 0, 0, 0};
    GetClientRect(Hwnd(window), &rect);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

void PlatformWindowRect(NativeWindow window, int32_t *x, int32_t *y, int32_t *width,
                        int32_t *height) {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(Hwnd(window), &rect);
    *x = rect.left;
    *y = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

void PlatformScreenSize(int32_t *width, int32_t *height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
}

NativeWindow PlatformWindowOwner(NativeWindow window) {
    return Native(GetWindow(Hwnd(window), GW_OWNER));
}

const char *PlatformWindowClass(NativeWindow window) {
    static char name[CLASS_NAME_SIZE];
    if (GetClassNameA(Hwnd(window), name, sizeof name) == 0)
        name[0] = 0;
    return name;
}

uint32_t PlatformWindowStyle(NativeWindow window) {
    return uint32_t(GetWindowLongA(Hwnd(window), GWL_STYLE));
}

NativeWindow PlatformActiveWindow() {
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground)
        GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? Native(foreground) : 0;
}

void PlatformSetActiveWindow(NativeWindow window) {
    SetActiveWindow(Hwnd(window));
}

void PlatformEnableWindow(NativeWindow window, int enable) {
    EnableWindow(Hwnd(window), enable ? TRUE : FALSE);
}

int PlatformIsWindowEnabled(NativeWindow window) {
    return IsWindowEnabled(Hwnd(window)) ? 1 : 0;
}

int PlatformIsWindowVisible(NativeWindow window) {
    return IsWindowVisible(Hwnd(window)) ? 1 : 0;
}

uint64_t PlatformWindowThread(NativeWindow window) {
    return GetWindowThreadProcessId(Hwnd(window), nullptr);
}

uint64_t PlatformCurrentThread() {
    return GetCurrentThreadId();
}

void PlatformEnumWindows(void (*visit)(NativeWindow window, void *context), void *context) {
    EnumContext enumeration = {visit, context};
    EnumWindows(VisitOurs, reinterpret_cast<LPARAM>(&enumeration));
}

int PlatformPeekMessage(NativeMessage *message) {
    if (!PeekMessageA(&LastMsg, nullptr, 0, 0, PM_REMOVE))
        return 0;
    message->window = Native(LastMsg.hwnd);
    message->message = LastMsg.message;
    message->wParam = uint32_t(LastMsg.wParam);
    message->lParam = uint32_t(LastMsg.lParam);
    return 1;
}

int PlatformKeyState(uint32_t virtualKey) {
    return GetKeyState(int(virtualKey)) < 0 ? 1 : 0;
}

void PlatformTranslateMessage(const NativeMessage *message) {
    TranslateMessage(Retrieved(message));
}

int32_t PlatformDispatchMessage(const NativeMessage *message) {
    return int32_t(DispatchMessageA(Retrieved(message)));
}

void PlatformPostMessage(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    PostMessageA(Hwnd(window), message, wParam, LPARAM(lParam));
}

int32_t PlatformSendMessage(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam) {
    return int32_t(SendMessageA(Hwnd(window), message, wParam, LPARAM(lParam)));
}

NativeAccelTable PlatformCreateAcceleratorTable(const AccelEntry *entries, int32_t count) {
    ACCEL *accel = reinterpret_cast<ACCEL *>(const_cast<AccelEntry *>(entries));
    return reinterpret_cast<NativeAccelTable>(CreateAcceleratorTableA(accel, count));
}

void PlatformDestroyAcceleratorTable(NativeAccelTable table) {
    if (table)
        DestroyAcceleratorTable(reinterpret_cast<HACCEL>(table));
}

int PlatformTranslateAccelerator(NativeWindow window, NativeAccelTable table,
                                 const NativeMessage *message) {
    if (!table)
        return 0;
    return TranslateAcceleratorA(Hwnd(window), reinterpret_cast<HACCEL>(table),
                                 const_cast<MSG *>(Retrieved(message)))
               ? 1
               : 0;
}

int32_t PlatformDefaultProc(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam) {
    return int32_t(DefWindowProcA(Hwnd(window), message, wParam, LPARAM(lParam)));
}

int32_t PlatformMessageBox(NativeWindow owner, const char *text, const char *caption,
                           uint32_t flags) {
    return MessageBoxA(Hwnd(owner), text, caption, flags);
}

int32_t PlatformSetDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    DEVMODEA mode = {};
    mode.dmSize = DEVMODE_SIZE;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = DWORD(bitsPerPixel);
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

void PlatformHideCursor() {
    ShowCursor(FALSE);
}

int PlatformCreateContext(NativeWindow window) {
    ContextWindow = Hwnd(window);
    ContextDC = GetDC(ContextWindow); // kept for the whole run, never released
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = PIXEL_FORMAT_SIZE;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 24;
    request.cDepthBits = 32;
    request.iLayerType = PFD_MAIN_PLANE;
    int format = ChoosePixelFormat(ContextDC, &request);
    SetPixelFormat(ContextDC, format, &request);
    HGLRC context = wglCreateContext(ContextDC);
    wglMakeCurrent(ContextDC, context);
    return context ? 1 : 0;
}

void PlatformSwapBuffers(NativeWindow window) {
    HDC dc = Hwnd(window) == ContextWindow ? ContextDC : GetDC(Hwnd(window));
    SwapBuffers(dc);
}
