// The window runtime over the platform's native windows and message queue.
#include "display/window.h"

#include "runtime/heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

ObjectTable WindowTable;
NativeWindow CurrentWindow;

namespace {

constexpr int32_t WINDOW_TABLE_GROWTH = 30;
constexpr int32_t WINDOW_TABLE_EXTRA = 2; // the table holds capacity + 2 records
constexpr int WINDOW_CLOSE_DESCENDING = 1;
constexpr int32_t ACCEL_COUNT = 2;
const AccelEntry FocusAccelerators[ACCEL_COUNT] = {
    {FVIRTKEY | FNOINVERT, VK_TAB, CMD_FOCUS_NEXT},
    {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_FOCUS_PREV},
};
const char *const TEMPLATE_CLASS = "TemplateClass";

WindowHook Hook;
// The class template's name: "TemplateClass" at start-up, then each window's class name.
char ClassName[40];

// Event state: one set for the whole runtime.
uint32_t PendingEvent;
uint32_t LastWParam, LastLParam;
NativeWindow EventWindow;
uint32_t EventId;
int32_t EventSubtype;

WindowRecord *Lookup(intptr_t number) {
    return static_cast<WindowRecord *>(ObjectFind(&WindowTable, number));
}

void FormatClassName(intptr_t number) {
    snprintf(ClassName, sizeof ClassName, "WindowClass_%ld", long(number));
}

uint32_t LowWord(uint32_t value) {
    return value & 0xFFFF;
}

uint32_t HighWord(uint32_t value) {
    return value >> 16;
}

// The runtime's own sizing mode runs only for WM_SYSCOMMAND SC_SIZE on a sizing frame while
// windows are dragged with their contents. X11 window managers size windows themselves and
// send no such command, so here it always passes the message on.
int32_t SizingHandler(NativeWindow, uint32_t, uint32_t, uint32_t) {
    return PROC_DEFAULT;
}

// Tab and Shift+Tab move the keyboard focus between the active window's tab-stop controls.
// Runtime windows here carry no controls, so there is nothing to move to.
void MoveFocus(NativeWindow, int) {}

int32_t OwnHandling(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    switch (message) {
    case WM_CLOSE:
        PendingEvent = EVENT_CLOSE; // closing is the program's decision
        return 0;
    case WM_SIZE:
        PlatformPostMessage(window, MSG_DEFERRED_SIZE, wParam, lParam);
        return 0;
    case MSG_DEFERRED_SIZE:
        PendingEvent = EVENT_SIZE;
        return 0;
    case MSG_TRAY_NOTIFY:
        PlatformPostMessage(window, MSG_DEFERRED_TRAY, wParam, lParam);
        return 0;
    case MSG_DEFERRED_TRAY:
        PendingEvent = EVENT_TRAY;
        EventSubtype = int32_t(lParam);
        return 0;
    case WM_COMMAND:
        EventId = LowWord(wParam);
        if (lParam != 0) {
            PendingEvent = EVENT_GADGET;
        } else if (HighWord(wParam) == ACCEL_COMMAND &&
                   (EventId == CMD_FOCUS_NEXT || EventId == CMD_FOCUS_PREV)) {
            MoveFocus(window, EventId == CMD_FOCUS_NEXT);
        } else {
            PendingEvent = EVENT_MENU;
        }
        return 0;
    case WM_NOTIFY:
        EventId = LowWord(wParam);
        PendingEvent = EVENT_GADGET;
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam == 0) // the window's own scroll bar, not a control
            return PROC_DEFAULT;
        EventId = 0; // scroll-bar controls carry no identifier here
        PendingEvent = EVENT_GADGET;
        return 0;
    default:
        return PROC_DEFAULT;
    }
}

int32_t RuntimeWindowProc(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    EventWindow = window;
    LastWParam = wParam;
    LastLParam = lParam;
    SizingHandler(window, message, wParam, lParam);
    if (Hook) {
        int32_t result = Hook(window, message, wParam, lParam);
        if (result != HOOK_CONTINUE)
            return result;
    }
    int32_t result = OwnHandling(window, message, wParam, lParam);
    return result == PROC_DEFAULT ? PlatformDefaultProc(window, message, wParam, lParam) : result;
}

WindowRecord *FindByHandle(NativeWindow handle) {
    for (void *node = ListFirst(WindowTable.list); node; node = ListNext(node)) {
        WindowRecord *record = static_cast<WindowRecord *>(node);
        if (record->handle == handle)
            return record;
    }
    for (int32_t number = 0; number < WindowTable.capacity; number++) {
        WindowRecord *record = Lookup(number);
        if (record && record->handle == handle)
            return record;
    }
    return nullptr;
}

} // namespace

int WindowRuntimeInit() {
    Hook = nullptr;
    CurrentWindow = 0;
    PendingEvent = LastWParam = LastLParam = EventId = 0;
    EventWindow = 0;
    EventSubtype = -1;
    ObjectTableInit(&WindowTable, sizeof(WindowRecord), WINDOW_TABLE_GROWTH, WINDOW_TABLE_EXTRA,
                    WINDOW_CLOSE_DESCENDING);
    if (!PlatformInit())
        return 0;
    snprintf(ClassName, sizeof ClassName, "%s", TEMPLATE_CLASS);
    PlatformRegisterClass(ClassName, RuntimeWindowProc);
    return 1;
}

intptr_t WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, const char *title) {
    return WindowOpenOwned(number, x, y, width, height, flags, title, 0);
}

