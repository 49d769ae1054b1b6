#include "heaps_fixture.h"
#include "runtime/objects.h"

#include <cstring>
#include <malloc.h>
#include <thread>
#include <vector>

TEST(Heap, DestroyReturnsEveryBlockToTheSystem) {
    // Blocks below the mmap threshold, so all of them count in the arena's in-use bytes.
    // No assertion runs between the readings, so nothing but the heap allocates there.
    // Blocks of 2000 bytes and more bypass malloc's per-thread cache, which mallinfo2
    // would count as in use after they are freed.
    size_t before = mallinfo2().uordblks;
    Heap *heap = HeapCreate(4000);
    int allocated = 0;
    for (int i = 0; i < 200; i++)
        allocated += HeapAlloc(heap, i % 2 ? uint32_t(HEAP_ZERO_MEMORY) : 0u, 2000 + i) != nullptr;
    void *grown = HeapReAlloc(heap, 0, HeapAlloc(heap, 0, 2000), 5000);
    size_t blocks = HeapBlockCount(heap);
    size_t during = mallinfo2().uordblks;
    HeapDestroy(heap);
    size_t after = mallinfo2().uordblks;

    EXPECT_EQ(allocated, 200);
    EXPECT_NE(grown, nullptr);
    EXPECT_EQ(blocks, 201u);
    EXPECT_GT(during, before + 200 * 2000 + 5000);
    // The cache may keep the heap's own small record (under 100 bytes), never a block.
    EXPECT_LT(after, before + 2000);
}

TEST(Heap, ReAllocKeepsContentAndZeroFillsTheGrownPart) {
    Heap *heap = HeapCreate(0);
    unsigned char *block = static_cast<unsigned char *>(HeapAlloc(heap, 0, 16));
    memset(block, 0xAB, 16);
    block = static_cast<unsigned char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; i++)
        ASSERT_EQ(block[i], 0xAB) << i;
    for (int i = 16; i < 4096; i++)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(HeapBlockCount(heap), 1u);
    HeapDestroy(heap);
}

TEST(Heap, RefusesBlocksOfAnotherHeap) {
    Heap *a = HeapCreate(0), *b = HeapCreate(0);
    void *block = HeapAlloc(a, 0, 32);
    EXPECT_EQ(HeapFree(b, block), 0);
    EXPECT_EQ(HeapReAlloc(b, 0, block, 64), nullptr);
    EXPECT_EQ(HeapBlockCount(a), 1u);
    EXPECT_EQ(HeapFree(a, block), 1);
    EXPECT_EQ(HeapFree(a, nullptr), 0);
    EXPECT_EQ(HeapBlockCount(a), 0u);
    HeapDestroy(a);
    HeapDestroy(b);
}

TEST(Heap, ConcurrentCallsKeepTheBlockListWhole) {
    Heap *heap = HeapCreate(0);
    auto churn = [heap] {
        std::vector<void *> kept;
        for (int i = 0; i < 20000; i++) {
            void *block = HeapAlloc(heap, 0, 24);
            if (i % 4 == 0)
                kept.push_back(block);
            else
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

TEST_F(ObjectsTest, ListPutsNewNodesFirstAndUnlinksFromAnyPlace) {
    ObjectNode *list = nullptr;
    int *a = static_cast<int *>(ListAdd(&list, sizeof(int)));
    int *b = static_cast<int *>(ListAdd(&list, sizeof(int)));
    int *c = static_cast<int *>(ListAdd(&list, sizeof(int)));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(*b, 0);
    EXPECT_EQ(ListFirst(list), c);
    EXPECT_EQ(ListNext(c), b);
    EXPECT_EQ(ListNext(b), a);
    EXPECT_EQ(ListNext(a), nullptr);

    ListRemove(&list, b); // middle
    EXPECT_EQ(ListNext(c), a);
    EXPECT_EQ(ListHolds(list, b), 0);
    ListRemove(&list, c); // front
    EXPECT_EQ(ListFirst(list), a);
    ListRemove(&list, a);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(HeapBlockCount(ListHeap), 0u);
}

struct Record16 {
    uintptr_t handle;
    uint64_t other;
};

TEST_F(ObjectsTest, TableNumbersGrowthAndExtraRecords) {
    ObjectTable windows;
    ASSERT_EQ(ObjectTableInit(&windows, sizeof(Record16), 30, 2, 1), 1);
    EXPECT_EQ(windows.capacity, 10);
    // The capacity itself names a record; the window table holds two beyond it.
    EXPECT_NE(ObjectFind(&windows, 10), nullptr);
    EXPECT_EQ(ObjectFind(&windows, 11), nullptr);

    static_cast<Record16 *>(ObjectOpen(&windows, 3))->handle = 33;
    Record16 *grown = static_cast<Record16 *>(ObjectOpen(&windows, 10));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(windows.capacity, 40);
    EXPECT_EQ(static_cast<Record16 *>(ObjectFind(&windows, 3))->handle, 33u);
    for (int n = 4; n <= 40; n++)
        ASSERT_EQ(static_cast<Record16 *>(ObjectFind(&windows, n))->handle, 0u) << n;

    ObjectTable files;
    ASSERT_EQ(ObjectTableInit(&files, sizeof(intptr_t), 10, 0, 0), 1);
    EXPECT_EQ(ObjectFind(&files, 10), nullptr); // named, but not held: reads as empty
    ASSERT_NE(ObjectOpen(&files, 25), nullptr);
    EXPECT_EQ(files.capacity, 35);
    EXPECT_NE(ObjectFind(&files, 34), nullptr);
    EXPECT_EQ(ObjectOpen(&files, -2), nullptr);
    EXPECT_EQ(ObjectOpen(&files, OBJECT_NUMBER_MAX + 1), nullptr);
    EXPECT_EQ(files.capacity, 35);
}

TEST_F(ObjectsTest, UnnumberedObjectsAreNamedByTheirAddress) {
    ObjectTable table;
    ASSERT_EQ(ObjectTableInit(&table, sizeof(Record16), 30, 0, 1), 1);
    size_t nodes = HeapBlockCount(ListHeap);
    Record16 *record = static_cast<Record16 *>(ObjectOpen(&table, OBJECT_ANY));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->handle, 0u);
    intptr_t number = reinterpret_cast<intptr_t>(record);
    EXPECT_EQ(ObjectFind(&table, number), record);
    // An address that is not a live node names nothing, nor does a negative number.
    Record16 stray = {};
    EXPECT_EQ(ObjectFind(&table, reinterpret_cast<intptr_t>(&stray)), nullptr);
    EXPECT_EQ(ObjectFind(&table, -1), nullptr);

    ObjectRelease(&table, number);
    EXPECT_EQ(ObjectFind(&table, number), nullptr);
    EXPECT_EQ(HeapBlockCount(ListHeap), nodes);

    Record16 *slot = static_cast<Record16 *>(ObjectOpen(&table, 2));
    *slot = {5, 6};
    ObjectRelease(&table, 2);
    EXPECT_EQ(slot->handle, 0u);
    EXPECT_EQ(slot->other, 0u);
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
        intptr_t newer = reinterpret_cast<intptr_t>(ObjectOpen(&table, OBJECT_ANY));
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
