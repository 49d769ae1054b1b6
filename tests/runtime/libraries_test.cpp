#include "heaps_fixture.h"
#include "runtime/libraries.h"

#include <dlfcn.h>
#include <string>

typedef int (*ProbeIdFn)();
typedef int (*ProbeAddFn)(int, int);
typedef void (*ProbeSetUnloadLogFn)(void (*)(int));

static std::string Unloaded; // ids of the probes in the order they were unloaded
static void LogUnload(int id) {
    Unloaded += char(id);
}

class LibrariesTest : public HeapsTest {
  protected:
    void SetUp() override {
        HeapsTest::SetUp();
        ASSERT_EQ(LibraryTableInit(), 1);
        Unloaded.clear();
    }
    void TearDown() override {
        LibraryCloseAll();
        HeapsTest::TearDown();
    }
    // Opens a probe under `number` and has it report its unloading.
    static intptr_t OpenProbe(int32_t number, const char *path) {
        intptr_t result = LibraryOpen(number, path);
        intptr_t name = number == OBJECT_ANY ? result : number;
        auto setLog =
            reinterpret_cast<ProbeSetUnloadLogFn>(LibrarySymbol(name, "ProbeSetUnloadLog"));
        if (setLog)
            setLog(LogUnload);
        return result;
    }
    static int Id(intptr_t number) {
        auto id = reinterpret_cast<ProbeIdFn>(LibrarySymbol(number, "ProbeId"));
        return id ? id() : 0;
    }
    static bool Loaded(const char *path) {
        void *handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            dlclose(handle);
        return handle != nullptr;
    }
};

TEST_F(LibrariesTest, ExportsAreFoundByNameWhileTheLibraryIsOpen) {
    intptr_t handle = OpenProbe(0, PROBE_A);
    ASSERT_NE(handle, 0);
    auto add = reinterpret_cast<ProbeAddFn>(LibrarySymbol(0, "ProbeAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(LibrarySymbol(0, "ProbeMissing"), nullptr);
    EXPECT_EQ(LibrarySymbol(0, nullptr), nullptr);
    EXPECT_EQ(LibrarySymbol(1, "ProbeAdd"), nullptr);  // never opened
    EXPECT_EQ(LibrarySymbol(10, "ProbeAdd"), nullptr); // the capacity: named, not held
    EXPECT_EQ(LibrarySymbol(intptr_t(&handle), "ProbeAdd"), nullptr); // no such object

    LibraryClose(0);
    EXPECT_EQ(Unloaded, "A");
    EXPECT_FALSE(Loaded(PROBE_A));
    EXPECT_EQ(LibrarySymbol(0, "ProbeAdd"), nullptr);
    LibraryClose(0); // nothing left to close
}

TEST_F(LibrariesTest, FailedOpenLeavesTheTableAsItWas) {
    ASSERT_NE(OpenProbe(0, PROBE_A), 0);
    EXPECT_EQ(LibraryOpen(0, nullptr), 0);
    EXPECT_EQ(LibraryOpen(0, "/nonexistent/probe.so"), 0);
    EXPECT_EQ(LibraryOpen(40, "/nonexistent/probe.so"), 0);
    EXPECT_EQ(LibraryTable.capacity, 10);
    EXPECT_EQ(Id(0), 'A');
    EXPECT_EQ(Unloaded, "");
    EXPECT_EQ(LibraryOpen(-2, PROBE_B), 0);
    EXPECT_FALSE(Loaded(PROBE_B));
}

TEST_F(LibrariesTest, ReopeningANumberReplacesItsLibrary) {
    ASSERT_NE(OpenProbe(0, PROBE_A), 0);
    ASSERT_NE(OpenProbe(0, PROBE_B), 0);
    EXPECT_EQ(Unloaded, "A");
    EXPECT_EQ(Id(0), 'B');

    // The same path again: the old reference is dropped, the library never leaves memory.
    ASSERT_NE(LibraryOpen(0, PROBE_B), 0);
    EXPECT_EQ(Unloaded, "A");
    LibraryClose(0);
    EXPECT_EQ(Unloaded, "AB");
    EXPECT_FALSE(Loaded(PROBE_B));
}

TEST_F(LibrariesTest, CloseAllTakesUnnumberedFirstThenNumbersFromTheTop) {
    ASSERT_NE(OpenProbe(0, PROBE_A), 0);
    ASSERT_NE(OpenProbe(40, PROBE_B), 0);
    EXPECT_EQ(LibraryTable.capacity, 70);
    intptr_t loose = OpenProbe(OBJECT_ANY, PROBE_C);
    ASSERT_NE(loose, 0);
    EXPECT_EQ(Id(loose), 'C');
    EXPECT_EQ(Id(40), 'B');

    LibraryCloseAll();
    EXPECT_EQ(Unloaded, "CBA");
    EXPECT_EQ(Id(loose), 0);
    EXPECT_EQ(LibraryTable.list, nullptr);
}
