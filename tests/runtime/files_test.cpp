#include "heaps_fixture.h"
#include "runtime/files.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

TEST(TempPath, AbsoluteTmpdirElseTmpAlwaysWithASlashAndAtMost255Characters) {
    const char *was = getenv("TMPDIR");
    std::string saved = was ? was : "";
    const std::string fits = "/" + std::string(253, 'd'); // 255 with the added slash
    const struct {
        const char *tmpdir;
        const char *path;
    } cases[] = {{"/var/tmp", "/var/tmp/"}, {"/scratch/", "/scratch/"},
                 {"relative", "/tmp/"},     {"", "/tmp/"},
                 {nullptr, "/tmp/"},        {fits.c_str(), nullptr}};
    for (const auto &c : cases) {
        c.tmpdir ? setenv("TMPDIR", c.tmpdir, 1) : unsetenv("TMPDIR");
        std::string expected = c.path ? c.path : fits + "/";
        EXPECT_EQ(TempPathQuery(), int32_t(expected.size())) << c.tmpdir;
        EXPECT_EQ(TempPath, expected);
    }
    std::string tooLong = fits + "d";
    setenv("TMPDIR", tooLong.c_str(), 1);
    EXPECT_EQ(TempPathQuery(), 0);
    EXPECT_STREQ(TempPath, "");
    // The name built from the failed path is relative, and FileCreate refuses it.
    EXPECT_EQ(FileCreate(0, "tolvmarka-probe.dll"), 0);
    EXPECT_NE(access("tolvmarka-probe.dll", F_OK), 0);
    was ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
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
        EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
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

TEST_F(FilesTest, AnExistingFileIsLeftAloneANewOneWrittenWholeAndPrivate) {
    std::string path = Path("bassmod.dll");
    Put(path, std::string(100000, 'o'));
    EXPECT_EQ(FileCreate(0, path.c_str()), 0);
    EXPECT_EQ(Get(path).size(), 100000u);
    ASSERT_EQ(unlink(path.c_str()), 0);
    intptr_t handle = FileCreate(0, path.c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(FileWriteData(nullptr, 4), 0);
    EXPECT_EQ(FileWriteData("abcd", 0), 0);
    std::string data(300000, 'n');
    EXPECT_EQ(FileWriteData(data.data(), uint32_t(data.size())), 1);
    FileClose(0);
    EXPECT_FALSE(Open(handle));
    EXPECT_EQ(FileWriteData("x", 1), 0); // never through a closed descriptor
    EXPECT_EQ(Get(path), data);

    EXPECT_EQ(FileDelete(path.c_str()), 1);
    EXPECT_EQ(FileDelete(path.c_str()), 0);
    mode_t mask = umask(0);
    ASSERT_NE(FileCreate(0, path.c_str()), 0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FilesTest, PlantedLinksFifosAndForeignFilesAreRefusedAndLeftAlone) {
    std::string target = Path("victim");
    ASSERT_NE(FileCreate(0, target.c_str()), 0); // a current file that a refusal must drop
    FileWriteData("precious", 8);
    FileClose(1);

    std::string symlinked = Path("symlinked.dll"), hardlinked = Path("hardlinked.dll");
    ASSERT_EQ(symlink(target.c_str(), symlinked.c_str()), 0);
    EXPECT_EQ(FileCreate(1, symlinked.c_str()), 0); // the target has one link until below
    EXPECT_EQ(FileWriteData("x", 1), 0);
    ASSERT_EQ(link(target.c_str(), hardlinked.c_str()), 0);
    EXPECT_EQ(FileCreate(1, hardlinked.c_str()), 0);
    std::string fifo = Path("fifo.dll");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileCreate(1, fifo.c_str()), 0); // refused, and without waiting for a reader
    EXPECT_EQ(FileCreate(1, dir.c_str()), 0);
    if (geteuid() == 0) { // only root can give a file away
        std::string foreign = Path("foreign.dll");
        Put(foreign, "theirs");
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(FileCreate(1, foreign.c_str()), 0);
        EXPECT_EQ(Get(foreign), "theirs");
    }
    FileClose(0);
    EXPECT_EQ(Get(target), "precious"); // not truncated before any refusal
    EXPECT_EQ(*static_cast<FileHandle *>(ObjectFind(&FileTable, 1)), 0);
}

TEST_F(FilesTest, ReopeningANumberClosesTheOldFileAndCloseAllClosesEverything) {
    intptr_t first = FileCreate(0, Path("a").c_str());
    intptr_t second = FileCreate(0, Path("b").c_str());
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(Open(first));
    intptr_t grown = FileCreate(15, Path("c").c_str());
    ASSERT_NE(grown, 0);
    EXPECT_EQ(FileTable.capacity, 25);
    intptr_t unnumbered = FileCreate(OBJECT_ANY, Path("d").c_str());
    ASSERT_NE(unnumbered, 0);
    FileHandle loose = *static_cast<FileHandle *>(ObjectFind(&FileTable, unnumbered));
    EXPECT_EQ(FileWriteData("d", 1), 1);

    FileCloseAll();
    EXPECT_FALSE(Open(second) || Open(grown) || Open(loose));
    EXPECT_EQ(ObjectFind(&FileTable, unnumbered), nullptr);
    EXPECT_EQ(Get(Path("d")), "d");
    EXPECT_EQ(FileCreate(-2, Path("e").c_str()), 0); // bad numbers create nothing
    EXPECT_NE(access(Path("e").c_str(), F_OK), 0);
}
