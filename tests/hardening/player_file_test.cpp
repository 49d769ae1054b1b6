// The player file on an unlucky disk, and the player's module loader on paths that are no
// module file.
#include "core/startup.h"
#include "display/headless.h"
#include "display/window.h"
#include "music/player.h"
#include "runtime/libraries.h"
#include "runtime/runtime.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PlayerFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvmarka-playerfile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        setenv("TMPDIR", temp.c_str(), 1);
        PlayerDevice = DEVICE_NONE;
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        EXPECT_EQ(system(("rm -rf '" + temp + "'").c_str()), 0);
    }
    bool TempEmpty() { return system(("test -z \"$(ls -A '" + temp + "')\"").c_str()) == 0; }
    std::string temp;
};

int32_t PrintBox(const char *caption, const char *text, uint32_t, void *) {
    fprintf(stderr, "box %s: %s\n", caption, text);
    return IDOK;
}

// A file-size limit cuts the write short (SIGXFSZ ignored, as the show does): the install
// must fail as a file that cannot be created and take its file and folder with it, instead
// of loading a cut library.
void InstallUnderASizeLimit() {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {16384, 16384};
    setrlimit(RLIMIT_FSIZE, &limit);
    exit(PlayerInstall(PlayerDevice) == PLAYER_INSTALL_FAILED ? 0 : 1);
}

TEST_F(PlayerFileTest, AShortWriteShowsTheInstallBoxAndLeavesNothing) {
    HeadlessSetBoxHandler(PrintBox, nullptr);
    EXPECT_EXIT(InstallUnderASizeLimit(), ::testing::ExitedWithCode(0),
                "box Tolvmarka: Failed to install bassmod to UserTempPath");
    HeadlessSetBoxHandler(nullptr, nullptr);
    EXPECT_TRUE(TempEmpty());
}

TEST_F(PlayerFileTest, TheModuleLoaderRefusesWhatIsNoRegularFileOfAModulesSize) {
    ASSERT_EQ(PlayerInstall(PlayerDevice), PLAYER_INSTALLED);
    auto load =
        reinterpret_cast<BASSMOD_MusicLoad_t>(LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicLoad"));
    auto error = reinterpret_cast<BASSMOD_ErrorGetCode_t>(
        LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_ErrorGetCode"));
    ASSERT_TRUE(load && error);
    std::string huge = temp + "/huge.xm", fifo = temp + "/fifo.xm";
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(fd, off_t(65) << 20), 0); // sparse: no disk needed
    close(fd);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {temp, huge, fifo}) {
        EXPECT_EQ(load(0, path.c_str(), 0, 0, 0), 0) << path;
        EXPECT_EQ(error(), PLAYER_ERROR_FILEOPEN) << path; // not read, not parsed
    }
    PlayerRelease();
}

} // namespace
