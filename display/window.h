// The window runtime: numbered top-level windows sharing one window procedure, whose
// messages become event codes that the program polls without waiting, one per call.
#pragma once
#include "display/platform.h"
#include <cstdint>

constexpr int32_t WINDOW_ANY = -1; // open an unnumbered window; its record address is its number

// Flags of WindowOpen that the runtime consumes; all other bits are window styles.
enum : uint32_t {
    WF_CENTRE_SCREEN = 1,
    WF_CENTRE_ACTIVE = 2,
    WF_HIDDEN = WS_VISIBLE, // inverted: without it the window is visible
};

// Event codes returned by WindowPoll (any other value is the message identifier itself).
enum : uint32_t {
    EVENT_NONE = 0,
    EVENT_SIZE = 5,
    EVENT_CLOSE = 0x10,
    EVENT_GADGET = 0x332C,
    EVENT_MENU = 0x332D,
    EVENT_TRAY = 0x332E,
};

// Results of the hook and of the runtime's own handling.
constexpr int32_t HOOK_CONTINUE = int32_t(0xE0E0E0E1u);
constexpr int32_t PROC_DEFAULT = int32_t(0xD0D0D0D1u);

// Messages the runtime posts to itself, and the focus commands of its accelerators.
enum : uint32_t {
    MSG_TRAY_NOTIFY = 0x30D5,
    MSG_DEFERRED_TRAY = 0x30D6,
    MSG_DEFERRED_SIZE = 0x30D8,
    CMD_FOCUS_NEXT = 1212,
    CMD_FOCUS_PREV = 1213,
};

typedef int32_t (*WindowHook)(NativeWindow window, uint32_t message, uint32_t wParam,
                              uint32_t lParam);

// Sets up the window table and class template. Returns 0 when there is no display.
int WindowRuntimeInit();
intptr_t WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, const char *title);
intptr_t WindowOpenOwned(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         uint32_t flags, const char *title, NativeWindow owner);
void SetWindowHook(WindowHook hook);
NativeWindow WindowHandle(intptr_t number);
int32_t ClientWidth();
int32_t ClientHeight();
uint32_t WindowPoll();
uint32_t LastMessageParam();
void WindowClose(intptr_t number);
void WindowCloseAll();

extern NativeWindow CurrentWindow; // the most recently opened window
