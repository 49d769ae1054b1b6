// Placeholder: the player library arrives with its own change.
#include "music/player_api.h"

extern "C" __attribute__((visibility("default"))) int32_t BASSMOD_ErrorGetCode() {
    return PLAYER_ERROR_UNKNOWN;
}
