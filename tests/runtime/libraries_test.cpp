#include "heaps_fixture.h"
#include "runtime/libraries.h"

#include <dlfcn.h>
#include <string>

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
    // Opens a probe under `number` and has it report its unloading; returns its number.
    static intptr_t OpenProbe(int32_t number, const char *path) {
        intptr_t result = LibraryOpen(number, path);
        intptr_t name = number == OBJECT_ANY ? result : number;
        auto setLog =
            reinterpret_cast<void (*)(void (*)(int))>(LibrarySymbol(name, "ProbeSetUnloadLog"));
        if (setLog)
            setLog(LogUnload);
        return result ? name : -1;
    }
    static int Id(intptr_t number) {
        auto id = reinterpret_cast<int (*)()>(LibrarySymbol(number, "ProbeId"));
        return id ? id() : 0;
    }
};

TEST_F(LibrariesTest, ExportsAreFoundByNameWhileTheLibraryIsOpen) {
    ASSERT_EQ(OpenProbe(0, PROBE_A), 0);
    auto add = reinterpret_cast<int (*)(int, int)>(LibrarySymbol(0, "ProbeAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(LibrarySymbol(0, "ProbeMissing"), nullptr);
    EXPECT_EQ(LibrarySymbol(0, nullptr), nullptr);
    EXPECT_EQ(LibrarySymbol(1, "ProbeAdd"), nullptr);  // never opened
    EXPECT_EQ(LibrarySymbol(10, "ProbeAdd"), nullptr); // the capacity: named, not held

    // A failed open leaves the table as it was.
    EXPECT_EQ(LibraryOpen(0, nullptr), 0);
    EXPECT_EQ(LibraryOpen(0, "/nonexistent/probe.so"), 0);
    EXPECT_EQ(LibraryOpen(40, "/nonexistent/probe.so"), 0);
    EXPECT_EQ(LibraryTable.capacity, 10);
    EXPECT_EQ(Id(0), 'A');

    LibraryClose(0);
    EXPECT_EQ(Unloaded, "A");
    EXPECT_EQ(dlopen(PROBE_A, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(LibrarySymbol(0, "ProbeAdd"), nullptr);
}

TEST_F(LibrariesTest, ReopeningANumberReplacesItsLibrary) {
    OpenProbe(0, PROBE_A);
    OpenProbe(0, PROBE_B);
    EXPECT_EQ(Unloaded, "A");
    EXPECT_EQ(Id(0), 'B');
    // The same path again: the old reference is dropped, the library never leaves memory.
    ASSERT_NE(LibraryOpen(0, PROBE_B), 0);
    EXPECT_EQ(Unloaded, "A");
    LibraryClose(0);
    EXPECT_EQ(Unloaded, "AB");
}

TEST_F(LibrariesTest, CloseAllTakesUnnumberedFirstThenNumbersFromTheTop) {
    OpenProbe(0, PROBE_A);
    OpenProbe(40, PROBE_B);
    EXPECT_EQ(LibraryTable.capacity, 70);
    intptr_t loose = OpenProbe(OBJECT_ANY, PROBE_C);
    EXPECT_EQ(Id(loose), 'C');
    LibraryCloseAll();
    EXPECT_EQ(Unloaded, "CBA");
    EXPECT_EQ(Id(loose), 0);
}
