// The show's side of the player: wrappers, error reports, music start and installation.
#include "assets/assets.h"
#include "core/frame_loop.h"
#include "core/startup.h"
#include "display/headless.h"
#include "display/window.h"
#include "music/music.h"
#include "music/player.h"
#include "runtime/files.h"
#include "runtime/libraries.h"
#include "runtime/runtime.h"
#include "runtime/strings.h"
#include "tests/music/scripted_player.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string MakePrivateTemp() {
    char pattern[] = "/tmp/tolvmarka-music-XXXXXX";
    std::string dir = mkdtemp(pattern);
    setenv("TMPDIR", dir.c_str(), 1);
    return dir;
}

void RemoveTree(const std::string &dir) {
    std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(command.c_str()), 0);
}

std::vector<unsigned char> ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MusicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        temp = MakePrivateTemp();
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        HeadlessSetBoxAnswer(IDOK);
        ASSERT_NE(LibraryOpen(PLAYER_LIBRARY, SCRIPTED_PLAYER), 0);
        auto get = reinterpret_cast<ScriptedPlayerGet_t>(
            LibrarySymbol(PLAYER_LIBRARY, "ScriptedPlayerGet"));
        ASSERT_NE(get, nullptr);
        script = get();
        *script = ScriptedPlayer{0, 1, 0, 0, {}};
        boxesBefore = HeadlessBoxCount();
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        RemoveTree(temp);
    }
    uint32_t BoxesShown() const { return HeadlessBoxCount() - boxesBefore; }

    std::string temp;
    ScriptedPlayer *script = nullptr;
    uint32_t boxesBefore = 0;
};

TEST_F(MusicTest, KnownCodesShowTheirTextInABoxAndOthersNothing) {
    const struct {
        int32_t code;
        const char *text;
    } known[] = {{0, "All is OK"},
                 {3, "Can't Find a Free Sound Driver"},
                 {8, "BASS_Init Has Not Been Successfully Called"},
                 {30, "No Sync Avaliable"},
                 {-1, "Some Other Mystery Error"}};
    for (const auto &entry : known) {
        script->errorCode = entry.code;
        uint32_t before = HeadlessBoxCount();
        EXPECT_STREQ(PlayerErrorText(PLAYER_LIBRARY), entry.text);
        EXPECT_EQ(HeadlessBoxCount(), before + 1) << entry.code;
        EXPECT_STREQ(HeadlessLastBoxCaption(), "Error");
        // A carriage return right after the colon, and no line feed.
        EXPECT_EQ(std::string(HeadlessLastBoxText()),
                  std::string("Error Description:\r") + entry.text);
        EXPECT_EQ(HeadlessLastBoxFlags(), uint32_t(MB_ICONHAND));
    }
    const uint32_t boxes = BoxesShown();
    for (int32_t code : {4, 9, 15, 17, 22, 31, 1000, -2}) {
        script->errorCode = code;
        EXPECT_STREQ(PlayerErrorText(PLAYER_LIBRARY), "") << code;
    }
    EXPECT_EQ(BoxesShown(), boxes);
}

TEST_F(MusicTest, ReportingWrappersShowTheBoxOnlyOnTheirFailureValue) {
    script->errorCode = PLAYER_ERROR_FORMAT;
    script->result = 1;
    EXPECT_EQ(PlayerMusicLoad(PLAYER_LIBRARY, 1, ModuleImage, 0, 0, MUSIC_LOOP), 1);
    EXPECT_NE(PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_INSTRUMENT, 6, SyncCallback, 4), 0u);
    EXPECT_EQ(BoxesShown(), 0u);

    script->result = 0;
    EXPECT_EQ(PlayerMusicLoad(PLAYER_LIBRARY, 1, ModuleImage, 0, 0, MUSIC_LOOP), 0);
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rUnsupported Format");
    EXPECT_EQ(PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_INSTRUMENT, 6, SyncCallback, 4), 0u);
    EXPECT_STREQ(PlayerMusicGetName(PLAYER_LIBRARY), "");
    EXPECT_EQ(BoxesShown(), 3u);

    // Positions are cut to 16 signed bits: 0xFFFF reads as -1, a failure.
    script->result = 0x1FFFF;
    EXPECT_EQ(PlayerMusicGetPosition(PLAYER_LIBRARY), -1);
    EXPECT_EQ(BoxesShown(), 4u);
    script->result = 0x10005;
    EXPECT_EQ(PlayerMusicGetPosition(PLAYER_LIBRARY), 5);
    EXPECT_EQ(BoxesShown(), 4u);
}

// What the show listens for in the song: orders 2, 4 and 6 from their first row, and every
// note of instrument 6; then the music stands paused until the second title.
TEST_F(MusicTest, MusicStartListensForTheScenesOrdersAndThePulseInstrument) {
    MusicStart(SyncCallback);
    std::vector<std::vector<uintptr_t>> syncs;
    std::string calls;
    for (int i = 0; i < script->callCount; i++) {
        const ScriptedCall &call = script->calls[i];
        calls += std::string(call.name) + " ";
        if (std::string(call.name) == "MusicSetSync")
            syncs.push_back({call.args[0], call.args[1], call.args[3]});
    }
    std::sort(syncs.begin(), syncs.end());
    const std::vector<std::vector<uintptr_t>> expected = {{SYNC_INSTRUMENT, 0xFFFF0006u, 4},
                                                          {SYNC_POSITION_ONCE, 2, 1},
                                                          {SYNC_POSITION_ONCE, 4, 2},
                                                          {SYNC_POSITION_ONCE, 6, 3}};
    EXPECT_EQ(syncs, expected);
    EXPECT_EQ(calls.substr(calls.size() - 21), "MusicPlay MusicPause ");
}

