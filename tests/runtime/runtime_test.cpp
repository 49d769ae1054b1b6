#include "display/window.h"
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
#include <vector>

TEST(Clock, DifferencesStayRightAcrossTheWrap) {
    VirtualClockSetReadCost(0);
    VirtualClockSet(0xFFFFFFF0u);
    uint32_t before = TickMs();
    PauseMs(20);
    uint32_t after = TickMs();
    EXPECT_LT(after, before); // the counter did wrap
    EXPECT_EQ(after - before, 20u);
}

TEST(Runtime, StartSetsUpEverythingAndEndClosesWhatIsLeft) {
    VirtualClockSetReadCost(0);
    VirtualClockSet(0xABCD1234u);
    StringCut = 1;
    ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
    ASSERT_TRUE(MainHeap && ListHeap && StringBuffer);
    EXPECT_EQ(StringCut, 0);
    EXPECT_EQ(StringTop, StringBuffer);
    EXPECT_EQ(std::vector<char>(StringBuffer, StringBuffer + STRING_BUFFER_SIZE),
              std::vector<char>(STRING_BUFFER_SIZE, 0));
    EXPECT_EQ(FileTable.capacity, 10);
    EXPECT_EQ(LibraryTable.capacity, 10);
    uint32_t seeded[RANDOM_ENTRIES][2];
    memcpy(seeded, RandomTable, sizeof seeded);
    RandomSeed(0xABCD1234u); // the tick count at start
    EXPECT_EQ(memcmp(seeded, RandomTable, sizeof seeded), 0);

    char dir[] = "/tmp/tolvmarka-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/left-open";
    intptr_t file = FileCreate(3, path.c_str());
    ASSERT_NE(file, 0);
    ASSERT_NE(LibraryOpen(0, PROBE_A), 0);
    ASSERT_NE(LibraryOpen(OBJECT_ANY, PROBE_B), 0);

    RuntimeEnd(WindowCloseAll);
    EXPECT_EQ(fcntl(int(file - 1), F_GETFD), -1);
    EXPECT_EQ(dlopen(PROBE_A, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(dlopen(PROBE_B, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(ListHeap, nullptr);
    EXPECT_NE(MainHeap, nullptr); // the common exit destroys it after RuntimeEnd
    MainHeapDestroy();
    EXPECT_EQ(MainHeap, nullptr);
    EXPECT_EQ(system(("rm -rf '" + std::string(dir) + "'").c_str()), 0);
}
