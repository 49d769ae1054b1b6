// Window bookkeeping that both platform flavours share: the class registry, the list of
// native windows, the active window and the message queue. Internal to the flavours.
#pragma once
#include "display/platform.h"
#include <cstdint>
#include <string>

// One native window. Its NativeWindow handle is the record's address.
struct NativeWindowRecord {
    NativeWindowProc proc;
    std::string className;
    NativeWindow owner;
    uint32_t style; // as created
    int enabled;
    uint64_t thread;
    void *flavour; // the flavour's own data for the window
    NativeWindowRecord *next;
};

extern NativeWindowRecord *NativeWindows; // newest first
extern NativeWindow ActiveWindow;

// The procedure registered for `className`, or null when the class is not registered.
NativeWindowProc ClassProc(const char *className);
// Links a new enabled window, made by the calling thread, and returns its handle.
NativeWindow NativeWindowAdd(NativeWindowProc proc, const char *className, NativeWindow owner,
                             uint32_t style, void *flavour);
NativeWindowRecord *NativeWindowFind(NativeWindow window);
// Defined by each flavour: frees `flavour` of a window that PlatformDestroyWindow unlinks.
void FlavourReleaseWindow(void *flavour);

// Takes the oldest queued message and records its key transition for PlatformKeyState; 0
// when the queue is empty. With `dropDisabledInput`, keyboard and mouse messages for a
// disabled window are discarded on the way.
int QueueTake(NativeMessage *message, int dropDisabledInput);
