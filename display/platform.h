// The few system primitives under the window runtime, in the shape the runtime expects:
// native windows with one procedure each, a Win32-style message queue, message boxes,
// the display mode and the GL context. Two link-time flavours: platform_sdl.cpp (a real
// X11 display through SDL2) and platform_headless.cpp (an EGL pbuffer, no input), both on
// the window bookkeeping in platform_windows.cpp.
#pragma once
#include <cstdint>

typedef uintptr_t NativeWindow; // 0: no window

// Message identifiers, as the runtime's window procedure knows them.
enum : uint32_t {
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_NOTIFY = 0x004E,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
};

// Virtual-key codes that the platforms and the window runtime share.
enum : uint32_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_KEY_COUNT = 256,
};

// Window styles.
enum : uint32_t {
    WS_POPUP = 0x80000000u,
    WS_VISIBLE = 0x10000000u,
    WS_DISABLED = 0x08000000u,
    WS_CAPTION = 0x00C00000u, // WS_BORDER + WS_DLGFRAME
    WS_BORDER = 0x00800000u,
    WS_DLGFRAME = 0x00400000u,
    WS_SYSMENU = 0x00080000u,
    WS_THICKFRAME = 0x00040000u,
    WS_TABSTOP = 0x00010000u,
};

// Message box flags and results.
enum : uint32_t {
    MB_OK = 0x00,
    MB_YESNO = 0x04,
    MB_ICONHAND = 0x10,
};
enum : int32_t {
    IDOK = 1,
    IDYES = 6,
    IDNO = 7,
};

struct NativeMessage {
    NativeWindow window;
    uint32_t message;
    uint32_t wParam;
    uint32_t lParam;
};

typedef int32_t (*NativeWindowProc)(NativeWindow window, uint32_t message, uint32_t wParam,
                                    uint32_t lParam);

// One keyboard-accelerator entry (the system's ACCEL record), and a table built from them.
struct AccelEntry {
    uint8_t fVirt; // FVIRTKEY, FNOINVERT, FSHIFT, FCONTROL, FALT
    uint16_t key;
    uint16_t command;
};
enum : uint8_t { FVIRTKEY = 1, FNOINVERT = 2, FSHIFT = 4, FCONTROL = 8, FALT = 0x10 };
typedef uintptr_t NativeAccelTable;   // 0: none
constexpr uint32_t ACCEL_COMMAND = 1; // high word of WM_COMMAND's wParam from an accelerator

// Connects to the display. Returns 0 when there is none.
int PlatformInit();
void PlatformShutdown();

// Window classes: a name bound to the procedure of the windows made from it. Registering a
// name that is taken fails (0); unregistering one that is not registered fails too.
int PlatformRegisterClass(const char *name, NativeWindowProc proc);
int PlatformUnregisterClass(const char *name);
int PlatformClassRegistered(const char *name);

// Creates a top-level window of a registered class at outer position (x, y) with the given
// outer size. Like the system, creation sends WM_SIZE with the client size to the class's
// procedure before it returns. `className` becomes the X11 WM_CLASS. Returns 0 on failure
// (also when the class is not registered).
NativeWindow PlatformCreateWindow(const char *className, const char *title, int32_t x, int32_t y,
                                  int32_t outerWidth, int32_t outerHeight, uint32_t style,
                                  NativeWindow owner);
// Sends WM_DESTROY to the window's procedure, then destroys it and drops its queued messages.
void PlatformDestroyWindow(NativeWindow window);
// Frame added around the client area for `style` (left, top, right, bottom), in pixels.
void PlatformFrameExtents(uint32_t style, int32_t *left, int32_t *top, int32_t *right,
                          int32_t *bottom);
void PlatformClientSize(NativeWindow window, int32_t *width, int32_t *height);
void PlatformWindowRect(NativeWindow window, int32_t *x, int32_t *y, int32_t *width,
                        int32_t *height);
void PlatformScreenSize(int32_t *width, int32_t *height);
NativeWindow PlatformWindowOwner(NativeWindow window);
const char *PlatformWindowClass(NativeWindow window);
uint32_t PlatformWindowStyle(NativeWindow window); // as created, WS_VISIBLE as it is now

// Input and activation. A disabled window drops keyboard and mouse input.
NativeWindow PlatformActiveWindow(); // also the foreground window of this process
void PlatformSetActiveWindow(NativeWindow window);
void PlatformEnableWindow(NativeWindow window, int enable);
int PlatformIsWindowEnabled(NativeWindow window);
int PlatformIsWindowVisible(NativeWindow window);
uint64_t PlatformWindowThread(NativeWindow window); // id of the thread that created it
uint64_t PlatformCurrentThread();
// Calls `visit` for every top-level window of the process, oldest first.
void PlatformEnumWindows(void (*visit)(NativeWindow window, void *context), void *context);

// The message queue: PeekMessage with PM_REMOVE; returns 0 at once when nothing waits.
// Window 0 in a message makes it a thread message, which no procedure receives.
int PlatformPeekMessage(NativeMessage *message);
// 1 while the key is down, as of the key messages retrieved so far (GetKeyState).
int PlatformKeyState(uint32_t virtualKey);
// Queues WM_CHAR for a WM_KEYDOWN of a key that types a character (TranslateMessage).
void PlatformTranslateMessage(const NativeMessage *message);
// Hands a retrieved message to its window's procedure; 0 for thread messages.
int32_t PlatformDispatchMessage(const NativeMessage *message);
void PlatformPostMessage(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam);
// Calls the window's procedure directly (a sent message).
int32_t PlatformSendMessage(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam);

// The system's copy of accelerator entries; 0 on failure.
NativeAccelTable PlatformCreateAcceleratorTable(const AccelEntry *entries, int32_t count);
void PlatformDestroyAcceleratorTable(NativeAccelTable table);
// A key press that matches an entry, with exactly the entry's modifiers down, becomes
// WM_COMMAND (command, ACCEL_COMMAND) sent to `window`. Returns 1 when it did.
int PlatformTranslateAccelerator(NativeWindow window, NativeAccelTable table,
                                 const NativeMessage *message);
// What the system does with a message that a window's procedure leaves alone.
int32_t PlatformDefaultProc(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam);

// A modal box; returns IDOK, IDYES or IDNO, or 0 when no box can be shown.
int32_t PlatformMessageBox(NativeWindow owner, const char *text, const char *caption,
                           uint32_t flags);

// Switches the display to width x height for the next WS_POPUP window. 0 on success.
int32_t PlatformSetDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel);
void PlatformHideCursor();

// Double-buffered RGB context with a 32-bit depth request (24 where 32 is not offered),
// made current on the calling thread. Returns 0 on failure.
int PlatformCreateContext(NativeWindow window);
void PlatformSwapBuffers(NativeWindow window);
