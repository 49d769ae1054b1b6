#include "music/player.h"
#include "assets/assets.h"
#include "display/display.h"
#include "display/message_box.h"
#include "music/music.h"
#include "runtime/files.h"
#include "runtime/libraries.h"
#include "runtime/strings.h"

#include <cstdio>

const char *const PLAYER_FILE_NAME = "bassmod.dll";

namespace {

constexpr uint32_t PERCENT_MAX = 100;
constexpr uint32_t POSITION_SCALER_MAX = 256;

// The export `name` of the library, typed as the caller's function type, or null.
template <typename Export> Export Find(int32_t library, const char *name) {
    return reinterpret_cast<Export>(LibrarySymbol(library, name));
}

#define PLAYER_EXPORT(library, name) Find<name##_t>(library, #name)

// One line on stderr: a library that does not load is otherwise silent, the wrappers' boxes
// then reading "All is OK".
void ReportLoadFailure() {
    char reason[256];
    const char *error = LibraryLoadError();
    snprintf(reason, sizeof reason, "%s", error ? error : "unknown reason");
    for (char *c = reason; *c; c++)
        if (*c == '\n' || *c == '\r')
            *c = ' ';
    fprintf(stderr,
            "tolvmarka: the player library could not be loaded (%s); the show runs silent\n",
            reason);
}

const char *TextOrEmpty(int32_t library, const char *text) {
    if (text)
        return text;
    PlayerErrorText(library);
    return "";
}

} // namespace

int PlayerInstall(int32_t device) {
    TempPathQuery();
    if (!PlayerFileWrite()) {
        ShowMessageOk(SHOW_TITLE, "Failed to install bassmod to UserTempPath");
        return PLAYER_INSTALL_FAILED;
    }
    PlayerInit(PLAYER_LIBRARY, PlayerFileLoadPath(), device, OUTPUT_RATE, 0);
    FileClose(PLAYER_FILE);
    // An empty slot makes no loader call, so the failed load's reason is still there.
    void **slot = static_cast<void **>(ObjectFind(&LibraryTable, PLAYER_LIBRARY));
    if (!slot || !*slot)
        ReportLoadFailure();
    return PLAYER_INSTALLED;
}

int32_t PlayerFree(int32_t library) {
    int32_t result = 0;
    if (auto call = PLAYER_EXPORT(library, BASSMOD_Free)) {
        call();
        result = 1;
    }
    LibraryClose(library);
    return result;
}

uint32_t PlayerGetCPU(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_GetCPU);
    return call ? call() : 0;
}

const char *PlayerGetDeviceDescription(int32_t library, int32_t device) {
    auto call = PLAYER_EXPORT(library, BASSMOD_GetDeviceDescription);
    return TextOrEmpty(library, call ? call(device) : nullptr);
}

const char *PlayerGetVersion(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_GetVersion);
    uint32_t version = call ? call() : 0;
    char *start = StringTop;
    StrFromInt(int32_t(version & 0xFFFF));
    StrAppend(".");
    StrFromInt(int32_t(version >> 16));
    return start;
}

int32_t PlayerGetVolume(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_GetVolume);
    return call ? call() : 0;
}

int32_t PlayerInit(int32_t library, const char *path, int32_t device, uint32_t freq,
                   uint32_t flags) {
    if (!LibraryOpen(library, path))
        return 0;
    auto call = PLAYER_EXPORT(library, BASSMOD_Init);
    return call ? call(device, freq, flags) : 0;
}

void PlayerMusicFree(int32_t library) {
    if (auto call = PLAYER_EXPORT(library, BASSMOD_MusicFree))
        call();
}

int32_t PlayerMusicGetLength(int32_t library, int32_t playlen) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicGetLength);
    int32_t length = int16_t(call ? call(playlen) : 0);
    if (length == -1)
        PlayerErrorText(library);
    return length;
}

const char *PlayerMusicGetName(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicGetName);
    return TextOrEmpty(library, call ? call() : nullptr);
}

int32_t PlayerMusicGetPosition(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicGetPosition);
    int32_t position = int16_t(call ? call() : 0);
    if (position == -1)
        PlayerErrorText(library);
    return position;
}

uint32_t PlayerMusicIsActive(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicIsActive);
    return call ? call() : 0;
}

int32_t PlayerMusicLoad(int32_t library, int32_t mem, const void *file, uint32_t offset,
                        uint32_t length, uint32_t flags) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicLoad);
    int32_t result = call ? call(mem, file, offset, length, flags) : 0;
    if (result == 0)
        PlayerErrorText(library);
    return result;
}

int32_t PlayerMusicPause(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicPause);
    return call ? call() : 0;
}

int32_t PlayerMusicPlay(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicPlay);
    return call ? call() : 0;
}

int32_t PlayerMusicPlayEx(int32_t library, uint16_t pos, int32_t flags, int32_t reset) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicPlayEx);
    return call ? call(pos, flags, reset) : 0;
}

int32_t PlayerMusicRemoveSync(int32_t library, uint32_t sync) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicRemoveSync);
    return call ? call(sync) : 0;
}

int32_t PlayerMusicSetAmplify(int32_t library, uint32_t amp) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicSetAmplify);
    return call ? call(amp > PERCENT_MAX ? PERCENT_MAX : amp) : 0;
}

int32_t PlayerMusicSetPanSep(int32_t library, uint32_t pan) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicSetPanSep);
    return call ? call(pan > PERCENT_MAX ? PERCENT_MAX : pan) : 0;
}

int32_t PlayerMusicSetPosition(int32_t library, uint16_t order, uint16_t row) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicSetPosition);
    return call ? call(MakeLong(order, row)) : 0;
}

int32_t PlayerMusicSetPositionScaler(int32_t library, uint32_t scale) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicSetPositionScaler);
    return call ? call(scale > POSITION_SCALER_MAX ? POSITION_SCALER_MAX : scale) : 0;
}

uint32_t PlayerMusicSetSync(int32_t library, uint32_t type, uint32_t param, SyncProc proc,
                            uint32_t user) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicSetSync);
    uint32_t sync = call ? call(type, param, proc, user) : 0;
    if (sync == 0)
        PlayerErrorText(library);
    return sync;
}

int32_t PlayerMusicStop(int32_t library) {
    auto call = PLAYER_EXPORT(library, BASSMOD_MusicStop);
    return call ? call() : 0;
}

int32_t PlayerSetVolume(int32_t library, uint32_t volume) {
    auto call = PLAYER_EXPORT(library, BASSMOD_SetVolume);
    int32_t result = call ? call(volume > PERCENT_MAX ? PERCENT_MAX : volume) : 0;
    if (result == -1)
        PlayerErrorText(library);
    return result;
}
