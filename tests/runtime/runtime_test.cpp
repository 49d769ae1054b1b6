// The runtime services the show stands on: heaps, numbered objects, files, libraries,
// strings and the random generator.
#include "runtime/files.h"
#include "runtime/libraries.h"
#include "runtime/random.h"
#include "tests/support/heaps_fixture.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

std::string Unloaded; // probe ids in the order they were unloaded

// Called by each probe as it is unloaded.
extern "C" void ProbeUnloaded(int id) {
    Unloaded += char(id);
}

namespace {

using RuntimeTest = HeapsTest;

TEST_F(RuntimeTest, HeapsRefuseForeignBlocksAndListsUnlinkFromAnywhere) {
    Heap *other = HeapCreate(0);
    void *foreign = HeapAlloc(other, 0, 16);
    EXPECT_EQ(HeapFree(MainHeap, foreign), 0);
    EXPECT_EQ(HeapBlockCount(other), 1u);
    EXPECT_EQ(HeapFree(other, foreign), 1);
    HeapDestroy(other);

    ObjectNode *list = nullptr;
    void *a = ListAdd(&list, 8), *b = ListAdd(&list, 8), *c = ListAdd(&list, 8);
    ListRemove(&list, b); // from the middle: a's link back must now lead to c
    EXPECT_EQ(ListFirst(list), c);
    EXPECT_EQ(ListNext(c), a);
    ListRemove(&list, a);
    EXPECT_EQ(ListFirst(list), c);
    EXPECT_EQ(ListNext(c), nullptr);
    ListRemove(&list, c);
    EXPECT_EQ(ListFirst(list), nullptr);
    EXPECT_EQ(ListHolds(list, a), 0);
}

// A new file is created private; anything already at the name (a stale file, even our own,
// a planted link or fifo) and a relative name are refused, and left alone.
TEST_F(RuntimeTest, FilesAreCreatedPrivateAndNeverThroughAPlantedName) {
    ASSERT_EQ(FileTableInit(), 1);
    char pattern[] = "/tmp/tolvmarka-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern, ours = dir + "/ours", link = dir + "/link",
                      fifo = dir + "/fifo", target = dir + "/target", stale = dir + "/stale";
    std::ofstream(stale) << "stale";
    std::ofstream(target) << "keep";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    ASSERT_NE(FileCreate(0, ours.c_str()), 0);
    EXPECT_EQ(FileWriteData("new", 3), 1);
    FileClose(0);
    struct stat st;
    ASSERT_EQ(stat(ours.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 3);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const std::string &planted : {stale, link, fifo, std::string("relative")}) {
        EXPECT_EQ(FileCreate(0, planted.c_str()), 0) << planted;
        EXPECT_EQ(FileWriteData("x", 1), 0) << "no current file after " << planted;
    }
    std::string kept, staleText;
    std::ifstream(target) >> kept;
    std::ifstream(stale) >> staleText;
    EXPECT_EQ(kept, "keep");
    EXPECT_EQ(staleText, "stale");
    EXPECT_EQ(FileDelete(ours.c_str()), 1);
    EXPECT_EQ(FileDelete(ours.c_str()), 0);
    FileCloseAll();
    EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
}

TEST(TempPath, AbsoluteTmpdirElseTmpWithASlashAndAtMost255Characters) {
    const std::string fits = "/" + std::string(253, 'd'); // 255 with the slash
    const struct {
        std::string tmpdir, path;
    } cases[] = {{"/var/tmp", "/var/tmp/"}, {"/scratch/", "/scratch/"},
                 {"relative", "/tmp/"},     {"", "/tmp/"},
                 {fits, fits + "/"},        {fits + "d", ""}};
    for (const auto &c : cases) {
        setenv("TMPDIR", c.tmpdir.c_str(), 1);
        EXPECT_EQ(TempPathQuery(), int32_t(c.path.size())) << c.tmpdir;
        EXPECT_EQ(TempPath, c.path);
    }
    unsetenv("TMPDIR");
}

int Id(intptr_t number) {
    auto id = reinterpret_cast<int (*)()>(LibrarySymbol(number, "ProbeId"));
    return id ? id() : 0;
}

// Reopening a number unloads its old library; closing all takes the unnumbered ones newest
// first, then the numbers from the top.
TEST_F(RuntimeTest, LibrariesAreFoundByNumberAndClosedInTheirOrder) {
    ASSERT_EQ(LibraryTableInit(), 1);
    Unloaded.clear();
    LibraryOpen(0, PROBE_A);
    EXPECT_EQ(Id(0), 'A');
    LibraryOpen(0, PROBE_B);
    EXPECT_EQ(Unloaded, "A");
    EXPECT_EQ(Id(0), 'B');
    EXPECT_EQ(LibraryOpen(0, "/nonexistent.so"), 0);
    EXPECT_EQ(Id(0), 'B') << "a failed open keeps the old library";
    EXPECT_EQ(LibrarySymbol(0, "NoSuchExport"), nullptr);
    LibraryOpen(12, PROBE_A);
    intptr_t any = LibraryOpen(OBJECT_ANY, PROBE_C);
    EXPECT_EQ(Id(any), 'C');
    Unloaded.clear();
    LibraryCloseAll();
    EXPECT_EQ(Unloaded, "CAB");
    EXPECT_EQ(LibrarySymbol(0, "ProbeId"), nullptr);
}

// Expressions follow on at StringTop; a write that does not fit is cut with its NUL on the
// buffer's last byte.
TEST_F(RuntimeTest, StringsFollowOnAndAreCutAtTheBuffersEnd) {
    char *start = StringTop;
    EXPECT_EQ(StrFromInt(-2147483647 - 1), 1);
    EXPECT_EQ(StrAppend(nullptr), 1);
    EXPECT_EQ(StrAppend("|"), 1);
    EXPECT_EQ(StrFromInt(7), 1);
    EXPECT_STREQ(start, "-2147483648|7");
    EXPECT_EQ(StringTop, start + 13);

    StringTop = StringBuffer + STRING_BUFFER_SIZE - 10;
    EXPECT_EQ(StrAppend("012345678"), 1);
    EXPECT_EQ(StringCut, 0);
    StringTop -= 9;
    EXPECT_EQ(StrAppend("0123456789"), 0);
    EXPECT_EQ(StringCut, 1);
    EXPECT_EQ(StringTop, StringBuffer + STRING_BUFFER_SIZE - 1);
    EXPECT_STREQ(StringTop - 9, "012345678");
    EXPECT_EQ(StrAppend("x"), 0);
}

TEST(Random, SeededDrawsRepeatAndCoverTheWholeRange) {
    RandomSeed(0);
    uint64_t first = RandomNext();
    RandomSeed(0);
    EXPECT_EQ(RandomNext(), first);
    RandomSeed(1);
    EXPECT_NE(RandomNext(), first);
    RandomSeed(0x2B1Du);
    int seen[4] = {};
    for (int i = 0; i < 4000; i++) {
        int32_t draw = RandomInt(3);
        ASSERT_TRUE(draw >= 0 && draw <= 3) << draw;
        seen[draw]++;
    }
    for (int count : seen)
        EXPECT_GT(count, 800) << "both ends of the range are reached, evenly";
    EXPECT_EQ(RandomInt(-1), INT32_MIN);
}

} // namespace
