// A stand-in player for the capture's frame and sample bookkeeping. Its song is made of
// whole ticks of TICK_SAMPLES samples, three ticks a row and 64 rows an order; position
// syncs fire exactly at their order's first sample, and while the song plays every sample
// is FAKE_LEVEL, so the first sound shows exactly where playing began. Instrument syncs are
// accepted and never fire.
#include "tests/golden/fake_player.h"
#include "music/player_api.h"

#include <cstring>

namespace {

constexpr int MAX_SYNCS = 16;

struct FakeSync {
    uint32_t handle;
    uint32_t type;
    uint32_t param;
    SyncProc proc;
    uint32_t user;
    bool fired;
};

FakeSync Syncs[MAX_SYNCS];
int SyncCount;
uint32_t NextHandle = 1;
bool Loaded, Playing;
uint64_t SongSample; // samples of the song played so far

// The sample at which the position sync starts to sound, or UINT64_MAX for other kinds.
uint64_t SyncSample(const FakeSync &sync) {
    if (sync.type != SYNC_POSITION_ONCE || (sync.param >> 16) != 0)
        return UINT64_MAX;
    return uint64_t(sync.param & 0xFFFF) * FAKE_ROWS_PER_ORDER * FAKE_TICKS_PER_ROW *
           FAKE_TICK_SAMPLES;
}

void Fill(int16_t *buffer, uint32_t frames) {
    for (uint32_t i = 0; buffer && i < frames * 2; i++)
        buffer[i] = FAKE_LEVEL;
}

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT int32_t BASSMOD_ErrorGetCode() {
    return PLAYER_OK;
}

FAKE_EXPORT int32_t BASSMOD_MusicLoad(int32_t, const void *, uint32_t, uint32_t, uint32_t) {
    Loaded = true;
    SongSample = 0;
    return 1;
}

FAKE_EXPORT uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param, SyncProc proc,
                                          uint32_t user) {
    if (SyncCount == MAX_SYNCS)
        return 0;
    Syncs[SyncCount++] = {NextHandle, type, param, proc, user, false};
    return NextHandle++;
}

FAKE_EXPORT int32_t BASSMOD_MusicRemoveSync(uint32_t handle) {
    for (int i = 0; i < SyncCount; i++) {
        if (Syncs[i].handle == handle) {
            Syncs[i] = Syncs[--SyncCount];
            return 1;
        }
    }
    return 0;
}

FAKE_EXPORT int32_t BASSMOD_MusicPlay() {
    Playing = Loaded;
    return Loaded ? 1 : 0;
}

FAKE_EXPORT int32_t BASSMOD_MusicPause() {
    Playing = false;
    return 1;
}

FAKE_EXPORT uint32_t BASSMOD_MusicDecode(int16_t *buffer, uint32_t frames) {
    if (!Playing) {
        if (buffer)
            memset(buffer, 0, frames * 2 * sizeof *buffer);
        return frames;
    }
    uint32_t done = 0;
    while (done < frames) {
        // The earliest unfired position sync inside the rest of this buffer.
        int next = -1;
        uint64_t end = SongSample + (frames - done);
        for (int i = 0; i < SyncCount; i++) {
            uint64_t at = SyncSample(Syncs[i]);
            if (!Syncs[i].fired && at >= SongSample && at < end &&
                (next < 0 || at < SyncSample(Syncs[next])))
                next = i;
        }
        uint32_t run = next < 0 ? frames - done : uint32_t(SyncSample(Syncs[next]) - SongSample);
        Fill(buffer ? buffer + done * 2 : nullptr, run);
        done += run;
        SongSample += run;
        if (next >= 0) {
            Syncs[next].fired = true;
            FakeSync sync = Syncs[next]; // the callback may remove it
            sync.proc(sync.handle, 0, sync.user);
        }
    }
    return frames;
}

FAKE_EXPORT void BASSMOD_Free() {
    Loaded = Playing = false;
    SyncCount = 0;
}
