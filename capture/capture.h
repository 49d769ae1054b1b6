// The offline capture: the show drawn frame by frame on the headless surface, with the music
// decoded alongside it. Before each frame the frame's own stretch of audio is decoded, which
// fires the syncs heard in it, so a scene change lands on the frame where it is heard.
#pragma once
#include "music/player_api.h"

#include <cstdint>

constexpr uint32_t CAPTURE_FPS = 50;
constexpr uint32_t SAMPLES_PER_FRAME = OUTPUT_RATE / CAPTURE_FPS; // 882 stereo frames
constexpr int32_t CAPTURE_CHANNELS = 2;
// The last frame of the show when every scene change comes in time: the scroll text starts
// on frame 186 and passes its end on its 4,353rd frame.
constexpr uint32_t SHOW_FRAMES = 4538;
constexpr int32_t CAPTURE_MAX_SCALE = 2;

// Picture size of the running capture: 640 x 480 times the scale.
extern int32_t CaptureWidth;
extern int32_t CaptureHeight;

// Makes a private temporary directory, points TMPDIR at it (the player file goes there)
// and starts the show with `seed`, drawn at `scale` (1 or 2) times its size. Returns 0,
// with a message on stderr, when it could not start; nothing is left behind then.
int CaptureStart(uint32_t seed, int32_t scale);
// One frame. With `pcm` (SAMPLES_PER_FRAME x 2 samples), first decodes the frame's audio;
// without it the music does not move and only injected syncs change the scene. Then draws
// the frame and, with `rgb` (width x height x 3 bytes), reads the picture back, top row
// first. Returns 1 when the show ends with this frame.
int CaptureFrame(uint8_t *rgb, int16_t *pcm);
// 1 when the loaded player can decode; without it the audio is silence and the music's
// scene changes never come.
int CaptureHasDecode();
// The private temporary directory while a capture runs (for the caller's own temporaries).
const char *CaptureTempDir();
// Ends the show, removes the temporary directory with everything in it and gives TMPDIR its
// old value back.
void CaptureEnd();
