// Milliseconds and sleep. The system clock and the virtual clock are two link-time
// flavours of the same two procedures (clock_system.cpp, clock_virtual.cpp).
#pragma once
#include <cstdint>

// Milliseconds since an arbitrary start, wrapping at 2^32: take differences in uint32_t.
uint32_t TickMs();
// Sleeps at least `ms` milliseconds.
void PauseMs(uint32_t ms);
