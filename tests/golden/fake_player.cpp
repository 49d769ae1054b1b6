// A stand-in player for the capture's frame and sample bookkeeping: position syncs fire
// exactly at their order's first sample, and every sample is non-zero while the song plays,
// so the first sound shows exactly where playing began. Other syncs never fire.
#include "tests/golden/fake_player.h"
#include "music/player_api.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct FakeSync {
    uint64_t sample;
    SyncProc proc;
    uint32_t user;
};

FakeSync Syncs[16];
int SyncCount;
bool Playing;
uint64_t SongSample; // samples of the song played so far

} // namespace

FAKE_EXPORT uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param, SyncProc proc,
                                          uint32_t user) {
    if (type == SYNC_POSITION_ONCE && (param >> 16) == 0 && SyncCount < 16)
        Syncs[SyncCount++] = {(param & 0xFFFF) * 64 * 3 * FAKE_TICK_SAMPLES, proc, user};
    return 1;
}

FAKE_EXPORT int32_t BASSMOD_MusicPlay() {
    Playing = true;
    return 1;
}

FAKE_EXPORT int32_t BASSMOD_MusicPause() {
    Playing = false;
    return 1;
}

FAKE_EXPORT uint32_t BASSMOD_MusicDecode(int16_t *buffer, uint32_t frames) {
    for (uint32_t i = 0; i < frames; i++) {
        for (int s = 0; Playing && s < SyncCount; s++)
            if (Syncs[s].sample == SongSample)
                Syncs[s].proc(uint32_t(s + 1), 0, Syncs[s].user);
        buffer[2 * i] = buffer[2 * i + 1] = Playing ? 1000 : 0;
        SongSample += Playing;
    }
    return frames;
}
