// The modal message box: disables the calling thread's windows while it is up.
#pragma once
#include "display/platform.h"
#include "runtime/objects.h"
#include <cstdint>

// A window that a running ShowMessage has disabled, and the thread that did it.
struct DisabledWindow {
    uint64_t thread;
    NativeWindow window;
};
// Nodes in ListHeap, newest first; empty outside ShowMessage as far as a thread can see.
extern ObjectNode *DisabledWindowList;

// Returns the pressed button (IDOK, IDYES, IDNO), or 0 when no box can be shown. Safe on any
// thread: it touches only the calling thread's windows and list nodes.
int32_t ShowMessage(const char *caption, const char *text, uint32_t flags);
void ShowMessageOk(const char *caption, const char *text);
