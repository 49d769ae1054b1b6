// The runtime's start and end sequences. Every way out of the program runs RuntimeEnd and
// then MainHeapDestroy, whatever RuntimeStart returned.
#pragma once

constexpr int RUNTIME_READY = 1;
constexpr int RUNTIME_FAILED = 0;

// The window runtime lives above this layer: the caller hands in its start (non-zero when a
// display was found) and its close-all.
typedef int (*WindowRuntimeStartProc)();
typedef void (*WindowCloseAllProc)();

// Clears the runtime's globals, creates MainHeap and ListHeap, the file and library tables,
// seeds the random generator from TickMs, starts the window runtime and allocates
// StringBuffer, in that order. Returns RUNTIME_READY, or RUNTIME_FAILED when the window
// runtime found no display or a heap could not be created (everything else is still set up
// as far as it could be, so the end sequence can run).
int RuntimeStart(WindowRuntimeStartProc startWindows);
// Closes every window (through `closeWindows`), library and file, then destroys ListHeap.
void RuntimeEnd(WindowCloseAllProc closeWindows);
// Destroys MainHeap and with it every string, array and table; the last step before exit.
void MainHeapDestroy();
