#include "heaps_fixture.h"
#include "runtime/files.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Restores $TMPDIR as it was.
class TempPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *was = getenv("TMPDIR");
        hadTmpdir = was != nullptr;
        if (was)
            saved = was;
    }
    void TearDown() override {
        if (hadTmpdir)
            setenv("TMPDIR", saved.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    bool hadTmpdir = false;
    std::string saved;
};

TEST_F(TempPathTest, TakesAnAbsoluteTmpdirElseTmpAndEndsWithASlash) {
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(TempPathQuery(), 9);
    EXPECT_STREQ(TempPath, "/var/tmp/");
    setenv("TMPDIR", "/scratch/", 1);
    TempPathQuery();
    EXPECT_STREQ(TempPath, "/scratch/");
    setenv("TMPDIR", "relative/dir", 1);
    TempPathQuery();
    EXPECT_STREQ(TempPath, "/tmp/");
    setenv("TMPDIR", "", 1);
    TempPathQuery();
    EXPECT_STREQ(TempPath, "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(TempPathQuery(), 5);
    EXPECT_STREQ(TempPath, "/tmp/");
}

TEST_F(TempPathTest, LongerThan255CharactersFailsAndLeavesNothingToCreate) {
    std::string fits = "/" + std::string(253, 'd'); // 254, and the added slash makes 255
    setenv("TMPDIR", fits.c_str(), 1);
    EXPECT_EQ(TempPathQuery(), 255);
    EXPECT_EQ(TempPath[254], '/');

    std::string tooLong = "/" + std::string(254, 'd'); // 256 with the slash
    setenv("TMPDIR", tooLong.c_str(), 1);
    EXPECT_EQ(TempPathQuery(), 0);
    EXPECT_STREQ(TempPath, "");
    // The name built from the failed path is relative, and FileCreate refuses it.
    std::string name = std::string(TempPath) + "tolvmarka-probe.dll";
    EXPECT_EQ(FileCreate(0, name.c_str()), 0);
    EXPECT_NE(access(name.c_str(), F_OK), 0);
}

class FilesTest : public HeapsTest {
  protected:
    void SetUp() override {
        HeapsTest::SetUp();
        ASSERT_EQ(FileTableInit(), 1);
        char pattern[] = "/tmp/tolvmarka-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        FileCloseAll();
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        HeapsTest::TearDown();
    }
    std::string Path(const char *name) { return dir + "/" + name; }
    static void Put(const std::string &path, const std::string &text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Get(const std::string &path) {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
    static bool Open(intptr_t handle) { return fcntl(int(handle - 1), F_GETFD) != -1; }
    std::string dir;
};

TEST_F(FilesTest, StaleFileOfOursIsTruncatedAndWrittenWhole) {
    std::string path = Path("bassmod.dll");
    Put(path, std::string(100000, 'o'));
    intptr_t handle = FileCreate(0, path.c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(CurrentFile, handle);
    std::string data(300000, 'n');
    data[299999] = 'z';
    EXPECT_EQ(FileWriteData(data.data(), uint32_t(data.size())), 1);
    FileClose(0);
    EXPECT_FALSE(Open(handle));
    EXPECT_EQ(CurrentFile, 0); // never write through a closed descriptor
    EXPECT_EQ(Get(path), data);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 300000);

    EXPECT_EQ(FileDelete(path.c_str()), 1);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(FileDelete(path.c_str()), 0);
    EXPECT_EQ(FileDelete(nullptr), 0);
}

TEST_F(FilesTest, NewFileIsPrivate) {
    std::string path = Path("new.dll");
    mode_t mask = umask(0);
    intptr_t handle = FileCreate(0, path.c_str());
    umask(mask);
    ASSERT_NE(handle, 0);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FilesTest, PlantedLinksAndForeignFilesAreRefusedAndLeftAlone) {
    std::string target = Path("victim");
    Put(target, "precious");
    ASSERT_NE(FileCreate(0, target.c_str()), 0); // a current file that a refusal must drop
    FileClose(0);
    Put(target, "precious");

    std::string symlinked = Path("symlinked.dll");
    ASSERT_EQ(symlink(target.c_str(), symlinked.c_str()), 0);
    EXPECT_EQ(FileCreate(0, symlinked.c_str()), 0);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(FileWriteData("x", 1), 0);

    std::string hardlinked = Path("hardlinked.dll");
    ASSERT_EQ(link(target.c_str(), hardlinked.c_str()), 0);
    EXPECT_EQ(FileCreate(0, hardlinked.c_str()), 0);
    EXPECT_EQ(Get(target), "precious"); // not truncated before the refusal

    std::string fifo = Path("fifo.dll");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileCreate(0, fifo.c_str()), 0); // refused, and without waiting for a reader

    EXPECT_EQ(FileCreate(0, dir.c_str()), 0); // a directory
    FileHandle *slot = static_cast<FileHandle *>(ObjectFind(&FileTable, 0));
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, 0); // no refusal left a handle behind
}

TEST_F(FilesTest, FileOfAnotherUserIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file away";
    std::string path = Path("foreign.dll");
    Put(path, "theirs");
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(FileCreate(0, path.c_str()), 0);
    EXPECT_EQ(Get(path), "theirs");
}

TEST_F(FilesTest, ReopeningANumberClosesTheOldFileAndCloseAllClosesEverything) {
    intptr_t first = FileCreate(0, Path("a").c_str());
    intptr_t second = FileCreate(0, Path("b").c_str());
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(Open(first));
    EXPECT_TRUE(Open(second));

    intptr_t grown = FileCreate(15, Path("c").c_str());
    ASSERT_NE(grown, 0);
    EXPECT_EQ(FileTable.capacity, 25);
    intptr_t unnumbered = FileCreate(OBJECT_ANY, Path("d").c_str());
    ASSERT_NE(unnumbered, 0);
    FileHandle loose = *static_cast<FileHandle *>(ObjectFind(&FileTable, unnumbered));
    EXPECT_EQ(CurrentFile, loose);
    EXPECT_EQ(FileWriteData("d", 1), 1);

    FileCloseAll();
    EXPECT_FALSE(Open(second));
    EXPECT_FALSE(Open(grown));
    EXPECT_FALSE(Open(loose));
    EXPECT_EQ(ObjectFind(&FileTable, unnumbered), nullptr);
    EXPECT_EQ(FileWriteData("x", 1), 0);
    EXPECT_EQ(Get(Path("d")), "d");

    EXPECT_EQ(FileCreate(-2, Path("e").c_str()), 0); // bad numbers create nothing
    EXPECT_NE(access(Path("e").c_str(), F_OK), 0);
}

TEST_F(FilesTest, WriteNeedsACurrentFileABufferAndALength) {
    ASSERT_NE(FileCreate(0, Path("w").c_str()), 0);
    EXPECT_EQ(FileWriteData(nullptr, 4), 0);
    EXPECT_EQ(FileWriteData("abcd", 0), 0);
    EXPECT_EQ(FileWriteData("abcd", 4), 1);
    FileClose(0);
    FileClose(0); // a second close finds nothing
    EXPECT_EQ(Get(Path("w")), "abcd");
}
