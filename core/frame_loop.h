// The frame loop, its pacing and end tests, and the music's entry into the sequencer.
#pragma once
#include "music/player_api.h"
#include <cstdint>

constexpr uint32_t FRAME_MS = 20;
constexpr float SCROLL_END_X = 130.0f;
constexpr uint32_t KEY_ESCAPE = 27;

extern uint32_t FrameStart; // tick count at the start of the frame
extern uint32_t LastEvent;  // event code of the frame's poll

// One pass of the loop: draw, swap, poll, pace. Returns 1 when the run must end.
int RunFrame();
// Runs frames until an end test holds.
void RunFrameLoop();

// The player's synchronisation callback (player thread).
void PLAYER_CALL SyncCallback(uint32_t sync, uint32_t data, uint32_t user);
