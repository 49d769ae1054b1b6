// Shared by the reference generator and the golden tests: the key frames drawn through the
// capture, and PNG files in and out.
#pragma once
#include "tests/golden/key_frames.h"

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb; // top row first
};

// Starts the show, injects GOLDEN_SYNCS and draws up to the last key frame without decoding
// any music, handing each key frame's picture to `take`. Returns false when it could not
// start or ended early.
bool RenderGoldenFrames(void (*take)(const GoldenFrame &frame, const Picture &picture,
                                     void *context),
                        void *context);
// "00035-title-and-glitch.png"
std::string GoldenFileName(const GoldenFrame &frame);
bool ReadPng(const std::string &path, Picture *picture);
