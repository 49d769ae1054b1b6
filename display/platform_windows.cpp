// The window bookkeeping of both flavours: what a window is beyond its native surface.
#include "display/platform_windows.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <pthread.h>

NativeWindowRecord *NativeWindows;
NativeWindow ActiveWindow;

namespace {

std::deque<NativeMessage> Queue;
std::mutex QueueLock;
std::map<std::string, NativeWindowProc> Classes;
std::mutex ClassLock;
uint8_t KeyDown[VK_KEY_COUNT];

} // namespace

NativeWindowProc ClassProc(const char *className) {
    std::lock_guard<std::mutex> hold(ClassLock);
    auto found = Classes.find(className);
    return found == Classes.end() ? nullptr : found->second;
}

NativeWindow NativeWindowAdd(NativeWindowProc proc, const char *className, NativeWindow owner,
                             uint32_t style, void *flavour) {
    NativeWindows = new NativeWindowRecord{
        proc, className, owner, style, 1, PlatformCurrentThread(), flavour, NativeWindows};
    return NativeWindow(NativeWindows);
}

NativeWindowRecord *NativeWindowFind(NativeWindow window) {
    for (NativeWindowRecord *w = NativeWindows; w; w = w->next)
        if (NativeWindow(w) == window)
            return w;
    return nullptr;
}

int QueueTake(NativeMessage *message, int dropDisabledInput) {
    std::lock_guard<std::mutex> hold(QueueLock);
    while (!Queue.empty()) {
        NativeMessage next = Queue.front();
        Queue.pop_front();
        bool input = (next.message >= WM_KEYDOWN && next.message <= WM_CHAR) ||
                     (next.message >= WM_MOUSEMOVE && next.message <= WM_MBUTTONUP);
        if (dropDisabledInput && input) {
            NativeWindowRecord *w = NativeWindowFind(next.window);
            if (w && !w->enabled)
                continue;
        }
        if ((next.message == WM_KEYDOWN || next.message == WM_KEYUP) && next.wParam < VK_KEY_COUNT)
            KeyDown[next.wParam] = next.message == WM_KEYDOWN;
        *message = next;
        return 1;
    }
    return 0;
}

int PlatformRegisterClass(const char *name, NativeWindowProc proc) {
    std::lock_guard<std::mutex> hold(ClassLock);
    return Classes.emplace(name, proc).second ? 1 : 0;
}

int PlatformUnregisterClass(const char *name) {
    std::lock_guard<std::mutex> hold(ClassLock);
    return Classes.erase(name) ? 1 : 0;
}

int PlatformClassRegistered(const char *name) {
    std::lock_guard<std::mutex> hold(ClassLock);
    return Classes.count(name) ? 1 : 0;
}

void PlatformDestroyWindow(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    if (!w)
        return;
    w->proc(window, WM_DESTROY, 0, 0);
    for (NativeWindowRecord **link = &NativeWindows; *link; link = &(*link)->next) {
        if (*link == w) {
            *link = w->next;
            FlavourReleaseWindow(w->flavour);
            delete w;
            break;
        }
    }
    if (ActiveWindow == window)
        ActiveWindow = 0;
    std::lock_guard<std::mutex> hold(QueueLock);
    for (auto it = Queue.begin(); it != Queue.end();)
        it = it->window == window ? Queue.erase(it) : it + 1;
}

NativeWindow PlatformWindowOwner(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? w->owner : 0;
}

const char *PlatformWindowClass(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? w->className.c_str() : "";
}

NativeWindow PlatformActiveWindow() {
    return ActiveWindow;
}

void PlatformEnableWindow(NativeWindow window, int enable) {
    if (NativeWindowRecord *w = NativeWindowFind(window))
        w->enabled = enable != 0;
}

int PlatformIsWindowEnabled(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w && w->enabled;
}

uint64_t PlatformWindowThread(NativeWindow window) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? w->thread : 0;
}

uint64_t PlatformCurrentThread() {
    return uint64_t(pthread_self());
}

void PlatformEnumWindows(void (*visit)(NativeWindow, void *), void *context) {
    NativeWindowRecord *order[256];
    int count = 0;
    for (NativeWindowRecord *w = NativeWindows; w && count < 256; w = w->next)
        order[count++] = w;
    while (count > 0)
        visit(NativeWindow(order[--count]), context);
}

int PlatformKeyState(uint32_t virtualKey) {
    return virtualKey < VK_KEY_COUNT && KeyDown[virtualKey];
}

int32_t PlatformDispatchMessage(const NativeMessage *message) {
    return message->window ? PlatformSendMessage(message->window, message->message, message->wParam,
                                                 message->lParam)
                           : 0;
}

void PlatformPostMessage(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam) {
    std::lock_guard<std::mutex> hold(QueueLock);
    Queue.push_back({window, message, wParam, lParam});
}

int32_t PlatformSendMessage(NativeWindow window, uint32_t message, uint32_t wParam,
                            uint32_t lParam) {
    NativeWindowRecord *w = NativeWindowFind(window);
    return w ? w->proc(window, message, wParam, lParam) : 0;
}

namespace {
struct AccelTable {
    int32_t count;
    AccelEntry entries[1];
};
} // namespace

NativeAccelTable PlatformCreateAcceleratorTable(const AccelEntry *entries, int32_t count) {
    if (count <= 0)
        return 0;
    AccelTable *table = static_cast<AccelTable *>(
        malloc(sizeof(AccelTable) + sizeof(AccelEntry) * size_t(count - 1)));
    if (!table)
        return 0;
    table->count = count;
    memcpy(table->entries, entries, sizeof(AccelEntry) * size_t(count));
    return NativeAccelTable(table);
}

void PlatformDestroyAcceleratorTable(NativeAccelTable table) {
    free(reinterpret_cast<AccelTable *>(table));
}

int PlatformTranslateAccelerator(NativeWindow window, NativeAccelTable table,
                                 const NativeMessage *message) {
    const AccelTable *accel = reinterpret_cast<const AccelTable *>(table);
    if (!accel || message->message != WM_KEYDOWN)
        return 0;
    int shift = PlatformKeyState(VK_SHIFT), control = PlatformKeyState(VK_CONTROL),
        alt = PlatformKeyState(VK_MENU);
    for (int32_t i = 0; i < accel->count; i++) {
        const AccelEntry &entry = accel->entries[i];
        if (!(entry.fVirt & FVIRTKEY) || entry.key != message->wParam)
            continue;
        if (shift != ((entry.fVirt & FSHIFT) != 0) || control != ((entry.fVirt & FCONTROL) != 0) ||
            alt != ((entry.fVirt & FALT) != 0))
            continue;
        PlatformSendMessage(window, WM_COMMAND, (ACCEL_COMMAND << 16) | entry.command, 0);
        return 1;
    }
    return 0;
}

// Nothing to do for the messages a procedure leaves alone: WM_CLOSE, the one message whose
// default acts, never gets here.
int32_t PlatformDefaultProc(NativeWindow, uint32_t, uint32_t, uint32_t) {
    return 0;
}
