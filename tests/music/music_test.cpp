// The show's side of the player: wrappers, error reports, music start and installation.
#include "assets/assets.h"
#include "core/frame_loop.h"
#include "core/startup.h"
#include "display/headless.h"
#include "display/window.h"
#include "music/music.h"
#include "runtime/runtime.h"
#include "runtime/strings.h"
#include "tests/core/probe_player.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int32_t L = PLAYER_LIBRARY;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MusicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvmarka-music-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp = pattern;
        setenv("TMPDIR", temp.c_str(), 1);
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        ASSERT_NE(player = ProbeInstall(PROBE_PLAYER), nullptr);
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        std::filesystem::remove_all(temp);
    }

    std::string temp;
    ProbePlayer *player = nullptr;
};

// Known codes show their text in an error box, a carriage return right after the colon and
// no line feed; other codes give "" and no box.
TEST_F(MusicTest, KnownCodesShowTheirTextInABoxAndOthersNothing) {
    const struct {
        int32_t code;
        const char *text;
    } cases[] = {{0, "All is OK"},
                 {3, "Can't Find a Free Sound Driver"},
                 {8, "BASS_Init Has Not Been Successfully Called"},
                 {30, "No Sync Avaliable"},
                 {-1, "Some Other Mystery Error"}};
    for (int32_t code : {4, 9, 15, 17, 22, 31, 1000, -2}) {
        player->errorCode = code;
        const uint32_t before = HeadlessBoxCount();
        EXPECT_STREQ(PlayerErrorText(L), "") << code;
        EXPECT_EQ(HeadlessBoxCount(), before) << code;
    }
    for (const auto &c : cases) {
        player->errorCode = c.code;
        const uint32_t before = HeadlessBoxCount();
        EXPECT_STREQ(PlayerErrorText(L), c.text);
        EXPECT_EQ(HeadlessBoxCount(), before + 1) << c.code;
        EXPECT_STREQ(HeadlessLastBoxCaption(), "Error");
        EXPECT_EQ(HeadlessLastBoxText(), std::string("Error Description:\r") + c.text);
        EXPECT_EQ(HeadlessLastBoxFlags(), uint32_t(MB_ICONHAND));
    }
}

// Each wrapper on the probe's answer: what it returns, the first argument it passed on (its
// limits lowered, positions packed), and whether it reported a failure in a box.
TEST_F(MusicTest, WrappersLowerTheirLimitsAndReportOnlyTheirFailureValue) {
    const struct {
        const char *what;
        uintptr_t answer;
        std::function<int64_t()> call;
        int64_t returned;
        uintptr_t passed;
        uint32_t boxes;
    } cases[] = {
        {"amplify over", 1, [] { return PlayerMusicSetAmplify(L, 150); }, 1, 100, 0},
        {"amplify", 1, [] { return PlayerMusicSetAmplify(L, 60); }, 1, 60, 0},
        {"scaler", 1, [] { return PlayerMusicSetPositionScaler(L, 300); }, 1, 256, 0},
        {"volume", 1, [] { return PlayerSetVolume(L, 101); }, 1, 100, 0},
        {"volume fails", uintptr_t(-1), [] { return PlayerSetVolume(L, 7); }, -1, 7, 1},
        {"position", 1, [] { return PlayerMusicSetPosition(L, 3, 5); }, 1, 0x50003, 0},
        {"load", 1, [] { return PlayerMusicLoad(L, 1, ModuleImage, 0, 0, MUSIC_LOOP); }, 1, 1, 0},
        {"load fails", 0, [] { return PlayerMusicLoad(L, 1, ModuleImage, 0, 0, MUSIC_LOOP); }, 0, 1,
         1},
        {"sync", 9, [] { return PlayerMusicSetSync(L, 1, 6, SyncCallback, 4); }, 9, 1, 0},
        {"sync fails", 0, [] { return PlayerMusicSetSync(L, 1, 6, SyncCallback, 4); }, 0, 1, 1},
        // Positions are cut to 16 signed bits: 0xFFFF reads as -1, a failure.
        {"position read", 0x10005, [] { return PlayerMusicGetPosition(L); }, 5, 0, 0},
        {"position fails", 0x1FFFF, [] { return PlayerMusicGetPosition(L); }, -1, 0, 1},
    };
    for (const auto &c : cases) {
        player->errorCode = PLAYER_ERROR_FORMAT;
        player->result = c.answer;
        player->callCount = 0;
        const uint32_t before = HeadlessBoxCount();
        EXPECT_EQ(c.call(), c.returned) << c.what;
        ASSERT_EQ(player->callCount, 1) << c.what;
        EXPECT_EQ(player->calls[0].args[0], c.passed) << c.what;
        EXPECT_EQ(HeadlessBoxCount(), before + c.boxes) << c.what;
    }
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rUnsupported Format");
    player->result = 0;
    EXPECT_STREQ(PlayerMusicGetName(L), "") << "a missing name is a failure too";
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rUnsupported Format");

    player->version = 0x00020004;
    char *start = StringTop;
    EXPECT_STREQ(PlayerGetVersion(L), "4.2");
    StringTop = start;
}

