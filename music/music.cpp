#include "music/music.h"
#include "assets/assets.h"
#include "display/message_box.h"
#include "display/platform.h"
#include "music/player.h"
#include "runtime/libraries.h"

#include <cstdio>

namespace {

struct ErrorEntry {
    int32_t code;
    const char *text;
};

const ErrorEntry ErrorTexts[] = {
    {PLAYER_OK, "All is OK"},
    {PLAYER_ERROR_MEM, "Memory Error"},
    {PLAYER_ERROR_FILEOPEN, "Can't Open the File"},
    {PLAYER_ERROR_DRIVER, "Can't Find a Free Sound Driver"},
    {PLAYER_ERROR_HANDLE, "Invalid Handle"},
    {PLAYER_ERROR_FORMAT, "Unsupported Format"},
    {PLAYER_ERROR_POSITION, "Invalid Playback Position"},
    {PLAYER_ERROR_INIT, "BASS_Init Has Not Been Successfully Called"},
    {PLAYER_ERROR_ALREADY, "Already Initialized"},
    {PLAYER_ERROR_NOTPAUSED, "Not Paused"},
    {PLAYER_ERROR_ILLTYPE, "An Illegal Type Was Specified"},
    {PLAYER_ERROR_ILLPARAM, "An Illegal Parameter Was Specified"},
    {PLAYER_ERROR_DEVICE, "Illegal Device Number"},
    {PLAYER_ERROR_NOPLAY, "Not Playing"},
    {PLAYER_ERROR_NOMUSIC, "No Music"},
    {PLAYER_ERROR_NOSYNC, "No Sync Avaliable"},
    {PLAYER_ERROR_UNKNOWN, "Some Other Mystery Error"},
};

constexpr int32_t FROM_MEMORY = 1;

// The box text lives here, not in StringBuffer: the sync callback may report from the
// player's thread while the frame loop builds strings.
thread_local char ErrorBox[64];

} // namespace

uint32_t MakeLong(int32_t low, int32_t high) {
    return (uint32_t(low) & 0xFFFF) | ((uint32_t(high) & 0xFFFF) << 16);
}

const char *PlayerErrorText(int32_t library) {
    auto getCode =
        reinterpret_cast<BASSMOD_ErrorGetCode_t>(LibrarySymbol(library, "BASSMOD_ErrorGetCode"));
    int32_t code = getCode ? getCode() : PLAYER_OK;
    const char *text = "";
    for (const ErrorEntry &entry : ErrorTexts)
        if (entry.code == code)
            text = entry.text;
    if (text[0] != '\0') {
        snprintf(ErrorBox, sizeof ErrorBox, "Error Description:\r%s", text);
        ShowMessage("Error", ErrorBox, MB_ICONHAND);
    }
    return text;
}

void MusicStart(SyncProc sync) {
    PlayerMusicLoad(PLAYER_LIBRARY, FROM_MEMORY, ModuleImage, 0, 0, MUSIC_LOOP);
    PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_POSITION_ONCE, MakeLong(SYNC_ORDER_SPRITE, 0), sync,
                       SYNC_USER_SPRITE);
    PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_POSITION_ONCE, MakeLong(SYNC_ORDER_OBJECT, 0), sync,
                       SYNC_USER_OBJECT);
    PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_POSITION_ONCE, MakeLong(SYNC_ORDER_TUNNEL, 0), sync,
                       SYNC_USER_TUNNEL);
    PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_INSTRUMENT, MakeLong(PULSE_INSTRUMENT, SYNC_NOTE_ANY),
                       sync, SYNC_USER_PULSE);
    PlayerMusicPlay(PLAYER_LIBRARY);
    PlayerMusicPause(PLAYER_LIBRARY);
}
