// A deterministic run of the show without a screen: the headless surface, the virtual
// clock, a fixed random seed, and the player decoding only when the caller asks it to.
// Link with tolvmarka_platform_headless. Used by the capture tool and the picture tests.
#pragma once
#include <cstdint>

constexpr uint32_t DEFAULT_SEED = 0x70A1u;

// Start-up as the show does it, answering the question with Yes, then seeds the
// generator with `seed`. Returns 0 when it could not start.
int OfflineStart(uint32_t seed);
// Calls SyncCallback with `user` right before frame `frame` (counted from 1) is drawn.
void OfflineInjectSync(uint32_t frame, uint32_t user);
// Draws the next frame. Returns 1 when the show ends with it.
int OfflineFrame();
// Frames drawn so far.
uint32_t OfflineFrameCount();
// The last frame's picture, width x height RGB bytes, top row first.
void OfflineReadPixels(uint8_t *rgb, int32_t width, int32_t height);
// Releases the player, deletes its file and takes the runtime down; the process goes on.
void OfflineEnd();
