// The music's side of the scene sequencer.
#include "core/frame_loop.h"
#include "core/scene.h"
#include "music/music.h"
#include "music/player.h"

namespace {
constexpr float PULSE_SCALE = 0.3f;
} // namespace

void PLAYER_CALL SyncCallback(uint32_t sync, uint32_t, uint32_t user) {
    if (user == SYNC_USER_SPRITE) {
        SceneMask.store(LAYER_SPRITE);
    } else if (user == SYNC_USER_OBJECT) {
        SceneMask.store(LAYER_OBJECT);
    } else if (user == SYNC_USER_TUNNEL) {
        SceneMask.store(LAYER_OBJECT | LAYER_TUNNEL);
        // From here on the kick pulses the object as well.
        PlayerMusicRemoveSync(PLAYER_LIBRARY, sync);
        PlayerMusicSetSync(PLAYER_LIBRARY, SYNC_INSTRUMENT,
                           MakeLong(PULSE_INSTRUMENT_LATE, SYNC_NOTE_ANY), SyncCallback,
                           SYNC_USER_PULSE);
    } else if (user == SYNC_USER_PULSE) {
        ObjectPulse.store(PULSE_SCALE);
    }
}
