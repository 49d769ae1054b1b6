#include "runtime/clock.h"
#include "runtime/virtual_clock.h"

static uint32_t VirtualNow;
static uint32_t VirtualReadCost;
static uint64_t VirtualPaused;
static uint32_t VirtualPauses;

uint32_t TickMs() {
    uint32_t now = VirtualNow;
    VirtualNow += VirtualReadCost;
    return now;
}

void PauseMs(uint32_t ms) {
    VirtualNow += ms;
    VirtualPaused += ms;
    VirtualPauses++;
}

void VirtualClockSet(uint32_t ms) { VirtualNow = ms; }
void VirtualClockAdvance(uint32_t ms) { VirtualNow += ms; }
void VirtualClockSetReadCost(uint32_t ms) { VirtualReadCost = ms; }
uint64_t VirtualClockPausedMs() { return VirtualPaused; }
uint32_t VirtualClockPauseCount() { return VirtualPauses; }
void VirtualClockResetPauses() {
    VirtualPaused = 0;
    VirtualPauses = 0;
}
