// The window runtime over the platform's native windows and message queue.
#include "display/window.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One accelerator entry: key flags, virtual key, command.
struct AccelEntry {
    uint8_t fVirt;
    uint16_t key;
    uint16_t command;
};

constexpr uint8_t FVIRTKEY = 1, FNOINVERT = 2, FSHIFT = 4;
constexpr uint32_t VK_TAB = 9;
constexpr int32_t WINDOW_TABLE_START = 10;
constexpr int32_t WINDOW_TABLE_GROWTH = 30;
constexpr int32_t ACCEL_COUNT = 2;
const AccelEntry FocusAccelerators[ACCEL_COUNT] = {
    {FVIRTKEY | FNOINVERT, VK_TAB, CMD_FOCUS_NEXT},
    {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_FOCUS_PREV},
};

struct WindowRecord {
    NativeWindow handle;
    int32_t accelCount;
    AccelEntry *accelEntries;
    AccelEntry *accelTable;
};

// Unnumbered windows live in list nodes; the record's address is the window's number.
struct WindowNode {
    WindowNode *next;
    WindowNode *prev;
    WindowRecord record;
};

int32_t Capacity;
WindowRecord *Slots; // Capacity + 2 records
WindowNode *Unnumbered;
WindowHook Hook;
char ClassName[32];

// Event state: one set for the whole runtime.
uint32_t PendingEvent;
uint32_t LastWParam, LastLParam;
NativeWindow EventWindow;
uint32_t EventMessage;
int32_t EventSubtype;

WindowRecord *Lookup(intptr_t number) {
    if (number >= 0 && number <= Capacity)
        return Slots ? &Slots[number] : nullptr;
    return reinterpret_cast<WindowRecord *>(number);
}

void FormatClassName(intptr_t number) {
    snprintf(ClassName, sizeof ClassName, "WindowClass_%ld", long(number));
}

int32_t DefaultProc(NativeWindow, uint32_t, uint32_t, uint32_t) {
    return 0;
}

// Windows without a sizing frame never enter the runtime's own sizing mode.
void SizingHandler(NativeWindow, uint32_t, uint32_t, uint32_t) {}

int32_t OwnHandling(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    switch (message) {
    case WM_CLOSE:
        PendingEvent = EVENT_CLOSE;
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
        if ((wParam >> 16) == 1 &&
            ((wParam & 0xFFFF) == CMD_FOCUS_NEXT || (wParam & 0xFFFF) == CMD_FOCUS_PREV))
            return 0; // focus moves between controls; the demo's windows have none
        PendingEvent = lParam == 0 ? EVENT_MENU : EVENT_GADGET;
        return 0;
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
        PendingEvent = EVENT_GADGET;
        return 0;
    default:
        return PROC_DEFAULT;
    }
}

int32_t RuntimeWindowProc(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    EventWindow = window;
    EventMessage = message;
    LastWParam = wParam;
    LastLParam = lParam;
    SizingHandler(window, message, wParam, lParam);
    if (Hook) {
        int32_t result = Hook(window, message, wParam, lParam);
        if (result != HOOK_CONTINUE)
            return result;
    }
    int32_t result = OwnHandling(window, message, wParam, lParam);
    return result == PROC_DEFAULT ? DefaultProc(window, message, wParam, lParam) : result;
}

WindowRecord *FindByHandle(NativeWindow handle) {
    for (WindowNode *node = Unnumbered; node; node = node->next)
        if (node->record.handle == handle)
            return &node->record;
    for (int32_t i = 0; i < Capacity; i++)
        if (Slots[i].handle == handle)
            return &Slots[i];
    return nullptr;
}

// Tab and Shift+Tab of the active window become focus commands.
int TranslateAccelerator(const NativeMessage &message) {
    NativeWindow active = PlatformActiveWindow();
    WindowRecord *record = active ? FindByHandle(active) : nullptr;
    if (!record || !record->accelTable || message.message != WM_KEYDOWN)
        return 0;
    for (int32_t i = 0; i < record->accelCount; i++) {
        const AccelEntry &entry = record->accelTable[i];
        if (entry.key == message.wParam && !(entry.fVirt & FSHIFT)) {
            PlatformSendMessage(active, WM_COMMAND, (1u << 16) | entry.command, 0);
            return 1;
        }
    }
    return 0;
}

// Keys that are control characters also queue their character, as the system does.
void TranslateKey(const NativeMessage &message) {
    constexpr uint32_t VK_BACK = 8, VK_RETURN = 13, VK_ESCAPE = 27;
    if (message.message != WM_KEYDOWN)
        return;
    uint32_t key = message.wParam;
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)
        PlatformPostMessage(message.window, WM_CHAR, key, message.lParam);
}

} // namespace

NativeWindow CurrentWindow;

int WindowRuntimeInit() {
    Capacity = WINDOW_TABLE_START;
    Slots = static_cast<WindowRecord *>(calloc(size_t(Capacity + 2), sizeof(WindowRecord)));
    Unnumbered = nullptr;
    Hook = nullptr;
    CurrentWindow = 0;
    PendingEvent = LastWParam = LastLParam = 0;
    snprintf(ClassName, sizeof ClassName, "TemplateClass");
    return PlatformInit();
}

