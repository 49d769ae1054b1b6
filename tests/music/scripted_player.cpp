// Exports only some of the player's functions: BASSMOD_MusicStop, for one, is missing.
#include "tests/music/scripted_player.h"

#include <cstdio>

namespace {

ScriptedPlayer Script = {0, 1, 0, 0, {}};

uintptr_t Log(const char *name, uintptr_t a = 0, uintptr_t b = 0, uintptr_t c = 0, uintptr_t d = 0,
              uintptr_t e = 0) {
    if (Script.callCount < SCRIPT_LOG) {
        ScriptedCall &call = Script.calls[Script.callCount];
        snprintf(call.name, sizeof call.name, "%s", name);
        call.args[0] = a;
        call.args[1] = b;
        call.args[2] = c;
        call.args[3] = d;
        call.args[4] = e;
    }
    Script.callCount++;
    return Script.result;
}

} // namespace

#define SCRIPTED extern "C" __attribute__((visibility("default")))

SCRIPTED ScriptedPlayer *ScriptedPlayerGet() {
    return &Script;
}
SCRIPTED int32_t BASSMOD_ErrorGetCode() {
    return Script.errorCode;
}
SCRIPTED uint32_t BASSMOD_GetVersion() {
    return Script.version;
}
SCRIPTED int32_t BASSMOD_Init(int32_t device, uint32_t freq, uint32_t flags) {
    return int32_t(Log("Init", uintptr_t(device), freq, flags));
}
SCRIPTED int32_t BASSMOD_MusicLoad(int32_t mem, const void *file, uint32_t offset, uint32_t length,
                                   uint32_t flags) {
    return int32_t(Log("MusicLoad", uintptr_t(mem), uintptr_t(file), offset, length, flags));
}
SCRIPTED uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param,
                                       void (*proc)(uint32_t, uint32_t, uint32_t), uint32_t user) {
    return uint32_t(Log("MusicSetSync", type, param, uintptr_t(proc), user));
}
SCRIPTED int32_t BASSMOD_MusicPlay() {
    return int32_t(Log("MusicPlay"));
}
SCRIPTED int32_t BASSMOD_MusicPause() {
    return int32_t(Log("MusicPause"));
}
SCRIPTED int32_t BASSMOD_MusicSetAmplify(uint32_t amp) {
    return int32_t(Log("MusicSetAmplify", amp));
}
SCRIPTED int32_t BASSMOD_MusicSetPosition(uint32_t pos) {
    return int32_t(Log("MusicSetPosition", pos));
}
SCRIPTED int32_t BASSMOD_MusicSetPositionScaler(uint32_t scale) {
    return int32_t(Log("MusicSetPositionScaler", scale));
}
SCRIPTED uint32_t BASSMOD_MusicGetPosition() {
    return uint32_t(Log("MusicGetPosition"));
}
SCRIPTED int32_t BASSMOD_SetVolume(uint32_t volume) {
    return int32_t(Log("SetVolume", volume));
}
SCRIPTED const char *BASSMOD_MusicGetName() {
    Log("MusicGetName");
    return Script.result ? "our tune" : nullptr;
}
SCRIPTED void BASSMOD_Free() {
    Log("Free");
}
