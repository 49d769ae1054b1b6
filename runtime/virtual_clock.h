// Control of the virtual clock flavour: time moves only when told to, or by PauseMs.
#pragma once
#include <cstdint>

void VirtualClockSet(uint32_t ms);
void VirtualClockAdvance(uint32_t ms);
// Added to the clock by every TickMs reading: models the cost of the work between readings.
void VirtualClockSetReadCost(uint32_t ms);
// Scripts the clock: the k-th TickMs reading from now returns the time and then moves it on
// by advances[k] (the work done until the next reading). Past the script, read cost applies.
void VirtualClockScriptReads(const uint32_t *advances, int count);
// Sum and count of the PauseMs calls since the last reset.
uint64_t VirtualClockPausedMs();
uint32_t VirtualClockPauseCount();
void VirtualClockResetPauses();
