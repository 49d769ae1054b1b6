// The random generator: RANROT type W, 17 entries of two words, lag 10, rotations 19 and
// 27. Main thread only.
#pragma once
#include <cstdint>

constexpr int32_t RANDOM_ENTRIES = 17;

extern uint32_t RandomTable[RANDOM_ENTRIES][2];
extern int32_t RandomP1; // entry indices, 0..16
extern int32_t RandomP2;

// Fills the table from `seed`, then takes and discards 31 steps.
void RandomSeed(uint32_t seed);
// One step; its value is z * 2^32 + y.
uint64_t RandomNext();
// One step, mapped onto 0..max, both included. A negative max still takes the step and
// returns INT32_MIN.
int32_t RandomInt(int32_t max);
