#include "heaps_fixture.h"
#include "runtime/objects.h"

#include <malloc.h>
#include <thread>
#include <vector>

TEST(Heap, DestroyReturnsEveryBlockToTheSystem) {
    // No assertion runs between the readings, so nothing but the heap allocates there.
    // Blocks of 2000 bytes and more bypass malloc's per-thread cache, which mallinfo2
    // would count as in use after they are freed.
    size_t before = mallinfo2().uordblks;
    Heap *heap = HeapCreate(4000);
    for (int i = 0; i < 200; i++)
        HeapAlloc(heap, i % 2 ? uint32_t(HEAP_ZERO_MEMORY) : 0u, 2000 + i);
    HeapReAlloc(heap, 0, HeapAlloc(heap, 0, 2000), 5000);
    size_t blocks = HeapBlockCount(heap);
    size_t during = mallinfo2().uordblks;
    HeapDestroy(heap);
    size_t after = mallinfo2().uordblks;

    EXPECT_EQ(blocks, 201u);
    EXPECT_GT(during, before + 200 * 2000 + 5000);
    // The cache may keep the heap's own small record (under 100 bytes), never a block.
    EXPECT_LT(after, before + 2000);
}

TEST(Heap, ConcurrentCallsKeepTheBlockListWhole) {
    Heap *heap = HeapCreate(0);
    auto churn = [heap] {
        for (int i = 0; i < 20000; i++) {
            void *block = HeapAlloc(heap, 0, 24);
            if (i % 4)
                HeapFree(heap, block);
        }
    };
    std::thread first(churn), second(churn);
    first.join();
    second.join();
    EXPECT_EQ(HeapBlockCount(heap), 2u * 5000u);
    HeapDestroy(heap);
}

class ObjectsTest : public HeapsTest {};

struct Record16 {
    uintptr_t handle;
    uint64_t other;
};

static Record16 *Find(ObjectTable *table, intptr_t number) {
    return static_cast<Record16 *>(ObjectFind(table, number));
}

TEST_F(ObjectsTest, NumbersNameSlotsThatGrowZeroFilledOrListedRecords) {
    ObjectTable windows; // holds two records beyond its capacity
    ASSERT_EQ(ObjectTableInit(&windows, sizeof(Record16), 30, 2, 1), 1);
    EXPECT_NE(Find(&windows, 10), nullptr);
    EXPECT_EQ(Find(&windows, 11), nullptr); // beyond the capacity: an address, not a slot
    static_cast<Record16 *>(ObjectOpen(&windows, 3))->handle = 33;
    ASSERT_NE(ObjectOpen(&windows, 10), nullptr);
    EXPECT_EQ(windows.capacity, 40);
    EXPECT_EQ(Find(&windows, 3)->handle, 33u);
    for (int n = 4; n <= 40; n++)
        ASSERT_EQ(Find(&windows, n)->handle, 0u) << n;

    ObjectTable files;
    ASSERT_EQ(ObjectTableInit(&files, sizeof(intptr_t), 10, 0, 0), 1);
    EXPECT_EQ(ObjectFind(&files, 10), nullptr); // named, but not held: reads as empty
    ASSERT_NE(ObjectOpen(&files, 25), nullptr);
    EXPECT_EQ(files.capacity, 35);
    EXPECT_EQ(ObjectOpen(&files, -2), nullptr);
    EXPECT_EQ(ObjectOpen(&files, OBJECT_NUMBER_MAX + 1), nullptr);

    // Unnumbered: the record's address is the number; other addresses name nothing.
    intptr_t number = reinterpret_cast<intptr_t>(ObjectOpen(&windows, OBJECT_ANY));
    EXPECT_EQ(Find(&windows, number)->handle, 0u);
    Record16 stray = {};
    EXPECT_EQ(Find(&windows, reinterpret_cast<intptr_t>(&stray)), nullptr);
    ObjectRelease(&windows, number);
    EXPECT_EQ(Find(&windows, number), nullptr);
    EXPECT_EQ(HeapBlockCount(ListHeap), 0u);
}

static std::vector<intptr_t> Closed;
static ObjectTable *ClosingTable;

static void RecordClose(intptr_t number) {
    Closed.push_back(number);
    ObjectRelease(ClosingTable, number); // frees list nodes while the walk goes on
}

TEST_F(ObjectsTest, CloseAllWalksTheListNewestFirstThenTheSlotsInTheTablesOrder) {
    for (int descending = 0; descending <= 1; descending++) {
        ObjectTable table;
        ASSERT_EQ(ObjectTableInit(&table, sizeof(intptr_t), 10, 0, descending), 1);
        intptr_t older = reinterpret_cast<intptr_t>(ObjectOpen(&table, OBJECT_ANY));
        intptr_t middle = reinterpret_cast<intptr_t>(ObjectOpen(&table, OBJECT_ANY));
        intptr_t newer = reinterpret_cast<intptr_t>(ObjectOpen(&table, OBJECT_ANY));
        ObjectRelease(&table, middle); // unlinked from the middle of the list
        ClosingTable = &table;
        Closed.clear();
        ObjectCloseAll(&table, RecordClose);

        std::vector<intptr_t> expected = {newer, older};
        for (int i = 0; i < 10; i++)
            expected.push_back(descending ? 9 - i : i);
        EXPECT_EQ(Closed, expected) << "descending " << descending;
        EXPECT_EQ(table.list, nullptr);
    }
}
