#include "heaps_fixture.h"
#include "runtime/arrays.h"
#include "runtime/numbers.h"
#include "runtime/random.h"

#include <cmath>
#include <cstring>
#include <set>

TEST(Random, SeedZeroGivesTheKnownStartAndDraws) {
    RandomSeed(0);
    EXPECT_EQ(RandomP1, 3);
    EXPECT_EQ(RandomP2, 13);
    EXPECT_EQ(RandomInt(100), 55);
    EXPECT_EQ(RandomInt(100), 79);
    EXPECT_EQ(RandomInt(100), 66);
}

struct RandomState {
    uint32_t table[RANDOM_ENTRIES][2];
    int32_t p1, p2;
};

static RandomState SaveRandom() {
    RandomState state;
    memcpy(state.table, RandomTable, sizeof RandomTable);
    state.p1 = RandomP1;
    state.p2 = RandomP2;
    return state;
}

static void RestoreRandom(const RandomState &state) {
    memcpy(RandomTable, state.table, sizeof RandomTable);
    RandomP1 = state.p1;
    RandomP2 = state.p2;
}

TEST(Random, EveryDrawTakesOneStepEvenForZeroAndNegativeMax) {
    RandomSeed(12345);
    for (int32_t max : {0, -1, INT32_MIN}) {
        RandomState before = SaveRandom();
        int32_t value = RandomInt(max);
        EXPECT_EQ(value, max == 0 ? 0 : INT32_MIN) << max;
        RandomState after = SaveRandom();
        RestoreRandom(before);
        RandomNext();
        EXPECT_EQ(memcmp(RandomTable, after.table, sizeof RandomTable), 0) << max;
        EXPECT_EQ(RandomP1, after.p1);
        EXPECT_EQ(RandomP2, after.p2);
    }
}

TEST(Random, DrawIsTheExactHighPartOfTheProduct) {
    RandomSeed(0xC0FFEE);
    const int32_t maxima[] = {1, 100, 639, 65535, 0x7FFFFFFE, INT32_MAX};
    for (int i = 0; i < 6000; i++) {
        int32_t max = maxima[i % 6];
        RandomState before = SaveRandom();
        unsigned __int128 r = RandomNext();
        RestoreRandom(before);
        uint64_t expected = uint64_t((r * (uint64_t(max) + 1)) >> 64);
        ASSERT_EQ(RandomInt(max), int32_t(expected)) << "draw " << i << " max " << max;
    }
}

TEST(Random, BothEndsOfTheRangeAreReached) {
    RandomSeed(0);
    std::set<int32_t> seen;
    for (int i = 0; i < 100000; i++) {
        int32_t value = RandomInt(100);
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 100);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 101u);
}

TEST(Numbers, TruncationGoesTowardZeroAndOutOfRangeIsIndefinite) {
    EXPECT_EQ(TruncToInt(2.99f), 2);
    EXPECT_EQ(TruncToInt(-2.99f), -2);
    EXPECT_EQ(TruncToInt(-0.5f), 0);
    EXPECT_EQ(TruncToInt(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(2147483520.0f), 2147483520); // largest float below 2^31
    EXPECT_EQ(TruncToInt(2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(NAN), INT32_MIN);
}

TEST(Numbers, PowerFollowsTheCLibrary) {
    EXPECT_EQ(PowF(2.0f, 10.0f), 1024.0f);
    EXPECT_EQ(PowF(0.5f, 2.0f), 0.25f);
    EXPECT_EQ(PowF(NAN, 0.0f), 1.0f);
    EXPECT_TRUE(std::isnan(PowF(-8.0f, 1.0f / 3.0f))); // negative base, fractional power
    // Rounded once from double: the float nearest to 10^0.5, not a float-precision result.
    EXPECT_EQ(PowF(10.0f, 0.5f), float(3.16227766016837933));
}

class ArraysTest : public HeapsTest {};

TEST_F(ArraysTest, OneDimensionHoldsHighestIndexPlusOneZeroedElements) {
    int32_t *values = nullptr;
    void **variable = reinterpret_cast<void **>(&values);
    static const int layout = 0;
    ASSERT_EQ(ArrayDim(&layout, variable, 7, 99, sizeof(int32_t)), 1);
    ASSERT_NE(values, nullptr);
    ArrayHeader *header = ArrayHeaderOf(values);
    EXPECT_EQ(header->layout, &layout);
    EXPECT_EQ(header->variable, variable);
    EXPECT_EQ(header->highestIndex, 99);
    EXPECT_EQ(header->typeCode, 7);
    for (int i = 0; i <= 99; i++)
        ASSERT_EQ(values[i], 0) << i;
    values[99] = 1; // the last element is inside the block

    size_t blocks = HeapBlockCount(MainHeap);
    ArrayFree(values);
    ArrayFree(nullptr);
    EXPECT_EQ(HeapBlockCount(MainHeap), blocks - 1);

    EXPECT_EQ(ArrayDim(nullptr, variable, 0, -2, 4), 0);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(ArrayDim(nullptr, variable, 0, INT32_MAX, 8), 0); // 16 GiB: refused
    EXPECT_EQ(values, nullptr);
}

TEST_F(ArraysTest, ManyDimensionsAreRowMajorWithStridesInTheVariable) {
    ArrayVariable grid = {nullptr, {2, 3, 4}};
    ASSERT_EQ(ArrayDimMulti(nullptr, &grid, 3, 0, sizeof(int16_t)), 1);
    EXPECT_EQ(grid.dims[0], 12);
    EXPECT_EQ(grid.dims[1], 4);
    EXPECT_EQ(grid.dims[2], 4); // the last index keeps its size
    EXPECT_EQ(ArrayHeaderOf(grid.elements)->highestIndex, 23);

    // Every (i, j, k) lands on its own element inside the block.
    int16_t *cells = static_cast<int16_t *>(grid.elements);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 4; k++)
                cells[i * grid.dims[0] + j * grid.dims[1] + k] += int16_t(1 + i * 100 + j * 10 + k);
    EXPECT_EQ(cells[0], 1);
    EXPECT_EQ(cells[4], 11);   // (0, 1, 0)
    EXPECT_EQ(cells[12], 101); // (1, 0, 0)
    EXPECT_EQ(cells[23], 124); // (1, 2, 3)
    ArrayFree(grid.elements);

    ArrayVariable bad = {nullptr, {5, 0}};
    EXPECT_EQ(ArrayDimMulti(nullptr, &bad, 2, 0, 4), 0);
    EXPECT_EQ(bad.elements, nullptr);
    EXPECT_EQ(bad.dims[0], 5); // sizes stay on failure
    ArrayVariable huge = {nullptr, {65536, 65536}};
    EXPECT_EQ(ArrayDimMulti(nullptr, &huge, 2, 0, 1), 0);
    EXPECT_EQ(ArrayDimMulti(nullptr, &huge, ARRAY_MAX_DIMENSIONS + 1, 0, 1), 0);
}
