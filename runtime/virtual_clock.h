// Control of the virtual clock flavour: time moves only when told to, or by PauseMs.
#pragma once
#include <cstdint>

void VirtualClockSet(uint32_t ms);
void VirtualClockAdvance(uint32_t ms);
// Added to the clock by every TickMs reading: models the cost of the work between readings.
void VirtualClockSetReadCost(uint32_t ms);
// Sum and count of the PauseMs calls since the last reset.
uint64_t VirtualClockPausedMs();
uint32_t VirtualClockPauseCount();
void VirtualClockResetPauses();
