// The SDL flavour's trace of every buffer swap and of every message box when it is shown and
// when it is answered ("tolvmarka-swap", "tolvmarka-box-shown", "tolvmarka-box-answered",
// with its number). Off in the show; tolvmarka-traced, the build that the benchmarks and the
// end-to-end tests run, links frame_trace.cpp, which sets it.
#pragma once
#include <cstdint>

typedef void (*FrameTraceProc)(const char *what, uint64_t number);
extern FrameTraceProc FrameTrace; // null: no trace
