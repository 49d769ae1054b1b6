// The window runtime: numbered top-level windows sharing one window procedure, whose
// messages become event codes that the program polls without waiting, one per call.
#pragma once
#include "display/platform.h"
#include "runtime/objects.h"
#include <cstdint>

constexpr int32_t WINDOW_ANY = OBJECT_ANY; // open an unnumbered window; its record is its number

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

// A window's slot in WindowTable, or the payload of an unnumbered window's list node.
struct WindowRecord {
    NativeWindow handle; // 0: the slot holds no window
    int32_t accelCount;
    AccelEntry *accelEntries;    // MainHeap block
    NativeAccelTable accelTable; // the table built from the entries
};

// Windows 0..capacity-1 in slots (capacity + 2 records, growing to n + 30), unnumbered
// windows in its list.
extern ObjectTable WindowTable;
extern NativeWindow CurrentWindow; // the most recently opened window

typedef int32_t (*WindowHook)(NativeWindow window, uint32_t message, uint32_t wParam,
                              uint32_t lParam);

// Connects to the display, sets up the window table and registers "TemplateClass".
// Returns 0 when there is no display (the table is still set up).
int WindowRuntimeInit();
intptr_t WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, const char *title);
intptr_t WindowOpenOwned(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         uint32_t flags, const char *title, NativeWindow owner);
void SetWindowHook(WindowHook hook);
NativeWindow WindowHandle(intptr_t number);
int32_t ClientWidth();
int32_t ClientHeight();
// Handles at most one queued message and never waits: 0 when none was queued, else the
// event it produced or its message identifier.
uint32_t WindowPoll();
uint32_t LastMessageParam(); // wParam of the last message
// The rest of the event state: lParam, the window, the menu or control identifier and the
// subtype (-1 from the start of every poll; the click kind of EVENT_TRAY).
uint32_t LastMessageLParam();
NativeWindow LastEventWindow();
uint32_t LastEventId();
int32_t LastEventSubtype();
void WindowClose(intptr_t number);
// Unnumbered windows newest first, then slots capacity - 1 down to 0.
void WindowCloseAll();
