// The player file where the temporary directory is the user's own: TempPath + "bassmod.dll",
// written and loaded by that name. A copy already loaded elsewhere cannot be overwritten, so a
// second show gets the install failure.
#include "assets/assets.h"
#include "music/player.h"
#include "runtime/strings.h"

const char *PlayerFilePath() {
    StringCut = 0;
    char *start = StringTop;
    StrAppend(TempPath);
    StrAppend(PLAYER_FILE_NAME);
    StringTop = start;
    // A cut path names some other file: refuse it like a file that cannot be created.
    return StringCut || TempPath[0] == '\0' ? nullptr : start;
}

void PlayerFileRemove() {
    FileClose(PLAYER_FILE);
    if (const char *path = PlayerFilePath())
        FileDelete(path);
}

int PlayerFileWrite() {
    const char *path = PlayerFilePath();
    if (!path || !FileCreate(PLAYER_FILE, path))
        return 0;
    if (FileWriteData(PlayerImage, uint32_t(PlayerImageEnd - PlayerImage)))
        return 1;
    PlayerFileRemove();
    return 0;
}

// The system's loader cannot open a file that is still open for writing: closed first.
const char *PlayerFileLoadPath() {
    FileClose(PLAYER_FILE);
    return PlayerFilePath();
}
