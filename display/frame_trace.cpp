// Linked into tolvmarka-traced only: every traced event goes to standard error with its
// number and CLOCK_MONOTONIC time, for the benchmarks and the end-to-end tests' drivers.
#include "display/frame_trace.h"

#include <cstdio>
#include <ctime>

namespace {

void PrintTrace(const char *what, uint64_t number) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    fprintf(stderr, "%s %llu %lld.%09ld\n", what, (unsigned long long)number, (long long)now.tv_sec,
            now.tv_nsec);
}

// FrameTrace is constant-initialised to null, so it is set before main whatever the order.
const bool TraceSet = (FrameTrace = PrintTrace, true);

} // namespace
