// The reference frames: which frames of the show are kept as images, and the syncs injected
// so that every scene shows whatever the music does. The references are drawn without
// decoding the music, so these injected syncs are the only ones: the scene changes come on
// the frames where the music's own land in a capture (orders 2, 4 and 6 of the module heard
// from the resume on frame 86), and each picture is the show's own frame.
//
// Regenerate the images with tests/golden/regenerate.sh (see tests/golden/README.md).
#pragma once
#include "music/music.h"

#include <cstdint>

struct GoldenSync {
    uint32_t frame; // the sync comes right before this frame is drawn
    uint32_t user;
};

constexpr GoldenSync GOLDEN_SYNCS[] = {
    {396, SYNC_USER_SPRITE},  // order 2
    {706, SYNC_USER_OBJECT},  // order 4
    {760, SYNC_USER_PULSE},   // a kick: the object drawn at its largest
    {1015, SYNC_USER_TUNNEL}, // order 6
};

struct GoldenFrame {
    uint32_t frame;
    const char *name;  // file name: NNNNN-name.png
    const char *label; // caption on the contact sheet
};

constexpr GoldenFrame GOLDEN_FRAMES[] = {
    {1, "title-a-first", "title A, first frame"},
    {17, "title-a-fading", "title A fading in"},
    {34, "title-a-full", "title A at full strength"},
    {35, "title-and-glitch", "title A and the first glitch"},
    {60, "glitch", "glitch"},
    {120, "title-b", "title B, music playing"},
    {186, "plates-scroll-first", "plates and text start, off screen"},
    {255, "plates-flight", "plates in flight"},
    {484, "sprite-top", "sprite at the top of a hop"},
    {740, "object-rest", "object at rest"},
    {760, "object-pulse", "object on a kick"},
    {1100, "object-tunnel", "object, tunnel and scroll text"},
};

constexpr uint32_t GOLDEN_LAST_FRAME =
    GOLDEN_FRAMES[sizeof GOLDEN_FRAMES / sizeof *GOLDEN_FRAMES - 1].frame;
