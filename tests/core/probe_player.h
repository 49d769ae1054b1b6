// A stand-in for the player library: every export answers what the test scripts and logs its
// call, so the show's side can be watched without music being decoded. It has no MusicStop.
#pragma once
#include "music/player.h"
#include "runtime/libraries.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int PROBE_LOG = 128;

struct ProbeCall {
    char name[24]; // the export's name less its prefix
    uintptr_t args[5];
};

struct ProbePlayer {
    int32_t errorCode; // what ErrorGetCode answers
    uintptr_t result;  // what every other export answers
    uint32_t version;  // what GetVersion answers
    int callCount;
    ProbeCall calls[PROBE_LOG];

    int Count(const std::string &name) const {
        int n = 0;
        for (int i = 0; i < callCount && i < PROBE_LOG; i++)
            n += name == calls[i].name;
        return n;
    }
    std::vector<uintptr_t> Args(int call, int count) const {
        return {calls[call].args, calls[call].args + count};
    }
};

// Loads the probe at `path` into the player's slot; its script cleared, or null.
inline ProbePlayer *ProbeInstall(const char *path) {
    if (!LibraryOpen(PLAYER_LIBRARY, path))
        return nullptr;
    auto get = reinterpret_cast<ProbePlayer *(*)()>(LibrarySymbol(PLAYER_LIBRARY, "ProbeGet"));
    ProbePlayer *probe = get ? get() : nullptr;
    if (probe)
        *probe = ProbePlayer{0, 1, 0, 0, {}};
    return probe;
}
