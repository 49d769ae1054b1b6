// The player file on a system where the temporary directory is shared: a folder of this
// run's own, reached through its descriptor, and a file loaded through the descriptor it was
// written with.
#include "assets/assets.h"
#include "music/player.h"
#include "runtime/strings.h"

#include <cstdio>

char PlayerDir[PLAYER_DIR_SIZE];
int PlayerDirDescriptor = -1;

namespace {

constexpr const char *PLAYER_DIR_PATTERN = "tolvmarka.XXXXXX";

// TempPath + the folder's pattern, made into a new folder. An empty TempPath (too long)
// refuses, like a path that would be cut.
int PlayerDirCreate() {
    PlayerDir[0] = '\0';
    PlayerDirDescriptor = -1;
    if (TempPath[0] == '\0')
        return 0;
    snprintf(PlayerDir, sizeof PlayerDir, "%s%s", TempPath, PLAYER_DIR_PATTERN);
    PlayerDirDescriptor = DirectoryCreate(PlayerDir);
    if (PlayerDirDescriptor >= 0)
        return 1;
    PlayerDir[0] = '\0';
    return 0;
}

} // namespace

const char *PlayerFilePath() {
    if (PlayerDirDescriptor < 0)
        return nullptr;
    StringCut = 0;
    char *start = StringTop;
    StrAppend(FD_PATH_PREFIX);
    StrFromInt(PlayerDirDescriptor);
    StrAppend("/");
    StrAppend(PLAYER_FILE_NAME);
    StringTop = start;
    // A cut path names some other file: refuse it like a file that cannot be created.
    return StringCut ? nullptr : start;
}

void PlayerFileRemove() {
    FileClose(PLAYER_FILE);
    if (PlayerDirDescriptor < 0)
        return;
    if (const char *path = PlayerFilePath())
        FileDelete(path);
    DirectoryDelete(PlayerDir, PlayerDirDescriptor);
    PlayerDirDescriptor = -1;
    PlayerDir[0] = '\0';
}

int PlayerFileWrite() {
    // A short write (a full disk, a file-size limit) would leave a cut library that faults
    // when it is mapped: it counts as a file that cannot be created.
    if (PlayerDirCreate() && FileCreate(PLAYER_FILE, PlayerFilePath()) &&
        FileWriteData(PlayerImage, uint32_t(PlayerImageEnd - PlayerImage)))
        return 1;
    PlayerFileRemove();
    return 0;
}

// Whatever is renamed over the path meanwhile, the file loaded is the one written.
const char *PlayerFileLoadPath() {
    return FileDescriptorPath(PLAYER_FILE);
}
