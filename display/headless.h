// Control of the headless platform flavour (EGL pbuffer, no input, no real boxes).
#pragma once
#include <cstdint>

// The answer the next message boxes give (IDYES by default, 0 = cannot be shown).
void HeadlessSetBoxAnswer(int32_t answer);
// How many boxes were shown, and the last one's caption, text and flags.
uint32_t HeadlessBoxCount();
const char *HeadlessLastBoxCaption();
const char *HeadlessLastBoxText();
uint32_t HeadlessLastBoxFlags();
// Size of the pbuffer created by PlatformCreateContext (640 x 480 unless set before).
void HeadlessSetSurfaceSize(int32_t width, int32_t height);
// Refuse the next display mode changes (the "no 640 x 480 mode" display).
void HeadlessRefuseDisplayMode(int refuse);
