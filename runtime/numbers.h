// Number conversions with the x86 single-precision semantics the show was written for.
#pragma once
#include <cstdint>

// Rounds toward zero; NaN and values outside the 32-bit range give INT32_MIN.
int32_t TruncToInt(float value);
// a to the power b, computed in double precision and rounded to single.
float PowF(float a, float b);
