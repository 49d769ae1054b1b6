// Music start, the sync points that drive the scenes, and the player's error reports.
#pragma once
#include "music/player_api.h"

#include <cstdint>

// The user values that SyncCallback reacts to.
enum : uint32_t {
    SYNC_USER_SPRITE = 1, // order 2 begins
    SYNC_USER_OBJECT = 2, // order 4 begins
    SYNC_USER_TUNNEL = 3, // order 6 begins
    SYNC_USER_PULSE = 4,  // a note of instrument 6, and of 2 after order 6
};
constexpr uint16_t SYNC_ORDER_SPRITE = 2;
constexpr uint16_t SYNC_ORDER_OBJECT = 4;
constexpr uint16_t SYNC_ORDER_TUNNEL = 6;
constexpr uint16_t PULSE_INSTRUMENT = 6;
constexpr uint16_t PULSE_INSTRUMENT_LATE = 2;
constexpr int32_t SYNC_NOTE_ANY = -1; // MakeLong's high half for "any note"

// Loads the embedded module, registers the four sync points with `sync` (the show's
// SyncCallback), plays and pauses at once.
void MusicStart(SyncProc sync);
// Low 16 bits of `low` in bits 0-15, low 16 bits of `high` in bits 16-31.
uint32_t MakeLong(int32_t low, int32_t high);
// The text of the player's current error code; shows the error box when it is not empty.
// Built in storage of its own, so it is safe on the player's thread.
const char *PlayerErrorText(int32_t library);
