#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/random.h"
#include "runtime/runtime.h"
#include "runtime/strings.h"
#include "runtime/virtual_clock.h"

#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

TEST(Clock, DifferencesStayRightAcrossTheWrap) {
    VirtualClockSetReadCost(0);
    VirtualClockSet(0xFFFFFFF0u);
    uint32_t before = TickMs();
    PauseMs(20);
    uint32_t after = TickMs();
    EXPECT_LT(after, before); // the counter did wrap
    EXPECT_EQ(after - before, 20u);
    VirtualClockAdvance(0xFFFFFFFFu); // one short of a full turn
    EXPECT_EQ(TickMs() - before, 19u);
}

TEST(Runtime, StartSetsUpEverythingAndEndClosesWhatIsLeft) {
    const uint32_t now = 0xABCD1234u;
    VirtualClockSetReadCost(0);
    VirtualClockSet(now);
    StringCut = 1;
    ASSERT_EQ(RuntimeStart(), RUNTIME_READY);
    ASSERT_NE(MainHeap, nullptr);
    ASSERT_NE(ListHeap, nullptr);
    EXPECT_EQ(StringCut, 0);
    ASSERT_NE(StringBuffer, nullptr);
    EXPECT_EQ(StringTop, StringBuffer);
    for (int i = 0; i < STRING_BUFFER_SIZE; i++)
        ASSERT_EQ(StringBuffer[i], 0) << i;
    EXPECT_EQ(FileTable.capacity, 10);
    EXPECT_EQ(LibraryTable.capacity, 10);
    EXPECT_EQ(CurrentFile, 0);

    // Seeded from the tick count.
    uint32_t seeded[RANDOM_ENTRIES][2];
    memcpy(seeded, RandomTable, sizeof seeded);
    RandomSeed(now);
    EXPECT_EQ(memcmp(seeded, RandomTable, sizeof seeded), 0);

    char pattern[] = "/tmp/tolvmarka-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string path = std::string(pattern) + "/left-open";
    intptr_t file = FileCreate(3, path.c_str());
    ASSERT_NE(file, 0);
    ASSERT_NE(LibraryOpen(0, PROBE_A), 0);
    ASSERT_NE(LibraryOpen(OBJECT_ANY, PROBE_B), 0);

    RuntimeEnd();
    EXPECT_EQ(fcntl(int(file - 1), F_GETFD), -1);
    EXPECT_EQ(dlopen(PROBE_A, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(dlopen(PROBE_B, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(ListHeap, nullptr);
    EXPECT_NE(MainHeap, nullptr); // the common exit destroys it after RuntimeEnd

    MainHeapDestroy();
    EXPECT_EQ(MainHeap, nullptr);
    EXPECT_EQ(StringBuffer, nullptr);
    unlink(path.c_str());
    rmdir(pattern);
}
