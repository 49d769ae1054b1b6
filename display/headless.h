// Control of the headless platform flavour (EGL pbuffer, no input, no real boxes).
#pragma once
#include "display/platform.h"
#include <cstdint>

// The answer the next message boxes give (IDYES by default, 0 = cannot be shown).
void HeadlessSetBoxAnswer(int32_t answer);
// When set, every box calls `handler` on the calling thread and answers what it returns,
// in place of the scripted answer. Null restores the scripted answer.
typedef int32_t (*HeadlessBoxHandler)(const char *caption, const char *text, uint32_t flags,
                                      void *context);
void HeadlessSetBoxHandler(HeadlessBoxHandler handler, void *context);
// How many boxes were shown, and the last one's caption, text, flags and owner window.
uint32_t HeadlessBoxCount();
const char *HeadlessLastBoxCaption();
const char *HeadlessLastBoxText();
uint32_t HeadlessLastBoxFlags();
NativeWindow HeadlessLastBoxOwner();
// Size of the pbuffer created by PlatformCreateContext (640 x 480 unless set before).
void HeadlessSetSurfaceSize(int32_t width, int32_t height);
// Size of the screen that windows are placed on (640 x 480 unless set).
void HeadlessSetScreenSize(int32_t width, int32_t height);
// Refuse the next display mode changes (the "no 640 x 480 mode" display).
void HeadlessRefuseDisplayMode(int refuse);
// Make the next window creations fail.
void HeadlessFailWindowCreation(int fail);