intptr_t WindowOpen(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, const char *title) {
    return WindowOpenOwned(number, x, y, width, height, flags, title, 0);
}

intptr_t WindowOpenOwned(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         uint32_t flags, const char *title, NativeWindow owner) {
    WindowRecord *record;
    intptr_t id = number;
    if (number == WINDOW_ANY) {
        WindowNode *node = static_cast<WindowNode *>(calloc(1, sizeof(WindowNode)));
        node->next = Unnumbered;
        if (Unnumbered)
            Unnumbered->prev = node;
        Unnumbered = node;
        record = &node->record;
        id = reinterpret_cast<intptr_t>(record);
    } else {
        if (number >= Capacity) {
            int32_t grown = number + WINDOW_TABLE_GROWTH;
            Slots = static_cast<WindowRecord *>(
                realloc(Slots, size_t(grown + 2) * sizeof(WindowRecord)));
            memset(Slots + Capacity + 2, 0, size_t(grown - Capacity) * sizeof(WindowRecord));
            Capacity = grown;
        }
        WindowClose(number);
        record = &Slots[number];
    }
    FormatClassName(id);

    int placement = flags & WF_CENTRE_ACTIVE ? 2 : flags & WF_CENTRE_SCREEN ? 1 : 0;
    uint32_t style = flags & ~uint32_t(WF_CENTRE_SCREEN | WF_CENTRE_ACTIVE);
    if ((style & ~uint32_t(WF_HIDDEN)) == 0)
        style |= WS_CAPTION;
    style ^= WS_VISIBLE;

    int32_t left, top, right, bottom;
    PlatformFrameExtents(style, &left, &top, &right, &bottom);
    int32_t outerWidth = width + left + right;
    int32_t outerHeight = height + top + bottom;
    if (placement == 1 || (placement == 2 && !PlatformActiveWindow())) {
        int32_t screenWidth, screenHeight;
        PlatformScreenSize(&screenWidth, &screenHeight);
        int32_t w = outerWidth < screenWidth ? outerWidth : screenWidth;
        int32_t h = outerHeight < screenHeight ? outerHeight : screenHeight;
        x = (screenWidth >> 1) - (w >> 1);
        y = (screenHeight >> 1) - (h >> 1);
    } else if (placement == 2) {
        int32_t ax, ay, aw, ah;
        PlatformWindowRect(PlatformActiveWindow(), &ax, &ay, &aw, &ah);
        x = ax - (outerWidth >> 1) + (aw >> 1);
        y = ay - (outerHeight >> 1) + (ah >> 1);
        x = x < 0 ? 0 : x;
        y = y < 0 ? 0 : y;
    }

    NativeWindow handle = PlatformCreateWindow(ClassName, title ? title : "", x, y, outerWidth,
                                               outerHeight, style, owner, RuntimeWindowProc);
    record->handle = handle;
    if (!handle)
        return 0;
    CurrentWindow = handle;
    record->accelEntries = static_cast<AccelEntry *>(malloc(sizeof FocusAccelerators));
    memcpy(record->accelEntries, FocusAccelerators, sizeof FocusAccelerators);
    record->accelCount = ACCEL_COUNT;
    record->accelTable = record->accelEntries;
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
    return height; // runtime windows have no menu bar
}

uint32_t WindowPoll() {
    EventSubtype = -1;
    NativeMessage message;
    if (!PlatformPeekMessage(&message))
        return EVENT_NONE;
    if (!TranslateAccelerator(message)) {
        TranslateKey(message);
        if (message.window && FindByHandle(message.window))
            PlatformSendMessage(message.window, message.message, message.wParam, message.lParam);
    }
    uint32_t event = PendingEvent;
    if (event == EVENT_NONE) {
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

void WindowClose(intptr_t number) {
    WindowRecord *record = Lookup(number);
    if (!record || !record->handle)
        return;
    NativeWindow owner = PlatformWindowOwner(record->handle);
    if (owner)
        PlatformSetActiveWindow(owner);
    PlatformDestroyWindow(record->handle);
    if (record->handle == CurrentWindow)
        CurrentWindow = 0;
    if (record->accelEntries) {
        free(record->accelEntries);
        record->accelEntries = nullptr;
        record->accelTable = nullptr;
    }
    record->handle = 0;
    if (number < 0 || number > Capacity) {
        WindowNode *node = reinterpret_cast<WindowNode *>(reinterpret_cast<char *>(record) -
                                                          offsetof(WindowNode, record));
        if (node->prev)
            node->prev->next = node->next;
        else
            Unnumbered = node->next;
        if (node->next)
            node->next->prev = node->prev;
        free(node);
    }
}

void WindowCloseAll() {
    for (WindowNode *node = Unnumbered; node;) {
        WindowNode *next = node->next;
        WindowClose(reinterpret_cast<intptr_t>(&node->record));
        node = next;
    }
    for (int32_t i = Capacity - 1; i >= 0; i--)
        WindowClose(i);
}