// What the show listens for in the song: orders 2, 4 and 6 from their first row, and every
// note of instrument 6; then the music stands paused until the second title.
TEST_F(MusicTest, MusicStartListensForTheScenesOrdersAndThePulseInstrument) {
    MusicStart(SyncCallback);
    std::vector<std::vector<uintptr_t>> syncs;
    for (int i = 0; i < player->callCount; i++)
        if (std::string(player->calls[i].name) == "MusicSetSync")
            syncs.push_back(
                {player->calls[i].args[0], player->calls[i].args[1], player->calls[i].args[3]});
    std::sort(syncs.begin(), syncs.end());
    const std::vector<std::vector<uintptr_t>> expected = {{SYNC_INSTRUMENT, 0xFFFF0006u, 4},
                                                          {SYNC_POSITION_ONCE, 2, 1},
                                                          {SYNC_POSITION_ONCE, 4, 2},
                                                          {SYNC_POSITION_ONCE, 6, 3}};
    EXPECT_EQ(syncs, expected);
    ASSERT_EQ(player->callCount, 7);
    EXPECT_STREQ(player->calls[5].name, "MusicPlay");
    EXPECT_STREQ(player->calls[6].name, "MusicPause");
}

TEST_F(MusicTest, AMissingExportOrLibraryCallsNothingAndGivesZero) {
    EXPECT_EQ(PlayerMusicStop(L), 0); // the probe has no such export
    EXPECT_EQ(player->callCount, 0);

    LibraryClose(L);
    const uint32_t before = HeadlessBoxCount();
    EXPECT_EQ(PlayerMusicPlay(L), 0);
    EXPECT_EQ(PlayerInit(L, nullptr, DEVICE_NONE, OUTPUT_RATE, 0), 0);
    // With no library the code query gets 0 too, so the failed load reports "All is OK".
    EXPECT_EQ(PlayerMusicLoad(L, 1, ModuleImage, 0, 0, MUSIC_LOOP), 0);
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rAll is OK");
    EXPECT_EQ(HeadlessBoxCount(), before + 1);
}

TEST_F(MusicTest, AReportFromThePlayersThreadLeavesTheStringBufferAlone) {
    char *start = StringTop;
    StrAppend("FRAME TEXT");
    std::string before(StringBuffer, STRING_BUFFER_SIZE);
    player->errorCode = PLAYER_ERROR_NOSYNC;
    std::thread([] { PlayerErrorText(L); }).join();
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rNo Sync Avaliable");
    EXPECT_EQ(std::string(StringBuffer, STRING_BUFFER_SIZE), before);
    StringTop = start;
}

TEST_F(MusicTest, InstallWritesTheEmbeddedPlayerIntoAFolderOfItsOwnAndReleaseRemovesBoth) {
    const std::string stale = temp + "/bassmod.dll";
    std::ofstream(stale, std::ios::binary) << "stale";
    ASSERT_EQ(PlayerInstall(DEVICE_NONE), PLAYER_INSTALLED);
    const std::string dir = PlayerDir, file = PlayerFilePath();
    EXPECT_EQ(dir.rfind(temp + "/tolvmarka.", 0), 0u) << dir;
    EXPECT_EQ(ReadFile(file), std::string(PlayerImage, PlayerImageEnd));
    struct stat info;
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_NE(LibrarySymbol(L, "BASSMOD_MusicDecode"), nullptr);

    PlayerRelease();
    EXPECT_NE(access(dir.c_str(), F_OK), 0);
    EXPECT_EQ(ReadFile(stale), "stale") << "a file of that name elsewhere is left alone";
    EXPECT_EQ(LibrarySymbol(L, "BASSMOD_MusicPlay"), nullptr);
}

} // namespace
