// A stand-in for the player library in slot 0: it keeps a log of the calls the show makes,
// so the sequencer can be watched without any music being decoded.
#pragma once
#include <cstdint>

constexpr int PROBE_SYNC_LOG = 8;

struct ProbeSyncSet {
    uint32_t type;
    uint32_t param;
    void (*proc)(uint32_t sync, uint32_t data, uint32_t user);
    uint32_t user;
};

struct ProbePlayerLog {
    uint32_t plays;                    // BASSMOD_MusicPlay calls
    uint32_t removeCount;              // BASSMOD_MusicRemoveSync calls
    uint32_t removed[PROBE_SYNC_LOG];  // their handles, in order
    uint32_t setCount;                 // BASSMOD_MusicSetSync calls
    ProbeSyncSet sets[PROBE_SYNC_LOG]; // their arguments, in order
    uint32_t otherCalls;               // any other player export
};

// The export through which a test reads the log.
typedef ProbePlayerLog *(*ProbePlayerLog_t)();
