// A stand-in player library whose results a test sets and whose calls it reads back: the
// wrappers, the error reports and the music start are checked against it.
#pragma once
#include <cstdint>

constexpr int SCRIPT_LOG = 16;

struct ScriptedCall {
    char name[40];
    uintptr_t args[5];
};

struct ScriptedPlayer {
    int32_t errorCode; // what BASSMOD_ErrorGetCode answers
    uintptr_t result;  // what every other export answers
    uint32_t version;  // what BASSMOD_GetVersion answers
    int callCount;
    ScriptedCall calls[SCRIPT_LOG];
};

// The export through which a test reaches the script.
typedef ScriptedPlayer *(*ScriptedPlayerGet_t)();