intptr_t WindowOpenOwned(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         uint32_t flags, const char *title, NativeWindow owner) {
    WindowRecord *record = static_cast<WindowRecord *>(ObjectOpen(&WindowTable, number));
    if (!record)
        return 0;
    intptr_t id = number;
    if (number == WINDOW_ANY)
        id = reinterpret_cast<intptr_t>(record);
    else
        WindowClose(number); // opening a number again replaces its window
    FormatClassName(id);
    PlatformRegisterClass(ClassName, RuntimeWindowProc); // fails harmlessly if still there

    enum { PLACE_AT, PLACE_SCREEN, PLACE_ACTIVE };
    int placement = flags & WF_CENTRE_ACTIVE   ? PLACE_ACTIVE
                    : flags & WF_CENTRE_SCREEN ? PLACE_SCREEN
                                               : PLACE_AT;
    uint32_t style = flags & ~uint32_t(WF_CENTRE_SCREEN | WF_CENTRE_ACTIVE);
    if ((style & ~uint32_t(WF_HIDDEN)) == 0)
        style |= WS_CAPTION;
    style ^= WS_VISIBLE;

    int32_t left, top, right, bottom;
    PlatformFrameExtents(style, &left, &top, &right, &bottom);
    int32_t outerWidth = width + left + right;
    int32_t outerHeight = height + top + bottom;

    NativeWindow active = PlatformActiveWindow();
    if (placement == PLACE_ACTIVE && !active)
        placement = PLACE_SCREEN;
    if (placement == PLACE_SCREEN) {
        int32_t screenWidth, screenHeight;
        PlatformScreenSize(&screenWidth, &screenHeight);
        int32_t w = outerWidth < screenWidth ? outerWidth : screenWidth;
        int32_t h = outerHeight < screenHeight ? outerHeight : screenHeight;
        x = (screenWidth >> 1) - (w >> 1);
        y = (screenHeight >> 1) - (h >> 1);
    } else if (placement == PLACE_ACTIVE) {
        int32_t ax, ay, aw, ah;
        PlatformWindowRect(active, &ax, &ay, &aw, &ah);
        x = ax - (outerWidth >> 1) + (aw >> 1);
        y = ay - (outerHeight >> 1) + (ah >> 1);
        x = x < 0 ? 0 : x;
        y = y < 0 ? 0 : y;
    }

    NativeWindow handle = PlatformCreateWindow(ClassName, title ? title : "", x, y, outerWidth,
                                               outerHeight, style, owner);
    record->handle = handle;
    if (!handle)
        return 0;
    CurrentWindow = handle;
    AccelEntry *entries =
        static_cast<AccelEntry *>(HeapAlloc(MainHeap, 0, sizeof FocusAccelerators));
    if (entries)
        memcpy(entries, FocusAccelerators, sizeof FocusAccelerators);
    record->accelCount = entries ? ACCEL_COUNT : 0;
    record->accelEntries = entries;
    record->accelTable = entries ? PlatformCreateAcceleratorTable(entries, ACCEL_COUNT) : 0;
    return number == WINDOW_ANY ? id : intptr_t(handle);
}

void SetWindowHook(WindowHook hook) {
    Hook = hook;
}

NativeWindow WindowHandle(intptr_t number) {
    WindowRecord *record = Lookup(number);
    return record ? record->handle : 0;
}

int32_t ClientWidth() {
    int32_t width, height;
    PlatformClientSize(CurrentWindow, &width, &height);
    return width;
}

int32_t ClientHeight() {
    int32_t width, height;
    PlatformClientSize(CurrentWindow, &width, &height);
    return height; // runtime windows have no menu bar to add
}

uint32_t WindowPoll() {
    EventSubtype = -1;
    NativeMessage message;
    if (!PlatformPeekMessage(&message))
        return EVENT_NONE;
    NativeWindow active = PlatformActiveWindow();
    WindowRecord *record = active ? FindByHandle(active) : nullptr;
    if (!record || !record->accelTable ||
        !PlatformTranslateAccelerator(active, record->accelTable, &message)) {
        PlatformTranslateMessage(&message);
        PlatformDispatchMessage(&message);
    }
    uint32_t event = PendingEvent;
    if (event == EVENT_NONE) {
        // Also thread messages and messages of windows that are not the runtime's.
        event = message.message;
        LastWParam = message.wParam;
        LastLParam = message.lParam;
    }
    PendingEvent = EVENT_NONE;
    return event;
}

uint32_t LastMessageParam() {
    return LastWParam;
}

uint32_t LastMessageLParam() {
    return LastLParam;
}

NativeWindow LastEventWindow() {
    return EventWindow;
}

uint32_t LastEventId() {
    return EventId;
}

int32_t LastEventSubtype() {
    return EventSubtype;
}

void WindowClose(intptr_t number) {
    WindowRecord *record = Lookup(number);
    if (!record || !record->handle)
        return;
    NativeWindow owner = PlatformWindowOwner(record->handle);
    if (owner)
        PlatformSetActiveWindow(owner);
    PlatformDestroyWindow(record->handle);
    FormatClassName(number);
    PlatformUnregisterClass(ClassName);
    if (record->accelEntries) {
        HeapFree(MainHeap, record->accelEntries);
        PlatformDestroyAcceleratorTable(record->accelTable);
    }
    if (number >= 0 && number <= WindowTable.capacity)
        record->handle = 0; // the other fields stay until the number is opened again
    else
        ObjectRelease(&WindowTable, number);
}

void WindowCloseAll() {
    ObjectCloseAll(&WindowTable, WindowClose);
}
