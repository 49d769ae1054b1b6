// The probe player: the exports the frame loop and the sync callback call, each logged.
#include "tests/core/probe_player.h"

namespace {
ProbePlayerLog Log;
constexpr uint32_t FIRST_SYNC_HANDLE = 0x5100;
} // namespace

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

PROBE_EXPORT ProbePlayerLog *ProbePlayerLogGet() {
    return &Log;
}

PROBE_EXPORT int32_t BASSMOD_MusicPlay() {
    Log.plays++;
    return 1;
}

PROBE_EXPORT int32_t BASSMOD_MusicRemoveSync(uint32_t sync) {
    if (Log.removeCount < PROBE_SYNC_LOG)
        Log.removed[Log.removeCount] = sync;
    Log.removeCount++;
    return 1;
}

PROBE_EXPORT uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param,
                                           void (*proc)(uint32_t, uint32_t, uint32_t),
                                           uint32_t user) {
    if (Log.setCount < PROBE_SYNC_LOG)
        Log.sets[Log.setCount] = {type, param, proc, user};
    Log.setCount++;
    return FIRST_SYNC_HANDLE + Log.setCount;
}

PROBE_EXPORT int32_t BASSMOD_ErrorGetCode() {
    return 0;
}

PROBE_EXPORT void BASSMOD_Free() {}

PROBE_EXPORT int32_t BASSMOD_MusicPause() {
    Log.otherCalls++;
    return 1;
}

PROBE_EXPORT int32_t BASSMOD_MusicStop() {
    Log.otherCalls++;
    return 1;
}
