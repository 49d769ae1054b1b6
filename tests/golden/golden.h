// The key frames of the show, drawn through the capture, and PNG files in and out: shared by
// the reference generator and the tests. Regenerate the images with regenerate.sh.
#pragma once
#include "music/music.h"

#include <cstdint>
#include <string>
#include <vector>

// The references are drawn without decoding music, so only these injected syncs come: on the
// frames where a capture hears orders 2, 4 and 6 and a kick, each right before it is drawn.
struct GoldenSync {
    uint32_t frame;
    uint32_t user;
};
constexpr GoldenSync GOLDEN_SYNCS[] = {
    {396, SYNC_USER_SPRITE},
    {706, SYNC_USER_OBJECT},
    {760, SYNC_USER_PULSE},
    {1015, SYNC_USER_TUNNEL},
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

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
};

// Starts the show with the injected syncs and draws up to the last key frame, handing each
// key frame's picture to `take`. False when it could not start or ended early.
bool RenderGoldenFrames(void (*take)(const GoldenFrame &, const Picture &, void *), void *context);
std::string GoldenFileName(const GoldenFrame &frame); // "00035-title-and-glitch.png"
bool ReadPng(const std::string &path, Picture *picture);
