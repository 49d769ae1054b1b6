#include "runtime/clock.h"
#include "runtime/virtual_clock.h"

static uint32_t VirtualNow;
static uint32_t VirtualReadCost;
static uint64_t VirtualPaused;
static uint32_t VirtualPauses;
constexpr int SCRIPT_MAX = 64;
static uint32_t Script[SCRIPT_MAX];
static int ScriptLength;
static int ScriptNext;

uint32_t TickMs() {
    uint32_t now = VirtualNow;
    VirtualNow += ScriptNext < ScriptLength ? Script[ScriptNext++] : VirtualReadCost;
    return now;
}

void PauseMs(uint32_t ms) {
    VirtualNow += ms;
    VirtualPaused += ms;
    VirtualPauses++;
}

void VirtualClockSet(uint32_t ms) {
    VirtualNow = ms;
}
void VirtualClockAdvance(uint32_t ms) {
    VirtualNow += ms;
}
void VirtualClockSetReadCost(uint32_t ms) {
    VirtualReadCost = ms;
}
uint64_t VirtualClockPausedMs() {
    return VirtualPaused;
}
uint32_t VirtualClockPauseCount() {
    return VirtualPauses;
}
void VirtualClockResetPauses() {
    VirtualPaused = 0;
    VirtualPauses = 0;
}

void VirtualClockScriptReads(const uint32_t *advances, int count) {
    ScriptLength = count < SCRIPT_MAX ? count : SCRIPT_MAX;
    ScriptNext = 0;
    for (int i = 0; i < ScriptLength; i++)
        Script[i] = advances[i];
}
