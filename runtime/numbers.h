// Number conversions with the x86 single-precision semantics the show was written for.
#pragma once
#include <cstdint>

// a to the power b, computed in double precision and rounded to single.
float PowF(float a, float b);
