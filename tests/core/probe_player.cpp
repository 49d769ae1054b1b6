#include "tests/core/probe_player.h"

#include <algorithm>
#include <cstdio>

namespace {

ProbePlayer Probe = {0, 1, 0, 0, {}};

template <typename... Args> uintptr_t Log(const char *name, Args... args) {
    if (Probe.callCount < PROBE_LOG) {
        ProbeCall &call = Probe.calls[Probe.callCount];
        call = ProbeCall{};
        snprintf(call.name, sizeof call.name, "%s", name);
        const uintptr_t values[] = {uintptr_t(args)..., 0};
        std::copy(values, values + sizeof...(args), call.args);
    }
    Probe.callCount++;
    return Probe.result;
}

} // namespace

#define PROBE extern "C" __attribute__((visibility("default")))

PROBE ProbePlayer *ProbeGet() {
    return &Probe;
}
PROBE int32_t BASSMOD_ErrorGetCode() {
    return Probe.errorCode;
}
PROBE uint32_t BASSMOD_GetVersion() {
    return Probe.version;
}
PROBE int32_t BASSMOD_MusicLoad(int32_t mem, const void *file, uint32_t offset, uint32_t length,
                                uint32_t flags) {
    return int32_t(Log("MusicLoad", mem, file, offset, length, flags));
}
PROBE uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param,
                                    void (*proc)(uint32_t, uint32_t, uint32_t), uint32_t user) {
    return uint32_t(Log("MusicSetSync", type, param, proc, user));
}
PROBE int32_t BASSMOD_MusicRemoveSync(uint32_t sync) {
    return int32_t(Log("MusicRemoveSync", sync));
}
PROBE int32_t BASSMOD_MusicPlay() {
    return int32_t(Log("MusicPlay"));
}
PROBE int32_t BASSMOD_MusicPause() {
    return int32_t(Log("MusicPause"));
}
PROBE int32_t BASSMOD_MusicSetAmplify(uint32_t amp) {
    return int32_t(Log("MusicSetAmplify", amp));
}
PROBE int32_t BASSMOD_MusicSetPosition(uint32_t pos) {
    return int32_t(Log("MusicSetPosition", pos));
}
PROBE int32_t BASSMOD_MusicSetPositionScaler(uint32_t scale) {
    return int32_t(Log("MusicSetPositionScaler", scale));
}
PROBE uint32_t BASSMOD_MusicGetPosition() {
    return uint32_t(Log("MusicGetPosition"));
}
PROBE int32_t BASSMOD_SetVolume(uint32_t volume) {
    return int32_t(Log("SetVolume", volume));
}
PROBE const char *BASSMOD_MusicGetName() {
    return Log("MusicGetName") ? "our tune" : nullptr;
}
