#include "runtime/clock.h"

#include <cerrno>
#include <ctime>

uint32_t TickMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

void PauseMs(uint32_t ms) {
    timespec wait = {time_t(ms / 1000u), long(ms % 1000u) * 1000000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
    }
}
