// The stand-in player's song (fake_player.cpp): whole ticks, three a row, 64 rows an order.
#pragma once
#include <cstdint>

constexpr uint64_t FAKE_TICK_SAMPLES = 711; // 44,100 x 2.5 / 155 in whole samples
