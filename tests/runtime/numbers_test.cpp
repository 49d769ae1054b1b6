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

// Each draw must equal the high part of (the step it takes) x (max + 1), and take exactly
// one step whatever max is: compared with a copy of the state advanced by RandomNext.
TEST(Random, EveryDrawTakesOneStepAndMapsItExactly) {
    RandomSeed(0xC0FFEE);
    const int32_t maxima[] = {0, -1, INT32_MIN, 1, 100, 65535, 0x7FFFFFFE, INT32_MAX};
    for (int i = 0; i < 8000; i++) {
        int32_t max = maxima[i % 8];
        uint32_t table[RANDOM_ENTRIES][2];
        memcpy(table, RandomTable, sizeof table);
        int32_t p1 = RandomP1, p2 = RandomP2;
        unsigned __int128 step = RandomNext();
        memcpy(RandomTable, table, sizeof table);
        RandomP1 = p1;
        RandomP2 = p2;

        int32_t expected = max < 0 ? INT32_MIN : int32_t((step * (uint64_t(max) + 1)) >> 64);
        ASSERT_EQ(RandomInt(max), expected) << "draw " << i << " max " << max;
        ASSERT_EQ(RandomP1, p1 ? p1 - 1 : 16);
    }
}

TEST(Random, BothEndsOfTheRangeAreReached) {
    RandomSeed(0);
    std::set<int32_t> seen;
    for (int i = 0; i < 100000; i++)
        seen.insert(RandomInt(100));
    EXPECT_EQ(seen.size(), 101u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 100);
}

TEST(Numbers, TruncationGoesTowardZeroAndOutOfRangeIsIndefinite) {
    EXPECT_EQ(TruncToInt(-2.99f), -2);
    EXPECT_EQ(TruncToInt(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(2147483520.0f), 2147483520); // largest float below 2^31
    EXPECT_EQ(TruncToInt(2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(NAN), INT32_MIN);
    // Rounded once from double: the float nearest to 10^0.5.
    EXPECT_EQ(PowF(10.0f, 0.5f), float(3.16227766016837933));
}

class ArraysTest : public HeapsTest {};

TEST_F(ArraysTest, OneDimensionHoldsHighestIndexPlusOneZeroedElements) {
    int32_t *values = nullptr;
    void **variable = reinterpret_cast<void **>(&values);
    ASSERT_EQ(ArrayDim(nullptr, variable, 7, 99, sizeof(int32_t)), 1);
    EXPECT_EQ(ArrayHeaderOf(values)->variable, variable);
    EXPECT_EQ(ArrayHeaderOf(values)->highestIndex, 99);
    EXPECT_EQ(values[0] | values[99], 0);
    ArrayFree(values);
    EXPECT_EQ(HeapBlockCount(MainHeap), 1u); // only StringBuffer is left
    EXPECT_EQ(ArrayDim(nullptr, variable, 0, -2, 4), 0);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(ArrayDim(nullptr, variable, 0, INT32_MAX, 8), 0); // 16 GiB: refused
}

TEST_F(ArraysTest, ManyDimensionsAreRowMajorWithStridesInTheVariable) {
    ArrayVariable grid = {nullptr, {2, 3, 4}};
    ASSERT_EQ(ArrayDimMulti(nullptr, &grid, 3, 0, sizeof(int16_t)), 1);
    EXPECT_EQ(grid.dims[0], 12);
    EXPECT_EQ(grid.dims[1], 4);
    EXPECT_EQ(grid.dims[2], 4); // the last index keeps its size
    EXPECT_EQ(ArrayHeaderOf(grid.elements)->highestIndex, 23);
    // Every (i, j, k) lands on its own element: each cell is written exactly once.
    int16_t *cells = static_cast<int16_t *>(grid.elements);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 4; k++)
                cells[i * grid.dims[0] + j * grid.dims[1] + k]++;
    for (int n = 0; n < 24; n++)
        ASSERT_EQ(cells[n], 1) << n;

    ArrayVariable bad = {nullptr, {5, 0}};
    EXPECT_EQ(ArrayDimMulti(nullptr, &bad, 2, 0, 4), 0);
    EXPECT_EQ(bad.dims[0], 5); // sizes stay on failure
    ArrayVariable huge = {nullptr, {65536, 65536}};
    EXPECT_EQ(ArrayDimMulti(nullptr, &huge, 2, 0, 1), 0);
}