TEST_F(MusicTest, AMissingExportOrLibraryCallsNothingAndGivesZero) {
    EXPECT_EQ(PlayerMusicStop(PLAYER_LIBRARY), 0); // the stand-in has no such export
    EXPECT_EQ(script->callCount, 0);

    LibraryClose(PLAYER_LIBRARY);
    EXPECT_EQ(PlayerMusicPlay(PLAYER_LIBRARY), 0);
    EXPECT_EQ(PlayerInit(PLAYER_LIBRARY, nullptr, DEVICE_NONE, OUTPUT_RATE, 0), 0);
    // With no library the code query gets 0 too, so the failed load reports "All is OK".
    EXPECT_EQ(PlayerMusicLoad(PLAYER_LIBRARY, 1, ModuleImage, 0, 0, MUSIC_LOOP), 0);
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rAll is OK");
    EXPECT_EQ(BoxesShown(), 1u);
}

TEST_F(MusicTest, WrappersLowerTheirLimitsAndPackPositions) {
    PlayerMusicSetAmplify(PLAYER_LIBRARY, 150);
    PlayerMusicSetAmplify(PLAYER_LIBRARY, 60);
    PlayerMusicSetPositionScaler(PLAYER_LIBRARY, 300);
    PlayerSetVolume(PLAYER_LIBRARY, 101);
    PlayerMusicSetPosition(PLAYER_LIBRARY, 3, 5);
    ASSERT_EQ(script->callCount, 5);
    EXPECT_EQ(script->calls[0].args[0], 100u);
    EXPECT_EQ(script->calls[1].args[0], 60u);
    EXPECT_EQ(script->calls[2].args[0], 256u);
    EXPECT_EQ(script->calls[3].args[0], 100u);
    EXPECT_EQ(script->calls[4].args[0], 0x00050003u);

    EXPECT_EQ(MakeLong(2, -1), 0xFFFF0002u);
    EXPECT_EQ(MakeLong(0x12345, 0x10001), 0x00012345u);
    script->version = 0x00020004;
    char *start = StringTop;
    EXPECT_STREQ(PlayerGetVersion(PLAYER_LIBRARY), "4.2");
    StringTop = start;
}

TEST_F(MusicTest, AReportFromThePlayersThreadLeavesTheStringBufferAlone) {
    char *start = StringTop;
    StrAppend("FRAME TEXT");
    std::string before(StringBuffer, STRING_BUFFER_SIZE);
    script->errorCode = PLAYER_ERROR_NOSYNC;
    std::thread player([] { PlayerErrorText(PLAYER_LIBRARY); });
    player.join();
    EXPECT_STREQ(HeadlessLastBoxText(), "Error Description:\rNo Sync Avaliable");
    EXPECT_EQ(std::string(StringBuffer, STRING_BUFFER_SIZE), before);
    StringTop = start;
}

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        temp = MakePrivateTemp();
        PlayerDevice = DEVICE_NONE;
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        path = temp + "/bassmod.dll";
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        RemoveTree(temp);
    }
    std::string temp, path;
};

TEST_F(InstallTest, InstallWritesTheEmbeddedPlayerIntoAFolderOfItsOwnAndReleaseRemovesBoth) {
    {
        std::ofstream stale(path, std::ios::binary);
        stale << "stale";
    }
    ASSERT_EQ(PlayerInstall(PlayerDevice), PLAYER_INSTALLED);
    std::string dir = PlayerDir, file = PlayerFilePath();
    EXPECT_EQ(dir.rfind(temp + "/tolvmarka.", 0), 0u) << dir;
    std::vector<unsigned char> written = ReadFile(file);
    ASSERT_EQ(written.size(), size_t(PlayerImageEnd - PlayerImage));
    EXPECT_EQ(memcmp(written.data(), PlayerImage, written.size()), 0);
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_NE(LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicDecode"), nullptr);

    PlayerRelease();
    EXPECT_NE(access(dir.c_str(), F_OK), 0);
    EXPECT_EQ(ReadFile(path).size(), 5u) << "a file of that name elsewhere is left alone";
    EXPECT_EQ(LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicPlay"), nullptr);
}

int32_t PrintBox(const char *caption, const char *text, uint32_t, void *) {
    fprintf(stderr, "box %s: %s\n", caption, text);
    return IDOK;
}

TEST_F(InstallTest, AnOverlongDirectoryShowsTheInstallBoxAndFails) {
    HeadlessSetBoxHandler(PrintBox, nullptr);
    std::string overlong = temp + "/" + std::string(300, 'd');
    setenv("TMPDIR", overlong.c_str(), 1);
    EXPECT_EXIT(exit(PlayerInstall(PlayerDevice) == PLAYER_INSTALL_FAILED ? 0 : 1),
                ::testing::ExitedWithCode(0),
                "box Tolvmarka: Failed to install bassmod to UserTempPath");
    HeadlessSetBoxHandler(nullptr, nullptr);
}

} // namespace
