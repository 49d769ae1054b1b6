#include "display/message_box.h"
#include "display/platform.h"

#include <cstdlib>
#include <mutex>

namespace {

// Windows a running ShowMessage has disabled, with the thread that disabled them.
struct DisabledNode {
    DisabledNode *next;
    DisabledNode *prev;
    uint64_t thread;
    NativeWindow window;
};

DisabledNode *DisabledWindowList;
std::mutex DisabledLock;

void DisableIfOurs(NativeWindow window, void *) {
    uint64_t thread = PlatformCurrentThread();
    if (PlatformWindowThread(window) != thread || !PlatformIsWindowVisible(window) ||
        !PlatformIsWindowEnabled(window))
        return;
    PlatformEnableWindow(window, 0);
    DisabledNode *node = static_cast<DisabledNode *>(calloc(1, sizeof(DisabledNode)));
    node->thread = thread;
    node->window = window;
    std::lock_guard<std::mutex> hold(DisabledLock);
    node->next = DisabledWindowList;
    if (DisabledWindowList)
        DisabledWindowList->prev = node;
    DisabledWindowList = node;
}

void EnableOurs() {
    uint64_t thread = PlatformCurrentThread();
    std::lock_guard<std::mutex> hold(DisabledLock);
    for (DisabledNode *node = DisabledWindowList; node;) {
        DisabledNode *next = node->next;
        if (node->thread == thread) {
            PlatformEnableWindow(node->window, 1);
            if (node->prev)
                node->prev->next = node->next;
            else
                DisabledWindowList = node->next;
            if (node->next)
                node->next->prev = node->prev;
            free(node);
        }
        node = next;
    }
}

} // namespace

int32_t ShowMessage(const char *caption, const char *text, uint32_t flags) {
    PlatformEnumWindows(DisableIfOurs, nullptr);
    NativeWindow owner = PlatformActiveWindow(); // only ever a window of this process
    int32_t result = PlatformMessageBox(owner, text, caption, flags);
    EnableOurs();
    return result;
}

void ShowMessageOk(const char *caption, const char *text) {
    ShowMessage(caption, text, MB_OK);
}
