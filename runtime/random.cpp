#include "runtime/random.h"

constexpr uint32_t RANDOM_SEED_MULTIPLIER = 2891336453u; // 0xAC564B05
constexpr int32_t RANDOM_LAG = 10;
constexpr int RANDOM_ROTATE_LOW = 19;
constexpr int RANDOM_ROTATE_HIGH = 27;
constexpr int RANDOM_WARM_UP = 31;

uint32_t RandomTable[RANDOM_ENTRIES][2];
int32_t RandomP1;
int32_t RandomP2;

static uint32_t RotateLeft(uint32_t x, int bits) {
    return (x << bits) | (x >> (32 - bits));
}

void RandomSeed(uint32_t seed) {
    uint32_t x = seed;
    for (int32_t i = 0; i < RANDOM_ENTRIES; i++) {
        for (int j = 0; j < 2; j++) {
            x = x * RANDOM_SEED_MULTIPLIER + 1u;
            RandomTable[i][j] = x;
        }
    }
    RandomP1 = 0;
    RandomP2 = RANDOM_LAG;
    for (int i = 0; i < RANDOM_WARM_UP; i++)
        RandomNext();
}

uint64_t RandomNext() {
    uint32_t z = RotateLeft(RandomTable[RandomP1][0], RANDOM_ROTATE_LOW) + RandomTable[RandomP2][0];
    uint32_t y =
        RotateLeft(RandomTable[RandomP1][1], RANDOM_ROTATE_HIGH) + RandomTable[RandomP2][1];
    RandomTable[RandomP1][0] = y;
    RandomTable[RandomP1][1] = z;
    RandomP1 = RandomP1 ? RandomP1 - 1 : RANDOM_ENTRIES - 1;
    RandomP2 = RandomP2 ? RandomP2 - 1 : RANDOM_ENTRIES - 1;
    return (uint64_t(z) << 32) | y;
}

int32_t RandomInt(int32_t max) {
    uint64_t r = RandomNext();
    if (max < 0)
        return INT32_MIN;
    uint64_t n = uint64_t(uint32_t(max) + 1u);
    // The upper 32 bits of the 96-bit product r * n, built from two 32 x 32-bit products.
    uint64_t low = (r & 0xFFFFFFFFu) * n;
    uint64_t high = (r >> 32) * n + (low >> 32);
    return int32_t(high >> 32);
}
