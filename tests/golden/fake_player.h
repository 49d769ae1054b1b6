// The song of the stand-in player (fake_player.cpp), for the tests that load it.
#pragma once
#include <cstdint>

constexpr uint64_t FAKE_TICK_SAMPLES = 711; // 44,100 x 2.5 / 155 in whole samples
constexpr uint64_t FAKE_TICKS_PER_ROW = 3;
constexpr uint64_t FAKE_ROWS_PER_ORDER = 64;
constexpr int16_t FAKE_LEVEL = 1000;
