#include "display/message_box.h"

#include <pthread.h>

ObjectNode *DisabledWindowList;

namespace {

// The box may be shown from the player's thread; the list itself is the only thing that
// thread shares with the main thread's calls.
pthread_mutex_t ListLock = PTHREAD_MUTEX_INITIALIZER;

// Disables a visible, enabled window of the calling thread and records it. Hidden or
// already disabled windows are left out, so that the box does not enable them afterwards.
void DisableIfOurs(NativeWindow window, void *) {
    uint64_t thread = PlatformCurrentThread();
    if (PlatformWindowThread(window) != thread || !PlatformIsWindowVisible(window) ||
        !PlatformIsWindowEnabled(window))
        return;
    PlatformEnableWindow(window, 0);
    pthread_mutex_lock(&ListLock);
    DisabledWindow *node =
        static_cast<DisabledWindow *>(ListAdd(&DisabledWindowList, sizeof(DisabledWindow)));
    if (node) {
        node->thread = thread;
        node->window = window;
    }
    pthread_mutex_unlock(&ListLock);
}

// Enables again every window this thread disabled and drops its nodes; other threads'
// nodes stay.
void EnableOurs() {
    uint64_t thread = PlatformCurrentThread();
    pthread_mutex_lock(&ListLock);
    for (void *payload = ListFirst(DisabledWindowList); payload;) {
        void *next = ListNext(payload);
        DisabledWindow *node = static_cast<DisabledWindow *>(payload);
        if (node->thread == thread) {
            PlatformEnableWindow(node->window, 1);
            ListRemove(&DisabledWindowList, payload);
        }
        payload = next;
    }
    pthread_mutex_unlock(&ListLock);
}

} // namespace

int32_t ShowMessage(const char *caption, const char *text, uint32_t flags) {
    PlatformEnumWindows(DisableIfOurs, nullptr);
    // Chosen after the walk, so the owner may be a window just disabled. Every window the
    // platform reports belongs to this process.
    NativeWindow owner = PlatformActiveWindow();
    int32_t result = PlatformMessageBox(owner, text, caption, flags);
    EnableOurs();
    return result;
}

void ShowMessageOk(const char *caption, const char *text) {
    ShowMessage(caption, text, MB_OK);
}
