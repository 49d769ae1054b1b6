// The system clock of Windows: the tick count and Sleep, as they are.
#include "runtime/clock.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

uint32_t TickMs() {
    return GetTickCount();
}

void PauseMs(uint32_t ms) {
    Sleep(ms);
}
